// The window's two commands from the click to the last message, without any
// toolkit: the Qt window and the Windows window both call these, so they
// behave alike and are tested once. Texts are UTF-8.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace enlazor {

// The user-interface services the commands use: the file choice, the message
// box, the busy cursor and the default error report. Each window gives its
// own; tests script the user's answers.
class UiServices {
 public:
  virtual ~UiServices() = default;
  // OpenDialogXML, opened on the name last confirmed: the confirmed path, or nothing when cancelled.
  virtual std::optional<std::string> ChooseFile(const std::string& lastChoice) = 0;
  // The message box. With findings, a summary line and the full list the user may open.
  virtual void ShowMessage(const std::string& text, const std::string& summary = {}, const std::string& details = {}) = 0;
  // The default error report, for a failure that ended a run.
  virtual void ReportError(const std::string& text) = 0;
  virtual void SetBusy(bool busy) = 0;
};

class CommandFlows {
 public:
  // workDir: Horavia's work directory as this machine reaches it.
  CommandFlows(std::filesystem::path workDir, UiServices& ui) : workDir_(std::move(workDir)), ui_(ui) {}

  void BExportarClick();
  void BImportarClick();
  // The path last confirmed in the file dialog; shared by both commands.
  const std::string& ArchivoXML() const { return archivoXml_; }

 private:
  // Both commands begin alike: the dialog replaces ArchivoXML only on confirm.
  void ChooseExchangeFile();
  template <typename Run>
  void RunCommand(const char* done, Run run);

  std::filesystem::path workDir_;
  UiServices& ui_;
  std::string archivoXml_;
};

// The executable's name without folder and without everything from its first
// "."; the first character keeps its case, the rest go to lower case.
std::string ApplicationTitle(const std::string& executablePath);
// A failure's message as the error report shows it: a full stop is added when
// the message is not empty and ends in a character above ".".
std::string WithFullStop(const std::string& message);

}  // namespace enlazor
