// The export run: a Séneca export file to Horavia's seven work tables.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace enlazor {

struct TableCount {
  std::string table;
  size_t rows = 0;
};

// Refuses with "No existe archivo" when no file is at xmlFile. Otherwise loads
// it, calls afterLoad, and rebuilds the seven tables of workDir: all of them
// or, when anything fails, none (the tables stay byte for byte as they were).
std::vector<TableCount> RunExport(const std::filesystem::path& xmlFile, const std::filesystem::path& workDir,
                                  const std::function<void()>& afterLoad = {});

// The folder inside the work directory where a run builds its tables.
inline constexpr const char* kStagingFolder = ".enlazor-nuevo";

}  // namespace enlazor
