#include "export/restore_run.h"

#include "exchange/failure.h"
#include "exchange/set/copies.h"
#include "exchange/set/work_set.h"

namespace enlazor {

namespace fs = std::filesystem;
using platform::PathToUtf8;

RunReport RunRestore(const fs::path& workDir, size_t number) {
  // The number is the one the user read in the list, whatever the restore's own start keeps.
  const std::vector<CopyInfo> copies = ListCopiesUnread(workDir);
  if (copies.empty()) throw Refusal(NoCopiesText(workDir));
  if (number < 1 || number > copies.size()) {
    throw Refusal(
        Format("No hay copia número %s: hay %s (de la 1, la más reciente, a la %s).",
               {std::to_string(number), Counted(copies.size(), "copia", "copias"), std::to_string(copies.size())}));
  }
  return RunRestore(workDir, copies[number - 1].name);
}

RunReport RunRestore(const fs::path& workDir, const std::string& copyName) {
  Staging staging(workDir, "restaurar");
  std::vector<CopyInfo> copies = ListCopiesUnread(workDir);
  const auto copy = std::find_if(copies.begin(), copies.end(), [&](const CopyInfo& c) { return c.name == copyName; });
  if (copy == copies.end()) {
    throw Refusal(Format("La copia '%s' ya no está en '%s'.", {copyName, PathToUtf8(workDir / kCopiesFolder)}));
  }
  CheckCopy(*copy);
  if (!copy->Whole()) {
    throw Refusal(
        Format("La copia del %s no se puede restaurar: %s. No se ha restaurado nada: las tablas de trabajo "
               "no han cambiado.",
               {copy->When(), copy->falta}));
  }
  CheckCopiesCanBeMade(workDir, "restaurar la copia");
  for (const char* member : kSetMembers) {
    for (const auto& file : MemberFiles(copy->folder, member))
      platform::CopyToNew(file, staging.Folder() / file.filename());
  }
  RunReport report;
  report.orden = "restaurar";
  report.archivo = PathToUtf8(copy->folder);
  report.tablas = copy->tablas;
  TellReplaced(staging.Commit({"restaurar", "del " + copy->When()}), report);
  // Its tables are the live ones now: the copy of what they replaced undoes the restore.
  RemoveCopy(*copy, workDir);
  PruneCopies(workDir);
  return report;
}

}  // namespace enlazor
