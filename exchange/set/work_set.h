// Horavia's seven work tables as one set: a command replaces all of them or
// none, no run ever reads half of one set and half of another, and the set
// replaced is kept as a copy, never deleted.
//
// A command builds the new set in the staging folder. Its commit holds every
// live table, describes the set it replaces, writes the mark, sets each old
// table aside and moves each new one in; it then removes the mark and keeps
// the set-aside tables as a copy. A failure during the moves puts everything
// back; an interruption (a killed process, a power cut) leaves the mark, and
// the next run of either command finishes the moves before anything else.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "exchange/platform/platform.h"
#include "exchange/report.h"
#include "exchange/set/set_files.h"

namespace enlazor {

namespace fs = std::filesystem;

// Where a new set comes from: it describes the copy of the set it replaces.
struct SetOrigin {
  std::string orden;    // "exportar" or "restaurar"
  std::string archivo;  // the chosen file, or the name of the copy put back (UTF-8)
};

// What a commit did with the set it replaced.
struct Replaced {
  fs::path copy;        // the copy that keeps it; empty when there was no table to replace
  std::string problem;  // why it is not a copy yet: it waits in the staging folder for the next run
  fs::path waiting;     // where it waits then
};

// The staging folder of one command, held against other runs while it lives.
class Staging {
 public:
  // Takes the staging folder of workDir for a command ("exportar",
  // "restaurar", "importar"), making it if need be, after finishing what an
  // interrupted command left there. Another command holding it is refused,
  // naming that command.
  Staging(const fs::path& workDir, const char* command);
  ~Staging();
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;

  const fs::path& Folder() const { return folder_; }
  // Puts the staged tables in place of the live ones, all or none; a work
  // table with nothing staged leaves the set. The replaced set is kept as a copy.
  Replaced Commit(const SetOrigin& origin);

 private:
  void Take(const char* command);
  [[noreturn]] void RefuseOtherCommand() const;
  void FinishPending();
  void KeepOrphanedSet();
  void ClearStaged();

  fs::path work_;
  fs::path folder_;
  platform::FolderLock lock_;
  bool pending_ = false;  // the mark is there: the folder is kept for the next run
};

// What a command tells of the set its commit replaced: the copy that keeps
// it, or, when the copy could not be made, where the tables wait and why.
void TellReplaced(const Replaced& replaced, RunReport& report);
// Finishes what an interrupted command left in the staging folder; nothing
// when there is nothing. Every run calls it before it reads a table.
void FinishPendingSet(const fs::path& workDir);
// True while a set is being put in place (or was left half in place): a
// reader that sees this must not trust the tables it holds.
bool SetIsMoving(const fs::path& workDir);
// Refuses a work folder where one table has two files whose names differ only
// in letter case (possible under Wine on a Linux disk): Horavia and Windows
// take them for one, and no run could tell which one it replaces.
void RefuseTwoSpellings(const fs::path& workDir);
// Refuses a chosen file inside the staging folder: it would be removed with it.
void RefuseFileInStaging(const fs::path& file, const fs::path& workDir);

}  // namespace enlazor
