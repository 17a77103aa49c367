// The user-interface services of the Qt window: Qt's dialogs and the
// application-wide cursor.
#pragma once

#include <QWidget>

#include "app/flows.h"

class QtUiServices : public enlazor::UiServices {
 public:
  explicit QtUiServices(QWidget* owner) : owner_(owner) {}
  std::optional<std::string> ChooseFile(const std::string& lastChoice) override;
  void ShowMessage(const std::string& text, const std::string& summary, const std::string& details) override;
  void ReportError(const std::string& text) override;
  void SetBusy(bool busy) override;

 private:
  QWidget* owner_;
};
