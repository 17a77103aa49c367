// Scripted answers for the window's dialogs, and a record of everything shown.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/flows.h"

namespace enlazor::testing {

struct Script {
  std::deque<std::optional<std::string>> answers;  // the file dialog's, in turn; cancelled when none is left
  std::deque<bool> extraPressed;                   // each message box: closed with its extra button?
  std::deque<bool> confirmed;                      // each question: answered yes?
  std::deque<std::optional<size_t>> copyChosen;    // each list of copies: the one chosen
  std::vector<std::string> offered;                // the name the dialog was opened with, each time
  std::vector<std::string> folders;                // the folder it was opened in, each time
  std::vector<std::string> shown;
};

template <typename T>
T Next(std::deque<T>& answers, T otherwise) {
  if (answers.empty()) return otherwise;
  T answer = answers.front();
  answers.pop_front();
  return answer;
}

class ScriptedUi : public UiServices {
 public:
  explicit ScriptedUi(Script& script) : script_(script) {}
  std::optional<std::string> ChooseFile(const std::string& lastChoice, const std::string& initialFolder) override {
    script_.offered.push_back(lastChoice);
    script_.folders.push_back(initialFolder);
    return Next(script_.answers, std::optional<std::string>());
  }
  bool ShowMessage(const Message& m) override {
    script_.shown.push_back("mensaje: " + m.text + (m.summary.empty() ? "" : " | " + m.summary) +
                            (m.details.empty() ? "" : " | detalles: " + m.details) +
                            (m.extraButton.empty() ? "" : " | botón: " + m.extraButton));
    return !m.extraButton.empty() && Next(script_.extraPressed, false);
  }
  bool Confirm(const std::string& question, const std::string& yes) override {
    script_.shown.push_back("pregunta: " + question + " [" + yes + "]");
    return Next(script_.confirmed, false);
  }
  std::optional<size_t> ChooseCopy(const std::vector<std::string>& copies) override {
    std::string listed;
    for (const auto& line : copies) listed += "\n" + line;
    script_.shown.push_back("copias:" + listed);
    return Next(script_.copyChosen, std::optional<size_t>());
  }
  void ReportError(const std::string& text) override { script_.shown.push_back("error: " + text); }
  void ShowFile(const std::string& path) override { script_.shown.push_back("mostrar: " + path); }
  void SetBusy(bool busy) override { script_.shown.push_back(busy ? "reloj" : "cursor normal"); }

 private:
  Script& script_;
};

}  // namespace enlazor::testing
