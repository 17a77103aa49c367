#include "export/restore_run.h"

#include <functional>

#include "exchange/failure.h"
#include "exchange/set/copies.h"
#include "exchange/set/work_set.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;
using platform::PathToUtf8;

RunReport Restore(const fs::path& workDir, const std::function<const CopyInfo&(const std::vector<CopyInfo>&)>& choose) {
  Staging staging(workDir);
  const std::vector<CopyInfo> copies = ListCopies(workDir);
  const CopyInfo copy = choose(copies);
  if (copy.tablas.empty()) {
    throw Refusal(Format("La copia '%s' no tiene ninguna tabla que se pueda leer: no se ha restaurado nada.",
                         {PathToUtf8(copy.folder)}));
  }
  for (const char* table : kWorkTables) {
    for (const auto& file : TableFiles(copy.folder, table))
      platform::CopyToNew(file, staging.Folder() / file.filename());
  }
  RunReport report;
  report.orden = "restaurar";
  report.archivo = PathToUtf8(copy.folder);
  report.tablas = copy.tablas;
  const Replaced replaced = staging.Commit({"restaurar", "del " + copy.When()});
  report.copia = replaced.copy.empty() ? std::string() : PathToUtf8(replaced.copy);
  // Its tables are the live ones now: the copy of what they replaced undoes the restore.
  RemoveCopy(copy, workDir);
  PruneCopies(workDir);
  return report;
}

}  // namespace

RunReport RunRestore(const fs::path& workDir, size_t number) {
  return Restore(workDir, [&](const std::vector<CopyInfo>& copies) -> const CopyInfo& {
    if (copies.empty()) throw Refusal(NoCopiesText(workDir));
    if (number < 1 || number > copies.size()) {
      throw Refusal(
          Format("No hay copia número %s: hay %s (de la 1, la más reciente, a la %s).",
                 {std::to_string(number), Counted(copies.size(), "copia", "copias"), std::to_string(copies.size())}));
    }
    return copies[number - 1];
  });
}

RunReport RunRestore(const fs::path& workDir, const std::string& copyName) {
  return Restore(workDir, [&](const std::vector<CopyInfo>& copies) -> const CopyInfo& {
    for (const auto& copy : copies) {
      if (copy.name == copyName) return copy;
    }
    throw Refusal(Format("La copia '%s' ya no está en '%s'.", {copyName, PathToUtf8(workDir / kCopiesFolder)}));
  });
}

}  // namespace enlazor
