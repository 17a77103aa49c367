#include "export/export_run.h"

#include "exchange/failure.h"
#include "exchange/platform.h"
#include "exchange/xml.h"
#include "export/builders.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;

// Written into the staging folder once all seven tables are complete: from
// then on the new set replaces the old one, if need be by the next run.
constexpr const char* kCompleteMark = "COMPLETO";

// The staging folder of one run, held against other runs while it lives.
class Staging {
 public:
  explicit Staging(const fs::path& workDir);
  ~Staging();
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;

  const fs::path& Folder() const { return folder_; }
  // Puts the new tables in place of the live ones.
  void Commit();

 private:
  void Take();
  void MoveIntoPlace();
  std::vector<platform::File> HoldLiveTables() const;
  void Remove();

  fs::path work_;
  fs::path folder_;
  platform::File lock_;
  bool marked_ = false;
};

Staging::Staging(const fs::path& workDir) : work_(workDir), folder_(workDir / kStagingFolder) {
  std::error_code ec;
  if (!fs::is_directory(work_, ec)) throw Failure(Format("No existe la carpeta de trabajo '%s'", {work_.string()}));
  Take();
  if (platform::FileExists(folder_ / kCompleteMark)) {
    marked_ = true;
    const auto holds = HoldLiveTables();
    MoveIntoPlace();  // a run cut short while it moved its tables: finish its work first
  }
  for (const auto& entry : fs::directory_iterator(folder_, ec)) fs::remove_all(entry.path(), ec);
}

// Creates the folder if need be and locks it; another run holding it means
// another export is under way.
void Staging::Take() {
  for (int attempt = 0; attempt < 5; ++attempt) {
    std::error_code ec;
    fs::create_directory(folder_, ec);
    int error = ec ? ec.value() : 0;
    if (error == 0) lock_ = platform::File::OpenFolder(folder_, error);
    if (error != 0) {
      throw Failure(Format("No se puede crear la carpeta '%s': %s", {folder_.string(), platform::ErrorText(error)}));
    }
    if (!lock_.TryLock(platform::File::Lock::Exclusive)) {
      throw Failure(Format("Otra exportación está en curso en la carpeta de trabajo '%s'", {work_.string()}));
    }
    if (lock_.IsAt(folder_)) return;  // else the other run removed it meanwhile: take the new one
  }
  throw Failure(Format("No se puede crear la carpeta '%s'", {folder_.string()}));
}

Staging::~Staging() {
  if (!marked_) Remove();
}

void Staging::Remove() {
  std::error_code ec;
  fs::remove_all(folder_, ec);
}

std::vector<platform::File> Staging::HoldLiveTables() const {
  std::vector<platform::File> holds;
  holds.push_back(platform::TryLockFolder(work_, platform::File::Lock::Exclusive));
  if (!holds.back().IsOpen()) {
    throw Failure(Format("La carpeta de trabajo '%s' está en uso por otra orden", {work_.string()}));
  }
  for (const auto& builder : Builders()) {
    for (const auto& live : platform::FindAllNoCase(work_, std::string(builder.table) + ".DBF")) {
      int error = 0;
      auto file = platform::File::Open(live, error);
      if (file.IsOpen() && !file.TryLock(platform::File::Lock::Exclusive)) {
        throw Failure(Format("La tabla '%s' está en uso por otro programa", {live.string()}));
      }
      holds.push_back(std::move(file));
    }
  }
  return holds;
}

// The caller holds the live tables.
void Staging::MoveIntoPlace() {
  for (const auto& builder : Builders()) {
    const std::string name = builder.table;
    const fs::path staged = folder_ / (name + ".DBF");
    if (!platform::FileExists(staged)) continue;  // moved before the interruption
    for (const auto& index : platform::FindAllNoCase(work_, name + ".MDX")) platform::DeleteFileQuietly(index);
    for (const auto& old : platform::FindAllNoCase(work_, name + ".DBF")) {
      if (old.filename() != staged.filename()) platform::DeleteFileQuietly(old);
    }
    platform::RenameReplace(staged, work_ / staged.filename());
  }
  platform::SyncFolder(work_);
  platform::DeleteFileQuietly(folder_ / kCompleteMark);
  marked_ = false;
}

void Staging::Commit() {
  for (const auto& builder : Builders()) {
    int error = 0;
    platform::File::Open(folder_ / (std::string(builder.table) + ".DBF"), error).Sync();
  }
  const auto holds = HoldLiveTables();
  platform::WriteFileAtomically(folder_ / kCompleteMark, "");
  platform::SyncFolder(folder_);
  marked_ = true;
  MoveIntoPlace();
  Remove();
}

}  // namespace

std::vector<TableCount> RunExport(const fs::path& xmlFile, const fs::path& workDir,
                                  const std::function<void()>& afterLoad) {
  if (!platform::FileExists(xmlFile)) throw Refusal("No existe archivo");
  Staging staging(workDir);
  XmlDocument doc;
  doc.Load(xmlFile);
  if (afterLoad) afterLoad();
  std::vector<TableCount> counts;
  for (const auto& builder : Builders()) counts.push_back({builder.table, builder.build(doc, staging.Folder())});
  staging.Commit();
  return counts;
}

}  // namespace enlazor
