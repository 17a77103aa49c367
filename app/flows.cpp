#include "app/flows.h"

#include "exchange/codec.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "exchange/report.h"
#include "exchange/set/copies.h"
#include "export/export_run.h"
#include "export/restore_run.h"
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

// The folder the file dialog opens in: Horavia's exchange folder, C:\HTEMP\SAUCE, when it exists.
std::string InitialFolder(const fs::path& workDir) {
  const fs::path sauce = platform::FindNoCase(workDir, "sauce");
  std::error_code ec;
  return platform::PathToUtf8(fs::is_directory(sauce, ec) ? sauce : workDir);
}

const char* const kRestoreButton = "Restaurar";

// When a kept copy was made, as the list of copies shows it; its name when it cannot be read.
std::string WhenKept(const fs::path& workDir, const std::string& name) {
  try {
    for (const auto& copy : ListCopies(workDir)) {
      if (copy.name == name) return copy.When();
    }
  } catch (const std::exception&) {
  }
  return name;
}

}  // namespace

void CommandFlows::ChooseExchangeFile() {
  const std::optional<std::string> chosen = ui_.ChooseFile(archivoXml_, InitialFolder(workDir_));
  reusedChoice_ = !chosen && !archivoXml_.empty();
  if (!chosen) return;
  archivoXml_ = *chosen;
  // As the Windows dialog does: the chosen file's folder becomes the current
  // one, so that the import finds the "base.xml" kept beside the exchange files.
  const fs::path folder = platform::PathFromUtf8(archivoXml_).parent_path();
  std::error_code ec;
  if (!folder.empty() && fs::is_directory(folder, ec)) fs::current_path(folder, ec);
}

// Runs a command's run; refusals go to the message box, failures to the error
// report, and the busy cursor is restored either way. The closing message
// carries the findings and, when the run kept a copy of the tables it
// replaced, the undo button: the report comes back when the user pressed it.
template <typename Run>
std::optional<RunReport> CommandFlows::RunCommand(Run run, const char* extraButton, bool (*offered)(const RunReport&)) {
  BusyCursor busy(ui_);
  // A cancelled dialog looks like a normal run: the box says which file served.
  const std::string reused = reusedChoice_ ? std::string("\n") + kEarlierFileUsed : "";
  try {
    RunReport report = run([&] { busy.Show(); });
    busy.Restore();
    report.reusedChoice = reusedChoice_;
    const std::string extra = offered && offered(report) ? extraButton : "";
    if (ui_.ShowMessage({report.Closing(), report.Summary(), report.Details(), extra})) return report;
  } catch (const Refusal& refusal) {
    busy.Restore();
    ui_.ShowMessage({refusal.what() + reused});
  } catch (const std::exception& failure) {
    busy.Restore();
    ui_.ReportError(WithFullStop(FailureText(failure)));
  }
  return std::nullopt;
}

void CommandFlows::BExportarClick() {
  ChooseExchangeFile();
  const fs::path file = platform::PathFromUtf8(archivoXml_);
  const auto undo = RunCommand([&](const auto& showBusy) { return RunExport(file, workDir_, showBusy); }, kUndoCaption,
                               [](const RunReport& report) { return !report.copia.empty(); });
  if (!undo) return;
  const std::string copy = platform::PathToUtf8(platform::PathFromUtf8(undo->copia).filename());
  Restore(copy, "¿Deshacer la exportación y volver a poner las tablas que había antes? Son la copia del " +
                    WhenKept(workDir_, copy) + ", en '" + undo->copia +
                    "'. Las tablas actuales se guardarán como otra copia.");
}

void CommandFlows::BImportarClick() {
  ChooseExchangeFile();
  const fs::path file = platform::PathFromUtf8(archivoXml_);
  std::error_code ec;
  fs::path base = fs::absolute(kTemplateName, ec);
  if (ec) base = kTemplateName;
  const auto show = RunCommand([&](const auto& showBusy) { return RunImport(file, workDir_, base, showBusy); },
                               kShowFileCaption, [](const RunReport& report) { return !report.salida.empty(); });
  if (show) ui_.ShowFile(show->salida);
}

void CommandFlows::RecuperarClick() {
  std::vector<CopyInfo> copies;
  try {
    copies = ListCopies(workDir_);
  } catch (const std::exception& failure) {
    return ui_.ReportError(WithFullStop(FailureText(failure)));
  }
  if (copies.empty()) {
    ui_.ShowMessage({NoCopiesText(workDir_)});
    return;
  }
  const std::optional<size_t> chosen = ui_.ChooseCopy(CopyChoices(copies));
  if (!chosen || *chosen >= copies.size()) return;
  const CopyInfo& copy = copies[*chosen];
  Restore(copy.name, "¿Volver a poner las tablas de la copia del " + copy.When() + " (" + copy.Before() +
                         ")? Las tablas actuales se guardarán como otra copia.");
}

std::vector<std::string> CopyChoices(const std::vector<CopyInfo>& copies) {
  std::vector<std::string> lines;
  for (size_t k = 0; k < copies.size(); ++k) lines.push_back(std::to_string(k + 1) + ".  " + copies[k].Line());
  return lines;
}

void CommandFlows::Restore(const std::string& copyName, const std::string& question) {
  if (!ui_.Confirm(question, kRestoreButton)) return;
  reusedChoice_ = false;  // no file is chosen for a restore
  RunCommand([&](const auto& showBusy) {
    showBusy();
    return RunRestore(workDir_, copyName);
  });
}

std::string ApplicationTitle(const std::string& executablePath) {
  const std::string name = platform::PathToUtf8(platform::PathFromUtf8(executablePath).filename());
  const std::string stem = name.substr(0, name.find('.'));
  size_t split = stem.empty() ? 0 : 1;  // the first character, however many bytes it takes
  while (split < stem.size() && (static_cast<unsigned char>(stem[split]) & 0xC0) == 0x80) ++split;
  return stem.substr(0, split) + LowerWesternLetters(stem.substr(split));
}

}  // namespace enlazor
