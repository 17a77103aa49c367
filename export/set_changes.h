// What an export changed against the set it replaced: the question of every
// mid-year re-export. Teachers, subjects, rooms and units added and gone, by
// their Séneca identifiers and named as the user knows them; a set of another
// school year or of another school said plainly; and Horavia's assignments
// that are now only in the copy.
#pragma once

#include <filesystem>

#include "exchange/report.h"

namespace enlazor {

// Compares the replaced set in replaced (a copy's folder) with the live one
// in workDir, into the report's changes and findings. copyShown: where the
// replaced set is kept, for the user.
void TellChanges(const std::filesystem::path& replaced, const std::filesystem::path& workDir,
                 const std::string& copyShown, RunReport& report);

}  // namespace enlazor
