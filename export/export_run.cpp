#include "export/export_run.h"

#include <map>

#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "exchange/set/copies.h"
#include "export/builders.h"
#include "export/seneca_reader.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;

// Hands each record to the builder of its group, and the first two
// top-level groups to every builder.
class Dispatch : public SenecaHandler {
 public:
  explicit Dispatch(std::vector<std::unique_ptr<TableBuilder>>& builders) : builders_(builders) {
    for (auto& builder : builders) {
      if (!builder->Group().empty()) byGroup_[builder->Group()] = builder.get();
    }
  }
  void TopGroup(size_t index, const Datos& datos) override {
    for (auto& builder : builders_) builder->TopGroup(index, datos);
  }
  void Record(const std::string& seq, const Datos& datos) override {
    const auto found = byGroup_.find(seq);
    if (found != byGroup_.end()) found->second->Offer(datos);
  }

 private:
  std::vector<std::unique_ptr<TableBuilder>>& builders_;
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
    Dispatch dispatch(builders);
    ReadSenecaExport(xmlFile, dispatch);
    for (auto& builder : builders) report.tablas.push_back({builder->Table(), builder->Finish()});
  }
  TellReplaced(staging.Commit({"exportar", report.archivo}), report);
  PruneCopies(workDir);
  return report;
}

}  // namespace enlazor
