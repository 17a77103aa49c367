// The files that make a set of work tables, and the small texts Enlazor
// keeps beside them: what both the set's commit and its kept copies know of
// the work folder. The set (work_set.h) builds on the copies (copies.h),
// which build on this.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace enlazor {

namespace fs = std::filesystem;

// The work tables an export writes, in the order it builds them.
inline constexpr std::array<const char*, 7> kWorkTables = {"CURSOACAD", "ASIGNOMT", "PROFT",     "AULAT",
                                                           "GRUPOST",   "ASIGT",    "DIASHORAST"};
// The folder inside the work directory where a command builds its tables.
inline constexpr const char* kStagingFolder = ".enlazor-nuevo";
// The folder of the work directory that holds the copies, one folder each.
inline constexpr const char* kCopiesFolder = "Enlazor-copias";
// The description in each copy's folder.
inline constexpr const char* kDescription = "copia.txt";

// A table's files in a folder, in any letter case: data and index.
std::vector<fs::path> TableFiles(const fs::path& folder, const char* table);
// Refuses a folder of ours (staging, copies) that is a file or a link, or lies on another disk.
void CheckFolderIsOurs(const fs::path& folder, const fs::path& workDir);

// A small text of "clave: valor" lines, for the description and the commit's mark.
using Fields = std::vector<std::pair<std::string, std::string>>;
std::string FieldsText(const Fields& fields);
Fields ParseFields(std::string_view text);
// The fields of a small file of ours; none when it cannot be read.
Fields ReadFields(const fs::path& path);
std::string FieldOf(const Fields& fields, std::string_view key);

}  // namespace enlazor
