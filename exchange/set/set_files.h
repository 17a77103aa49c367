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
// What the export keeps of the Séneca file beside the tables, for the import
// (its activities, courses, subjects, units and slots): Enlazor's own file,
// part of the set, committed, kept and restored with the tables.
inline constexpr const char* kSenecaKept = "ENLAZOR-SENECA";
// Every file name of a set, without extension: the seven tables and the kept Séneca data.
inline constexpr std::array<const char*, 8> kSetMembers = {"CURSOACAD", "ASIGNOMT", "PROFT",      "AULAT",
                                                           "GRUPOST",   "ASIGT",    "DIASHORAST", kSenecaKept};
// The folder inside the work directory where a command builds its tables.
inline constexpr const char* kStagingFolder = ".enlazor-nuevo";
// The folder of the work directory that holds the copies, one folder each.
inline constexpr const char* kCopiesFolder = "Enlazor-copias";
// The description in each copy's folder.
inline constexpr const char* kDescription = "copia.txt";

// A member's main extension: ".DBF" for a table, ".XML" for the kept Séneca data.
const char* MemberExtension(std::string_view member);
// A member's files in a folder, in any letter case: a table's data and index,
// or the kept Séneca data.
std::vector<fs::path> MemberFiles(const fs::path& folder, std::string_view member);
// Refuses a folder of ours (staging, copies) that is a file or a link, or lies on another disk.
void CheckFolderIsOurs(const fs::path& folder, const fs::path& workDir);

// A small text of "clave: valor" lines, for the description and the commit's mark.
using Fields = std::vector<std::pair<std::string, std::string>>;
std::string FieldsText(const Fields& fields);
Fields ParseFields(std::string_view text);
// The fields of a small file of ours; none when it is not there. Values are valid UTF-8.
Fields ReadFields(const fs::path& path);
std::string FieldOf(const Fields& fields, std::string_view key);

}  // namespace enlazor
