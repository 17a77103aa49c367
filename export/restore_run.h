// The restore run: a kept copy of the work tables back in place of the live
// ones, through the same all-or-nothing commit as an export; the set it
// replaces is kept as a copy too, so a restore can itself be undone.
#pragma once

#include <filesystem>
#include <string>

#include "exchange/report.h"

namespace enlazor {

// Restores copy number (1 is the newest), as ListCopies numbers them.
RunReport RunRestore(const std::filesystem::path& workDir, size_t number);
// Restores the copy of the given folder name (the one an export just made).
RunReport RunRestore(const std::filesystem::path& workDir, const std::string& copyName);

}  // namespace enlazor
