// The user-interface services of the Windows window: the common file dialog,
// the window's own boxes, the standard error box and the wait cursor.
#pragma once

#include <windows.h>

#include "app/flows.h"

class Win32UiServices : public enlazor::UiServices {
 public:
  explicit Win32UiServices(HWND* owner) : owner_(owner) {}
  std::optional<std::string> ChooseFile(const std::string& lastChoice, const std::string& initialFolder) override;
  bool ShowMessage(const enlazor::Message& message) override;
  bool Confirm(const std::string& question, const std::string& yes) override;
  std::optional<size_t> ChooseCopy(const std::vector<std::string>& copies) override;
  void ReportError(const std::string& text) override;
  void ShowFile(const std::string& path) override;
  void SetBusy(bool busy) override;

 private:
  HWND* owner_;  // the window, once made
};

// The application title: the executable's name, as the window's boxes show it.
std::wstring Win32ApplicationTitle();
