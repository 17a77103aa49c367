#include "app/win32/win32_ui_services.h"

#include <shellapi.h>

#include <commdlg.h>

#include <vector>

#include "app/look.h"
#include "app/win32/message_box.h"

using enlazor::win32::Narrow;
using enlazor::win32::Wide;
namespace look = enlazor::look;

std::wstring Win32ApplicationTitle() {
  wchar_t path[MAX_PATH * 4];
  ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  return Wide(enlazor::ApplicationTitle(Narrow(path)));
}

std::optional<std::string> Win32UiServices::ChooseFile(const std::string& lastChoice,
                                                       const std::string& initialFolder) {
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring last = Wide(lastChoice), folder = Wide(initialFolder);
  std::copy(last.begin(), last.begin() + static_cast<ptrdiff_t>(std::min(last.size(), file.size() - 1)), file.begin());
  const std::wstring filter = Wide(look::kDialogFilterName) + L'\0' + Wide(look::kDialogFilterPattern) + L'\0' + L'\0';
  const std::wstring title = Wide(look::kDialogTitle), extension = Wide(look::kDialogExtension);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = *owner_;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = folder.c_str();
  dialog.lpstrTitle = title.c_str();
  dialog.lpstrDefExt = extension.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
  if (!::GetOpenFileNameW(&dialog)) return std::nullopt;
  return Narrow(file.data());
}

bool Win32UiServices::ShowMessage(const enlazor::Message& message) {
  enlazor::win32::BoxContents box{Win32ApplicationTitle(), Wide(message.text), Wide(message.summary),
                                  Wide(message.details)};
  if (!message.extraButton.empty()) box.buttons.push_back(Wide(message.extraButton));
  box.buttons.push_back(Wide(look::kOk));
  box.defaultButton = static_cast<int>(box.buttons.size()) - 1;
  box.firstOnLeft = !message.extraButton.empty();
  return enlazor::win32::ShowBox(*owner_, box).button == 0 && box.firstOnLeft;
}

bool Win32UiServices::Confirm(const std::string& question, const std::string& yes) {
  enlazor::win32::BoxContents box{Win32ApplicationTitle(), Wide(question)};
  box.buttons = {Wide(yes), Wide(look::kCancel)};
  box.defaultButton = box.cancelButton = 1;
  return enlazor::win32::ShowBox(*owner_, box).button == 0;
}

std::optional<size_t> Win32UiServices::ChooseCopy(const std::vector<std::string>& copies) {
  enlazor::win32::BoxContents box{Win32ApplicationTitle(), Wide(look::kChooseCopy)};
  for (const auto& line : copies) box.choices.push_back(Wide(line));
  box.buttons = {Wide(look::kOk), Wide(look::kCancel)};
  box.cancelButton = 1;
  const auto result = enlazor::win32::ShowBox(*owner_, box);
  if (result.button != 0 || result.choice < 0) return std::nullopt;
  return static_cast<size_t>(result.choice);
}

void Win32UiServices::ReportError(const std::string& text) {
  ::MessageBoxW(*owner_, Wide(text).c_str(), Win32ApplicationTitle().c_str(), MB_OK | MB_ICONERROR | MB_APPLMODAL);
}

// Explorer opens the folder with the file selected.
void Win32UiServices::ShowFile(const std::string& path) {
  const std::wstring select = L"/select,\"" + Wide(path) + L"\"";
  ::ShellExecuteW(*owner_, L"open", L"explorer.exe", select.c_str(), nullptr, SW_SHOWNORMAL);
}

void Win32UiServices::SetBusy(bool busy) { ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW)); }
