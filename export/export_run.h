// The export run: a Séneca export file to Horavia's seven work tables.
#pragma once

#include <filesystem>
#include <functional>

#include "exchange/report.h"
#include "exchange/set/work_set.h"

namespace enlazor {

// Refuses with "No existe archivo" when no file is at xmlFile, and refuses a
// file that is not a Séneca export. Otherwise finishes a set an interrupted
// run left pending, reads the file (calling afterStart once the reading
// begins) and rebuilds the seven tables of workDir: all of them or, when
// anything fails, none (the tables stay byte for byte as they were).
RunReport RunExport(const std::filesystem::path& xmlFile, const std::filesystem::path& workDir,
                    const std::function<void()>& afterStart = {});

}  // namespace enlazor
