#include "fuzz_inputs.h"

#include <fstream>
#include <random>
#include <string>

#include "exchange/dbf/table.h"
#include "exchange/failure.h"
#include "export/export_run.h"
#include "import/import_run.h"

namespace enlazor::fuzz {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

template <typename Run>
void ExpectingOnlyOurFailures(Run run) {
  try {
    run();
  } catch (const Failure&) {
  } catch (const Refusal&) {
  }
}

}  // namespace

const fs::path& Scratch() {
  static const fs::path folder = [] {
    const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    fs::path made = base / ("enlazor-fuzz-" + std::to_string(std::random_device()()));
    fs::create_directories(made);
    return made;
  }();
  return folder;
}

void ExportOnce(const uint8_t* data, size_t size) {
  const fs::path work = Scratch() / "export";
  fs::create_directories(work);
  Write(Scratch() / "seneca.xml", data, size);
  ExpectingOnlyOurFailures([&] { RunExport(Scratch() / "seneca.xml", work); });
}

void TableOnce(const uint8_t* data, size_t size) {
  const fs::path folder = Scratch() / "table";
  fs::create_directories(folder);
  Write(folder / "T.DBF", data, size);
  ExpectingOnlyOurFailures([&] {
    Table table(folder, "T");
    table.Open();
    for (table.First(); !table.Eof(); table.Next()) {
      for (size_t field = 0; field < table.FieldCount(); ++field) {
        table.FieldText(field);
        ExpectingOnlyOurFailures([&] { table.FieldInteger(field); });
      }
    }
  });
}

void ImportOnce(const uint8_t* data, size_t size, const fs::path& sourceFolder) {
  const fs::path work = Scratch() / "import";
  static const bool ready = [&] {
    fs::create_directories(work);
    RunExport(sourceFolder / "samples/seneca-ies-enlazor.xml", work);
    fs::remove(Scratch() / "base.xml");
    fs::copy_file(sourceFolder / "samples/base.xml", Scratch() / "base.xml");
    std::ofstream(Scratch() / "horario.xml") << "x";
    return true;
  }();
  (void)ready;
  Write(work / "SOLUC.DBF", data, size);
  ExpectingOnlyOurFailures([&] { RunImport(Scratch() / "horario.xml", work, Scratch() / "base.xml"); });
}

}  // namespace enlazor::fuzz
