#include "exchange/set/work_set.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "exchange/dbf/table.h"
#include "exchange/failure.h"
#include "exchange/set/copies.h"

namespace enlazor {
namespace {

using platform::PathToUtf8;

// Written into the staging folder before the first live table is touched:
// from then on the new set replaces the old one, if need be by the next run.
// It names where the set comes from and which tables it holds.
constexpr const char* kMark = "COMPLETO";
// Inside the staging folder: the old tables, set aside until the new ones are
// all in place, then kept as a copy.
constexpr const char* kSetAside = "anteriores";

// The file a member is named by in messages: "PROFT.DBF".
std::string MainFile(const char* member) { return std::string(member) + MemberExtension(member); }

// In the staging folder while a command holds it: which command, for another run it refuses.
constexpr const char* kRunning = ".orden";

// "exportar" -> "una exportación", as a refused run names the command under way.
std::string CommandNoun(std::string_view orden) {
  if (orden == "exportar") return "una exportación";
  if (orden == "restaurar") return "una restauración";
  if (orden == "importar") return "una importación";
  return {};
}

[[noreturn]] void RaiseCannotReplace(const fs::path& table, const std::string& why) {
  throw Failure(Format("No se puede sustituir la tabla '%s': %s", {PathToUtf8(table), why}));
}

// Holds the live members of the given names exclusively: no other program may
// use them while they are being replaced, and one that does stops the commit
// before anything has changed.
std::vector<platform::File> HoldLiveTables(const fs::path& work, const std::vector<const char*>& tables) {
  std::vector<platform::File> holds;
  for (const char* table : tables) {
    for (const auto& live : platform::FindAllNoCase(work, MainFile(table))) {
      int error = 0;
      auto file = platform::File::Open(live, error, true);
      if (!file.IsOpen() && !platform::IsInUseError(error)) RaiseCannotReplace(live, platform::ErrorText(error));
      if (!file.IsOpen() || !file.TryLock(platform::File::Lock::Exclusive)) {
        RaiseTableInUse(live);
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

bool HasFiles(const fs::path& folder, const char* table) { return !MemberFiles(folder, table).empty(); }

bool HoldsTables(const fs::path& folder) {
  return std::any_of(kSetMembers.begin(), kSetMembers.end(),
                     [&](const char* member) { return HasFiles(folder, member); });
}

// The folder the old tables go to, made if need be: a plain folder of ours,
// never a link. A failure names the first table that could not be replaced.
fs::path MakeAside(const fs::path& staging, const fs::path& work, const char* firstTable) {
  const fs::path aside = staging / kSetAside;
  CheckFolderIsOurs(aside, work);
  if (const int error = platform::MakeFolder(aside))
    RaiseCannotReplace(work / MainFile(firstTable), platform::ErrorText(error));
  CheckFolderIsOurs(aside, work);
  return aside;
}

// Sets each old table aside and moves each new one in.
void MoveIntoPlace(const fs::path& staging, const fs::path& work, const std::vector<const char*>& tables,
                   Journal& journal) {
  const fs::path aside = MakeAside(staging, work, tables.front());
  for (const char* table : tables) {
    const fs::path live = work / MainFile(table);
    for (const auto& old : MemberFiles(work, table)) journal.Move(old, aside / old.filename(), live);
    for (const auto& staged : MemberFiles(staging, table)) journal.Move(staged, work / staged.filename(), live);
  }
  platform::SyncFolder(work);
}

void RemoveMark(const fs::path& staging) {
  platform::DeleteFileQuietly(staging / kMark);
  platform::SyncFolder(staging);
}

// What a live table file was when the mark was written: its size, its time
// and a hash of its bytes. Finishing an interrupted set compares it for
// equality, never trusting the clock, which may have been set back since.
// A file that cannot be read raises: a mark must never record what it did not see.
std::string Fingerprint(const fs::path& path) {
  int error = 0;
  platform::File file = platform::File::OpenForReading(path, error);
  if (!file.IsOpen()) {
    throw Failure(Format("No se puede leer el archivo '%s': %s", {PathToUtf8(path), platform::ErrorText(error)}));
  }
  uint64_t hash = 1469598103934665603ull, size = 0;  // FNV-1a over 64-bit words
  std::vector<char> piece(1 << 20);
  for (size_t n; (n = file.Read(piece.data(), piece.size(), path)) > 0; size += n) {
    for (size_t at = 0; at < n; at += 8) {
      uint64_t word = 0;
      std::memcpy(&word, piece.data() + at, std::min<size_t>(8, n - at));
      hash = (hash ^ word) * 1099511628211ull;
    }
  }
  char text[80];
  std::snprintf(text, sizeof text, "%llu %lld %016llx", static_cast<unsigned long long>(size),
                static_cast<long long>(platform::ModifiedTime(path)), static_cast<unsigned long long>(hash));
  return text;
}

// The mark's lines for every live file of the work tables: "PROFT.DBF <fingerprint>".
void RecordLiveFiles(const fs::path& work, Fields& mark) {
  for (const char* table : kSetMembers) {
    for (const auto& live : MemberFiles(work, table)) {
      mark.emplace_back("vivo", PathToUtf8(live.filename()) + " " + Fingerprint(live));
    }
  }
}

// The first live file of the tables that the mark did not record as it is
// now: changed, or new (files moved aside since are no longer live).
std::optional<fs::path> ChangedSinceMarked(const Fields& mark, const fs::path& work,
                                           const std::vector<const char*>& tables) {
  for (const char* table : tables) {
    for (const auto& file : MemberFiles(work, table)) {
      const std::string line = PathToUtf8(file.filename()) + " " + Fingerprint(file);
      if (std::none_of(mark.begin(), mark.end(),
                       [&](const auto& f) { return f.first == "vivo" && f.second == line; })) {
        return file;
      }
    }
  }
  return std::nullopt;
}

// A fresh folder for the tables the commit sets aside, with the description
// its copy will carry: written before the mark, so that the set it receives is
// never without one.
void PrepareAside(const fs::path& staging, const fs::path& work, const SetOrigin& origin, const std::string& fecha) {
  const fs::path aside = MakeAside(staging, work, kSetMembers[0]);
  const std::string text = FieldsText({{"fecha", fecha},
                                       {"orden", origin.orden},
                                       {"archivo", origin.archivo},
                                       {"secuencia", std::to_string(NextSequence(work))}});
  platform::DeleteFileQuietly(aside / kDescription);
  int error = 0;
  platform::File file = platform::File::CreateNew(aside / kDescription, error);
  if (!file.IsOpen()) RaiseCannotReplace(work / MainFile(kSetMembers[0]), platform::ErrorText(error));
  file.WriteAt(text.data(), text.size(), 0, aside / kDescription);
  file.Sync(aside / kDescription);
}

// The set-aside tables become a copy; a failure leaves them where they are,
// for the next run, and says why.
Replaced KeepSetAside(const fs::path& staging, const fs::path& work) {
  const fs::path aside = staging / kSetAside;
  try {
    if (!platform::IsPlainFolderBeside(aside, work)) return {};
    if (!HoldsTables(aside)) {
      platform::DeleteFileQuietly(aside / kDescription);
      platform::RemoveEmptyFolder(aside);
      return {};
    }
    return {KeepAsCopy(aside, work), {}, {}};
  } catch (const Failure& failure) {
    return {{}, failure.what(), aside};
  }
}

// The tables of the new set, as the mark names them.
std::vector<std::string> MarkedTables(const Fields& mark) {
  const std::string listed = FieldOf(mark, "nuevas");
  std::vector<std::string> tables;
  for (size_t at = 0; at < listed.size();) {
    const size_t end = std::min(listed.find(' ', at), listed.size());
    if (end > at) tables.emplace_back(listed.substr(at, end - at));
    at = end + 1;
  }
  return tables;
}

}  // namespace

Staging::Staging(const fs::path& workDir, const char* command) : work_(workDir), folder_(workDir / kStagingFolder) {
  std::error_code ec;
  if (!fs::is_directory(work_, ec)) {
    RaiseNoWorkFolder(work_);
  }
  CheckFolderIsOurs(work_ / kCopiesFolder, work_);
  RefuseTwoSpellings(work_);
  Take(command);
  if (platform::FileExists(folder_ / kMark)) {
    pending_ = true;
    FinishPending();
  }
  KeepOrphanedSet();
  ClearStaged();
}

// Creates the folder if need be and holds it; another run holding it means
// another command is under way.
void Staging::Take(const char* command) {
  auto raise = [&](int error) {
    throw Failure(Format("No se puede crear la carpeta '%s': %s", {PathToUtf8(folder_), platform::ErrorText(error)}));
  };
  for (int attempt = 0; attempt < 5; ++attempt) {
    CheckFolderIsOurs(folder_, work_);
    if (const int error = platform::MakeFolder(folder_)) raise(error);
    CheckFolderIsOurs(folder_, work_);
    int error = 0;
    lock_ = platform::FolderLock::TryTake(folder_, error);
    std::error_code ec;
    if (error != 0 && !fs::exists(fs::symlink_status(folder_, ec))) continue;  // another run removed it meanwhile
    if (error != 0) raise(error);
    if (!lock_.Held()) RefuseOtherCommand();
    if (!lock_.IsAt(folder_)) continue;  // the other run removed it meanwhile: take the new one
    try {
      platform::WriteFileAtomically(folder_ / kRunning, FieldsText({{"orden", command}}));
    } catch (const Failure&) {
      lock_.ReleaseAndRemove(folder_);  // a folder that takes no file is no place to build a set
      throw;
    }
    return;
  }
  throw Failure(Format("No se puede crear la carpeta '%s'", {PathToUtf8(folder_)}));
}

// Nothing is touched: the command under way is named when its run said which.
void Staging::RefuseOtherCommand() const {
  std::string noun;
  try {
    noun = CommandNoun(FieldOf(ReadFields(folder_ / kRunning), "orden"));
  } catch (const Failure&) {
  }
  throw Refusal(
      Format("Otra orden de Enlazor%s está en curso en la carpeta de trabajo '%s'. Espere a que termine y "
             "repita la orden.",
             {noun.empty() ? "" : " (" + noun + ")", PathToUtf8(work_)}));
}

// A run cut short while it moved its tables: its set is whole in the staging
// folder and goes in now, unless a table still to be replaced has changed since.
void Staging::FinishPending() {
  const Fields mark = ReadFields(folder_ / kMark);
  std::vector<std::string> listed = MarkedTables(mark);
  if (listed.empty()) listed.assign(kWorkTables.begin(), kWorkTables.end());  // a mark that names none: an export's
  std::vector<const char*> tables;  // a new table still staged, or a table the new set has not
  for (const char* table : kSetMembers) {
    const bool inNewSet = std::find(listed.begin(), listed.end(), table) != listed.end();
    if (!inNewSet || HasFiles(folder_, table)) tables.push_back(table);
  }
  const std::string command = FieldOf(mark, "orden") == "restaurar" ? "restauración" : "exportación";
  if (const auto changed = ChangedSinceMarked(mark, work_, tables)) {
    throw Failure(
        Format("La tabla '%s' ha cambiado después de que se interrumpiera una %s, y terminarla la sustituiría. "
               "Si quiere conservar esos cambios, copie la tabla a otra carpeta; después quítela de la carpeta "
               "de trabajo y repita la orden: se completará la %s interrumpida",
               {PathToUtf8(*changed), command, command}));
  }
  if (!tables.empty()) {
    const auto holds = HoldLiveTables(work_, tables);
    Journal journal;
    try {
      MoveIntoPlace(folder_, work_, tables, journal);
    } catch (const Failure& failure) {
      // As a failed commit does: every table back where it was, the set still pending.
      const bool undone = journal.Undo();
      throw Failure(
          Format("No se ha podido terminar la %s interrumpida (del %s, de '%s'): %s. %s Las tablas nuevas "
                 "siguen en '%s' y la siguiente orden volverá a intentarlo",
                 {command, FieldOf(mark, "fecha"), FieldOf(mark, "archivo"), failure.what(),
                  undone ? "Las tablas de trabajo quedan como estaban."
                         : "Las tablas ya apartadas están en '" + PathToUtf8(folder_ / kSetAside) + "'.",
                  PathToUtf8(folder_)}));
    }
  }
  RemoveMark(folder_);
  pending_ = false;
}

// Tables set aside by a commit whose copy could not be made: kept now, and
// nothing goes on until they are, since the next commit sets its own aside there.
void Staging::KeepOrphanedSet() {
  const Replaced kept = KeepSetAside(folder_, work_);
  if (kept.problem.empty()) return;
  throw Failure(
      Format("Las tablas que sustituyó la orden anterior siguen en '%s' y no se pueden guardar como copia: %s",
             {PathToUtf8(folder_ / kSetAside), kept.problem}));
}

// Removes the tables a command staged, by name: never anything else, never
// through a link. Set-aside tables are never removed here.
void Staging::ClearStaged() {
  for (const char* table : kSetMembers) {
    for (const auto& staged : MemberFiles(folder_, table)) platform::DeleteFileQuietly(staged);
  }
}

Staging::~Staging() {
  if (pending_ || !lock_.Held()) return;
  try {
    ClearStaged();
    const fs::path aside = folder_ / kSetAside;
    if (platform::IsPlainFolderBeside(aside, work_) && !HoldsTables(aside)) {
      platform::DeleteFileQuietly(aside / kDescription);
      platform::RemoveEmptyFolder(aside);
    }
    platform::DeleteFileQuietly(folder_ / kRunning);
    lock_.ReleaseAndRemove(folder_);
  } catch (...) {
    // A folder that cannot be read or emptied now is left for the next run, which clears it first.
  }
}

Replaced Staging::Commit(const SetOrigin& origin) {
  std::vector<std::string> staged;
  for (const char* table : kSetMembers) {
    for (const auto& file : MemberFiles(folder_, table)) {
      int error = 0;
      platform::File written = platform::File::Open(file, error, true);
      if (!written.IsOpen()) RaiseCannotReplace(work_ / MainFile(table), platform::ErrorText(error));
      written.Sync(file);
    }
    if (HasFiles(folder_, table)) staged.emplace_back(table);
  }
  std::string nuevas;
  for (const auto& table : staged) nuevas += (nuevas.empty() ? "" : " ") + table;
  const std::vector<const char*> all(kSetMembers.begin(), kSetMembers.end());
  auto holds = HoldLiveTables(work_, all);
  const std::string fecha = Stamp();
  PrepareAside(folder_, work_, origin, fecha);
  Fields mark{{"fecha", fecha}, {"orden", origin.orden}, {"archivo", origin.archivo}, {"nuevas", nuevas}};
  RecordLiveFiles(work_, mark);
  platform::WriteFileAtomically(folder_ / kMark, FieldsText(mark));
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
  return KeepSetAside(folder_, work_);
}

void TellReplaced(const Replaced& replaced, RunReport& report) {
  if (!replaced.copy.empty()) report.copia = PathToUtf8(replaced.copy);
  if (replaced.problem.empty()) return;
  const std::string waiting = PathToUtf8(replaced.waiting);
  report.Add({"copia_pendiente",
              kCopiesFolder,
              0,
              "",
              "",
              waiting,
              "",
              {},
              {},
              "Las tablas sustituidas no se han podido guardar como copia (" + replaced.problem + "); siguen en '" +
                  waiting + "' y la siguiente orden volverá a intentarlo."});
}

void FinishPendingSet(const fs::path& workDir) {
  const fs::path aside = workDir / kStagingFolder / kSetAside;
  if (!SetIsMoving(workDir) && !(platform::IsPlainFolderBeside(aside, workDir) && HoldsTables(aside))) return;
  Staging finishing(workDir, "importar");
  PruneCopies(workDir);
}

bool SetIsMoving(const fs::path& workDir) { return platform::FileExists(workDir / kStagingFolder / kMark); }

void RefuseTwoSpellings(const fs::path& workDir) {
  std::vector<std::string> tables(kWorkTables.begin(), kWorkTables.end());
  tables.emplace_back("SOLUC");
  for (const auto& table : tables) {
    for (const char* extension : {".DBF", ".MDX"}) {
      const auto files = platform::FindAllNoCase(workDir, table + extension);
      if (files.size() < 2) continue;
      throw Refusal(
          Format("La carpeta de trabajo tiene dos archivos de la tabla %s, '%s' y '%s', que solo se "
                 "distinguen por mayúsculas y minúsculas: Horavia y Windows los toman por uno. Deje solo el "
                 "bueno (guarde el otro en otra carpeta) y repita la orden.",
                 {table, PathToUtf8(files[0]), PathToUtf8(files[1])}));
    }
  }
}

void RefuseFileInStaging(const fs::path& file, const fs::path& workDir) {
  const fs::path staging = workDir / kStagingFolder;
  if (!platform::IsInside(file, staging)) return;
  throw Refusal(
      Format("El archivo '%s' está dentro de la carpeta '%s', que Enlazor vacía en cada exportación. "
             "Cópielo a otra carpeta y elíjalo allí.",
             {PathToUtf8(file), PathToUtf8(staging)}));
}

}  // namespace enlazor
