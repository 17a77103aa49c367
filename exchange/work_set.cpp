#include "exchange/work_set.h"

#include <vector>

#include "exchange/failure.h"

namespace enlazor {
namespace {

using platform::PathToUtf8;

// Written into the staging folder before the first live table is touched:
// from then on the new set replaces the old one, if need be by the next run.
constexpr const char* kMark = "COMPLETO";
// Inside the staging folder: the old tables, set aside until the new ones are all in place.
constexpr const char* kSetAside = "anteriores";

std::string Dbf(const char* table) { return std::string(table) + ".DBF"; }

// A table's files in a folder, in any letter case: data and index.
std::vector<fs::path> TableFiles(const fs::path& folder, const char* table) {
  auto files = platform::FindAllNoCase(folder, Dbf(table));
  for (auto& index : platform::FindAllNoCase(folder, std::string(table) + ".MDX")) files.push_back(std::move(index));
  return files;
}

[[noreturn]] void RaiseCannotReplace(const fs::path& table, const std::string& why) {
  throw Failure(Format("No se puede sustituir la tabla '%s': %s", {PathToUtf8(table), why}));
}

// Holds the live tables of the given names exclusively: no other program may
// use them while they are being replaced, and one that does stops the commit
// before anything has changed.
std::vector<platform::File> HoldLiveTables(const fs::path& work, const std::vector<const char*>& tables) {
  std::vector<platform::File> holds;
  for (const char* table : tables) {
    for (const auto& live : platform::FindAllNoCase(work, Dbf(table))) {
      int error = 0;
      auto file = platform::File::Open(live, error, true);
      if (!file.IsOpen() && !platform::IsInUseError(error)) RaiseCannotReplace(live, platform::ErrorText(error));
      if (!file.IsOpen() || !file.TryLock(platform::File::Lock::Exclusive)) {
        throw Failure(Format("La tabla '%s' está en uso por otro programa", {PathToUtf8(live)}));
      }
      if (!file.IsWritable()) RaiseCannotReplace(live, "es de solo lectura o está protegida contra cambios");
      holds.push_back(std::move(file));
    }
  }
  return holds;
}

// The moves of one commit, in order, so that a failure can undo them.
class Journal {
 public:
  // Moves a file of the named live table; a failure names the table and why.
  void Move(const fs::path& from, const fs::path& to, const fs::path& table) {
    const int error = platform::MoveReplacing(from, to);
    if (error != 0) RaiseCannotReplace(table, platform::ErrorText(error));
    done_.push_back({from, to});
  }
  // Puts every moved file back; false when one could not be.
  bool Undo() {
    for (auto move = done_.rbegin(); move != done_.rend(); ++move) {
      if (platform::MoveReplacing(move->second, move->first) != 0) return false;
    }
    done_.clear();
    return true;
  }

 private:
  std::vector<std::pair<fs::path, fs::path>> done_;
};

// The tables whose new file is still in the staging folder.
std::vector<const char*> StagedTables(const fs::path& staging) {
  std::vector<const char*> staged;
  for (const char* table : kWorkTables) {
    if (platform::FileExists(staging / Dbf(table))) staged.push_back(table);
  }
  return staged;
}

void CheckOurs(const fs::path& folder, const fs::path& work) {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(folder, ec)) || platform::IsPlainFolderBeside(folder, work)) return;
  throw Failure(Format("'%s' no es una carpeta de Enlazor: es un archivo o un enlace, o está en otro disco. "
                       "Cámbiele el nombre o quítela de la carpeta de trabajo y repita la orden",
                       {PathToUtf8(folder)}));
}

// Sets each old table aside and moves each new one in.
void MoveIntoPlace(const fs::path& staging, const fs::path& work, const std::vector<const char*>& tables, Journal& journal) {
  const fs::path aside = staging / kSetAside;
  CheckOurs(aside, work);
  if (const int error = platform::MakeFolder(aside)) RaiseCannotReplace(work / Dbf(tables.front()), platform::ErrorText(error));
  CheckOurs(aside, work);
  for (const char* table : tables) {
    const fs::path live = work / Dbf(table);
    for (const auto& old : TableFiles(work, table)) journal.Move(old, aside / old.filename(), live);
    journal.Move(staging / Dbf(table), live, live);
  }
  platform::SyncFolder(work);
}

void RemoveMark(const fs::path& staging) {
  platform::DeleteFileQuietly(staging / kMark);
  platform::SyncFolder(staging);
}

}  // namespace

Staging::Staging(const fs::path& workDir) : work_(workDir), folder_(workDir / kStagingFolder) {
  std::error_code ec;
  if (!fs::is_directory(work_, ec)) {
    throw Failure(Format("No existe la carpeta de trabajo '%s'", {PathToUtf8(work_)}));
  }
  Take();
  if (platform::FileExists(folder_ / kMark)) {
    pending_ = true;
    FinishPending();
  }
  Clear();
}

// Creates the folder if need be and holds it; another run holding it means
// another export is under way.
void Staging::Take() {
  for (int attempt = 0; attempt < 5; ++attempt) {
    CheckOurs(folder_, work_);
    int error = platform::MakeFolder(folder_);
    if (error == 0) CheckOurs(folder_, work_);
    if (error == 0) lock_ = platform::FolderLock::TryTake(folder_, error);
    if (error != 0) {
      throw Failure(Format("No se puede crear la carpeta '%s': %s", {PathToUtf8(folder_), platform::ErrorText(error)}));
    }
    if (!lock_.Held()) {
      throw Failure(Format("Otra exportación está en curso en la carpeta de trabajo '%s'", {PathToUtf8(work_)}));
    }
    if (lock_.IsAt(folder_)) return;  // else the other run removed it meanwhile: take the new one
  }
  throw Failure(Format("No se puede crear la carpeta '%s'", {PathToUtf8(folder_)}));
}

// A run cut short while it moved its tables: its set is whole in the staging
// folder and goes in now, unless a table still to be replaced has changed since.
void Staging::FinishPending() {
  const auto staged = StagedTables(folder_);
  const int64_t marked = platform::ModifiedTime(folder_ / kMark);
  for (const char* table : staged) {
    for (const auto& live : platform::FindAllNoCase(work_, Dbf(table))) {
      if (marked != 0 && platform::ModifiedTime(live) > marked) {
        throw Failure(Format(
            "La tabla '%s' ha cambiado después de que se interrumpiera una exportación, y terminarla la sustituiría. "
            "Si quiere conservar esos cambios, copie la tabla a otra carpeta; después quítela de la carpeta de trabajo "
            "y repita la orden: se completará la exportación interrumpida",
            {PathToUtf8(live)}));
      }
    }
  }
  if (!staged.empty()) {
    const auto holds = HoldLiveTables(work_, staged);
    Journal journal;
    MoveIntoPlace(folder_, work_, staged, journal);
  }
  RemoveMark(folder_);
  pending_ = false;
}

// Removes what runs put in the staging folder, by name: never anything else,
// never through a link.
void Staging::Clear() {
  for (const char* table : kWorkTables) platform::DeleteFileQuietly(folder_ / Dbf(table));
  const fs::path aside = folder_ / kSetAside;
  if (platform::IsPlainFolderBeside(aside, work_)) {
    for (const char* table : kWorkTables) {
      for (const auto& old : TableFiles(aside, table)) platform::DeleteFileQuietly(old);
    }
    platform::RemoveEmptyFolder(aside);
  }
}

Staging::~Staging() {
  if (pending_ || !lock_.Held()) return;
  Clear();
  platform::RemoveEmptyFolder(folder_);
}

void Staging::Commit() {
  for (const char* table : kWorkTables) {
    int error = 0;
    const fs::path staged = folder_ / Dbf(table);
    platform::File file = platform::File::Open(staged, error, true);
    if (!file.IsOpen()) throw Failure(Format("No existe la tabla '%s'", {PathToUtf8(staged)}));
    file.Sync(staged);
  }
  const std::vector<const char*> all(kWorkTables.begin(), kWorkTables.end());
  auto holds = HoldLiveTables(work_, all);
  platform::WriteFileAtomically(folder_ / kMark, "");
  platform::SyncFolder(folder_);
  pending_ = true;
  Journal journal;
  try {
    MoveIntoPlace(folder_, work_, all, journal);
  } catch (const Failure& failure) {
    if (!journal.Undo()) {
      throw Failure(std::string(failure.what()) + ". La siguiente orden terminará de poner las tablas nuevas");
    }
    RemoveMark(folder_);
    pending_ = false;
    throw Failure(std::string(failure.what()) + ". Las tablas de trabajo quedan como estaban");
  }
  RemoveMark(folder_);
  pending_ = false;
  holds.clear();
}

void FinishPendingSet(const fs::path& workDir) {
  if (!SetIsMoving(workDir)) return;
  Staging finishing(workDir);
}

bool SetIsMoving(const fs::path& workDir) { return platform::FileExists(workDir / kStagingFolder / kMark); }

void RefuseFileInStaging(const fs::path& file, const fs::path& workDir) {
  const fs::path staging = workDir / kStagingFolder;
  if (!platform::IsInside(file, staging)) return;
  throw Refusal(Format("El archivo '%s' está dentro de la carpeta '%s', que Enlazor vacía en cada exportación. "
                       "Cópielo a otra carpeta y elíjalo allí",
                       {PathToUtf8(file), PathToUtf8(staging)}));
}

}  // namespace enlazor
