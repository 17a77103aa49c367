// Horavia's seven work tables as one set: an export replaces all of them or
// none, and no run ever reads half of one set and half of another.
//
// An export builds the new set in the staging folder. Its commit holds every
// live table, writes the mark, sets each old table aside and moves the new
// one in, and only then removes the mark and the old tables. A failure during
// the moves puts everything back; an interruption (a killed process, a power
// cut) leaves the mark, and the next run of either command finishes the moves
// before anything else.
#pragma once

#include <array>
#include <filesystem>

#include "exchange/platform.h"

namespace enlazor {

namespace fs = std::filesystem;

// The work tables an export writes, in the order it builds them.
inline constexpr std::array<const char*, 7> kWorkTables = {"CURSOACAD", "ASIGNOMT", "PROFT",     "AULAT",
                                                           "GRUPOST",   "ASIGT",    "DIASHORAST"};
// The folder inside the work directory where an export builds its tables.
inline constexpr const char* kStagingFolder = ".enlazor-nuevo";

// The staging folder of one export, held against other runs while it lives.
class Staging {
 public:
  // Takes the staging folder of workDir, making it if need be, after
  // finishing a set that an interrupted export left there.
  explicit Staging(const fs::path& workDir);
  ~Staging();
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;

  const fs::path& Folder() const { return folder_; }
  // Puts the seven new tables in place of the live ones, all or none.
  void Commit();

 private:
  void Take();
  void FinishPending();
  void Clear();

  fs::path work_;
  fs::path folder_;
  platform::FolderLock lock_;
  bool pending_ = false;  // the mark is there: the folder is kept for the next run
};

// Finishes a set an interrupted export left pending; nothing when there is
// none. Every run calls it before it reads a table.
void FinishPendingSet(const fs::path& workDir);
// True while a set is being put in place (or was left half in place): a
// reader that sees this must not trust the tables it holds.
bool SetIsMoving(const fs::path& workDir);
// Refuses a chosen file inside the staging folder: it would be removed with it.
void RefuseFileInStaging(const fs::path& file, const fs::path& workDir);

}  // namespace enlazor
