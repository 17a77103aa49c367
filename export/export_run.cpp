#include "export/export_run.h"

#include <map>

#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "exchange/set/copies.h"
#include "exchange/set/seneca_kept.h"
#include "exchange/set/work_set.h"
#include "exchange/xml/seneca_reader.h"
#include "export/builders.h"
#include "export/set_changes.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;

// Hands each record to the builder of its group, the first two top-level
// groups to every builder, and everything to what the set keeps of the file.
class Dispatch : public SenecaHandler {
 public:
  Dispatch(std::vector<std::unique_ptr<TableBuilder>>& builders, SenecaKeeper& keeper)
      : builders_(builders), keeper_(keeper) {
    for (auto& builder : builders) {
      if (!builder->Group().empty()) byGroup_[builder->Group()] = builder.get();
    }
  }
  void Root(const char* const* attributes) override { keeper_.Root(attributes); }
  void TopGroup(size_t index, const std::string& seq, const Datos& datos) override {
    for (auto& builder : builders_) builder->TopGroup(index, seq, datos);
    keeper_.TopGroup(index, seq, datos);
  }
  void Record(const std::string& seq, const Datos& datos) override {
    const auto found = byGroup_.find(seq);
    if (found != byGroup_.end()) found->second->Offer(datos);
    keeper_.Record(seq, datos);
  }

 private:
  std::vector<std::unique_ptr<TableBuilder>>& builders_;
  SenecaKeeper& keeper_;
  std::map<std::string, TableBuilder*> byGroup_;
};

}  // namespace

RunReport RunExport(const fs::path& xmlFile, const fs::path& workDir, const std::function<void()>& afterStart) {
  if (!platform::FileExists(xmlFile)) throw Refusal("No existe archivo");
  RefuseFileInStaging(xmlFile, workDir);
  Staging staging(workDir, "exportar");
  if (afterStart) afterStart();
  RunReport report;
  report.orden = "exportar";
  report.archivo = platform::PathToUtf8(xmlFile);
  {
    auto builders = MakeBuilders(staging.Folder(), report);
    SenecaKeeper keeper(SenecaKeptIn(staging.Folder()));
    Dispatch dispatch(builders, keeper);
    ReadSenecaExport(xmlFile, dispatch);
    for (auto& builder : builders) report.tablas.push_back({builder->Table(), builder->Finish()});
    keeper.Finish();
  }
  const Replaced replaced = staging.Commit({"exportar", report.archivo});
  TellReplaced(replaced, report);
  const fs::path kept = replaced.copy.empty() ? replaced.waiting : replaced.copy;
  if (!kept.empty()) TellChanges(kept, workDir, platform::PathToUtf8(kept), report);
  PruneCopies(workDir);
  return report;
}

}  // namespace enlazor
