// Every input the fuzzers found faulty, replayed through the same steps.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "fuzz/fuzz_inputs.h"

namespace {

namespace fs = std::filesystem;

TEST(FuzzRegressions, EveryKeptInputEndsWithoutAFault) {
  const fs::path source = std::getenv("ENLAZOR_SOURCE") ? std::getenv("ENLAZOR_SOURCE") : ".";
  size_t replayed = 0;
  for (const char* target : {"export", "table", "import"}) {
    const fs::path folder = source / "tests/data/fuzz" / target;
    if (!fs::is_directory(folder)) continue;
    for (const auto& entry : fs::directory_iterator(folder)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
      SCOPED_TRACE(entry.path().string());
      if (std::string(target) == "export") enlazor::fuzz::ExportOnce(data, bytes.size());
      if (std::string(target) == "table") enlazor::fuzz::TableOnce(data, bytes.size());
      if (std::string(target) == "import") enlazor::fuzz::ImportOnce(data, bytes.size(), source);
      ++replayed;
    }
  }
  RecordProperty("replayed", static_cast<int>(replayed));
  fs::remove_all(enlazor::fuzz::Scratch());
}

}  // namespace
