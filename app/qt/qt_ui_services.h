// The user-interface services of the Qt window: Qt's file dialog, our own
// message box and copy chooser, the application-wide cursor, and the
// desktop's file manager.
#pragma once

#include <QWidget>

#include "app/flows.h"

class QtUiServices : public enlazor::UiServices {
 public:
  explicit QtUiServices(QWidget* owner) : owner_(owner) {}
  std::optional<std::string> ChooseFile(const std::string& lastChoice, const std::string& initialFolder) override;
  bool ShowMessage(const enlazor::Message& message) override;
  bool Confirm(const std::string& question, const std::string& yes) override;
  std::optional<size_t> ChooseCopy(const std::vector<std::string>& copies) override;
  void ReportError(const std::string& text) override;
  void ShowFile(const std::string& path) override;
  void SetBusy(bool busy) override;

 private:
  QWidget* owner_;
};
