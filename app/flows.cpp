#include "app/flows.h"

#include "exchange/codec.h"
#include "exchange/failure.h"
#include "exchange/platform.h"
#include "export/export_run.h"
#include "import/import_run.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;

// Shows the busy cursor for as long as it lives, once shown.
class BusyCursor {
 public:
  explicit BusyCursor(UiServices& ui) : ui_(ui) {}
  ~BusyCursor() { Restore(); }
  void Show() {
    if (!shown_) ui_.SetBusy(true);
    shown_ = true;
  }
  void Restore() {
    if (shown_) ui_.SetBusy(false);
    shown_ = false;
  }

 private:
  UiServices& ui_;
  bool shown_ = false;
};

}  // namespace

void CommandFlows::ChooseExchangeFile() {
  const std::optional<std::string> chosen = ui_.ChooseFile(archivoXml_);
  if (!chosen) return;
  archivoXml_ = *chosen;
  // As the Windows dialog does: the chosen file's folder becomes the current
  // one, so that the import finds the "base.xml" kept beside the exchange files.
  const fs::path folder = platform::PathFromUtf8(archivoXml_).parent_path();
  std::error_code ec;
  if (!folder.empty() && fs::is_directory(folder, ec)) fs::current_path(folder, ec);
}

// Runs a command's run; refusals go to the message box, failures to the error
// report, and the busy cursor is restored either way. The completion message
// carries the findings, when there are any.
template <typename Run>
void CommandFlows::RunCommand(const char* done, Run run) {
  BusyCursor busy(ui_);
  try {
    const RunReport report = run([&] { busy.Show(); });
    busy.Restore();
    ui_.ShowMessage(done, report.Summary(), report.Details());
  } catch (const Refusal& refusal) {
    busy.Restore();
    ui_.ShowMessage(refusal.what());
  } catch (const std::exception& failure) {
    busy.Restore();
    ui_.ReportError(WithFullStop(FailureText(failure)));
  }
}

void CommandFlows::BExportarClick() {
  ChooseExchangeFile();
  const fs::path file = platform::PathFromUtf8(archivoXml_);
  RunCommand("Proceso finalizado", [&](const auto& showBusy) { return RunExport(file, workDir_, showBusy); });
}

void CommandFlows::BImportarClick() {
  ChooseExchangeFile();
  const fs::path file = platform::PathFromUtf8(archivoXml_);
  const fs::path base = fs::absolute("base.xml");
  RunCommand("Proceso Terminado", [&](const auto& showBusy) { return RunImport(file, workDir_, base, showBusy); });
}

std::string ApplicationTitle(const std::string& executablePath) {
  const std::string name = platform::PathToUtf8(platform::PathFromUtf8(executablePath).filename());
  const std::string stem = name.substr(0, name.find('.'));
  size_t split = stem.empty() ? 0 : 1;  // the first character, however many bytes it takes
  while (split < stem.size() && (static_cast<unsigned char>(stem[split]) & 0xC0) == 0x80) ++split;
  return stem.substr(0, split) + LowerWesternLetters(stem.substr(split));
}

std::string WithFullStop(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

}  // namespace enlazor
