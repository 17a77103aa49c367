// The sets of work tables that a command replaced, kept so that they can be
// put back. A commit never deletes Horavia's tables: it sets them aside in the
// staging folder and then moves that folder, whole and on the same disk, into
// the copies folder of the work directory, with a description of when and by
// what they were replaced. The newest kKeptCopies are kept.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "exchange/report.h"
#include "exchange/set/set_files.h"

namespace enlazor {

namespace fs = std::filesystem;

inline constexpr size_t kKeptCopies = 10;

struct CopyInfo {
  fs::path folder;
  std::string name;     // the folder's name: its date and time
  std::string fecha;    // when the tables were replaced, "2026-12-09 22:40:12"
  std::string orden;    // what replaced them: "exportar" or "restaurar"
  std::string archivo;  // the chosen file of that export, or the copy that restore put back
  uint64_t secuencia = 0;
  std::vector<TableRows> tablas;  // the tables the folder holds, with the rows counted there
  std::string falta;              // why the folder is not a whole set; empty when it is one

  // A whole set, which a restore can put back: the seven tables, each once,
  // each a plain file that reads as a table.
  bool Whole() const { return falta.empty(); }
  // "09/12/2026 22:40:12"
  std::string When() const;
  // "antes de exportar horario.xml", "antes de restaurar una copia anterior"
  std::string Before() const;
  // Rows of a table of the copy, or -1 when the copy does not have it.
  long Rows(std::string_view table) const;
  // One line: when, before what, and the rows of PROFT and ASIGT, or what it lacks.
  std::string Line() const;
};

// "No hay copias de tablas anteriores en '<carpeta>'."
std::string NoCopiesText(const fs::path& workDir);

// The copies of the work directory, newest first, whole or not: what each
// holds is read from its folder, never taken from its description. A copies
// folder that is a file or a link is refused; a folder in it without a
// description is not ours.
std::vector<CopyInfo> ListCopies(const fs::path& workDir);
// The same list by the descriptions alone, no table read: enough to find a
// copy by its number or its name, not to know what it holds (CheckCopy).
std::vector<CopyInfo> ListCopiesUnread(const fs::path& workDir);
// Reads what a copy's folder holds into it: its tables' rows, and what keeps
// it from being a whole set.
void CheckCopy(CopyInfo& copy);

// The list of copies as a JSON document, as the run report writes its own:
// {"orden": "copias", "carpeta": ..., "copias": [{"numero", "fecha", "orden",
// "archivo", "carpeta", "completa", "falta", "tablas"}, ...]}.
std::string CopiesJson(const fs::path& workDir, const std::vector<CopyInfo>& copies);

// A local moment as the copies name it: "2026-12-09 22:40:12".
std::string Stamp();
// The next number in the order copies were made: the clock may go back, this
// does not, and it never wraps round: a description with a number no run
// could have reached counts as the oldest.
uint64_t NextSequence(const fs::path& workDir);

// Moves a folder of set-aside tables, described, into the copies folder under
// its date and time (or its number, where the date would make a path too long
// for the system). Returns the copy's folder.
fs::path KeepAsCopy(const fs::path& aside, const fs::path& workDir);
// Removes a copy: only the files a copy holds, never through a link. The
// folder first takes a name that is plainly no copy, so that a removal cut
// short leaves nothing a list or a restore would take for one; the next
// pruning finishes it.
void RemoveCopy(const CopyInfo& copy, const fs::path& workDir);
// Removes the copies beyond the newest kKeptCopies, and finishes removals
// that were cut short. Cleaning up: a failure leaves things as they are.
void PruneCopies(const fs::path& workDir);
// Refuses a command that would replace the set when what it replaces could
// not be kept as a copy: the copies folder must take a new folder.
void CheckCopiesCanBeMade(const fs::path& workDir, const char* command);

}  // namespace enlazor
