// The user-interface services of the Windows window: the common file dialog,
// the window's message box, the standard error box and the wait cursor.
#pragma once

#include <windows.h>

#include "app/flows.h"

class Win32UiServices : public enlazor::UiServices {
 public:
  explicit Win32UiServices(HWND* owner) : owner_(owner) {}
  std::optional<std::string> ChooseFile(const std::string& lastChoice) override;
  void ShowMessage(const std::string& text, const std::string& summary, const std::string& details) override;
  void ReportError(const std::string& text) override;
  void SetBusy(bool busy) override;

 private:
  HWND* owner_;  // the window, once made
};

// The application title: the executable's name as Part of the shell shows it.
std::wstring Win32ApplicationTitle();
