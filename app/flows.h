// The window's commands from the click to the last message, without any
// toolkit: the Qt window and the Windows window both call these, so they
// behave alike and are tested once. Texts are UTF-8.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace enlazor {

class RunReport;
struct CopyInfo;

// A message box: its text (a first line the user knows, then what the command
// used and did), a summary of the findings and their full list, and the
// caption of one button more when the command can be undone from there.
struct Message {
  std::string text;
  std::string summary = {};
  std::string details = {};
  std::string extraButton = {};
};

// The user-interface services the commands use: the file choice, the message
// box, a question, the choice of a kept copy, the busy cursor and the default
// error report. Each window gives its own; tests script the user's answers.
class UiServices {
 public:
  virtual ~UiServices() = default;
  // OpenDialogXML, opened in initialFolder on the name last confirmed: the
  // confirmed path, or nothing when cancelled.
  virtual std::optional<std::string> ChooseFile(const std::string& lastChoice, const std::string& initialFolder) = 0;
  // The message box; true when the user closed it with the extra button.
  virtual bool ShowMessage(const Message& message) = 0;
  // A question with two answers: true for yes (the caption given), false for "Cancelar".
  virtual bool Confirm(const std::string& question, const std::string& yes) = 0;
  // One of the kept copies, each a line; nothing when cancelled.
  virtual std::optional<size_t> ChooseCopy(const std::vector<std::string>& copies) = 0;
  // The default error report, for a failure that ended a run.
  virtual void ReportError(const std::string& text) = 0;
  // Opens the folder of a file with the file selected, in the system's file manager.
  virtual void ShowFile(const std::string& path) = 0;
  virtual void SetBusy(bool busy) = 0;
};

// The caption of the windows' menu entry that restores a kept copy; "&" marks its access key.
inline constexpr const char* kRecuperarCaption = "&Recuperar tablas anteriores…";
// The closing box's button that restores the copy an export has just made.
inline constexpr const char* kUndoCaption = "Deshacer";
// The import's closing box's button that shows the file for Séneca in its folder.
inline constexpr const char* kShowFileCaption = "Mostrar el archivo";

class CommandFlows {
 public:
  // workDir: Horavia's work directory as this machine reaches it.
  CommandFlows(std::filesystem::path workDir, UiServices& ui) : workDir_(std::move(workDir)), ui_(ui) {}

  void BExportarClick();
  void BImportarClick();
  // "Recuperar tablas anteriores…": lists the kept copies and restores the one chosen.
  void RecuperarClick();
  // The path last confirmed in the file dialog; shared by both commands.
  const std::string& ArchivoXML() const { return archivoXml_; }

 private:
  // Both commands begin alike: the dialog replaces ArchivoXML only on confirm.
  void ChooseExchangeFile();
  // extraButton: the closing box's button more, when offered(report) says so.
  template <typename Run>
  std::optional<RunReport> RunCommand(Run run, const char* extraButton = "",
                                      bool (*offered)(const RunReport&) = nullptr);
  // Restores the copy of that folder name after the user confirms it.
  void Restore(const std::string& copyName, const std::string& question);

  std::filesystem::path workDir_;
  UiServices& ui_;
  std::string archivoXml_;
  bool reusedChoice_ = false;  // the dialog was cancelled and the earlier choice serves
};

// The list of kept copies as the window offers them: "1.  <the copy's line>".
std::vector<std::string> CopyChoices(const std::vector<CopyInfo>& copies);

// The executable's name without folder and without everything from its first
// "."; the first character keeps its case, the rest go to lower case.
std::string ApplicationTitle(const std::string& executablePath);

}  // namespace enlazor
