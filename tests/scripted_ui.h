// Scripted answers for the window's dialogs, and a record of everything shown.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/flows.h"

namespace enlazor::testing {

struct Script {
  std::deque<std::optional<std::string>> answers;
  std::vector<std::string> offered;  // the name the dialog was opened with, each time
  std::vector<std::string> shown;
};

class ScriptedUi : public UiServices {
 public:
  explicit ScriptedUi(Script& script) : script_(script) {}
  std::optional<std::string> ChooseFile(const std::string& lastChoice) override {
    script_.offered.push_back(lastChoice);
    if (script_.answers.empty()) return std::nullopt;
    auto answer = script_.answers.front();
    script_.answers.pop_front();
    return answer;
  }
  void ShowMessage(const std::string& text, const std::string& summary, const std::string& details) override {
    script_.shown.push_back("mensaje: " + text + (summary.empty() ? "" : " | " + summary) +
                            (details.empty() ? "" : " | detalles: " + details));
  }
  void ReportError(const std::string& text) override { script_.shown.push_back("error: " + text); }
  void SetBusy(bool busy) override { script_.shown.push_back(busy ? "reloj" : "cursor normal"); }

 private:
  Script& script_;
};

}  // namespace enlazor::testing
