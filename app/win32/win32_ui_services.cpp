#include "app/win32/win32_ui_services.h"

#include <commdlg.h>

#include <vector>

#include "app/win32/message_box.h"

using enlazor::win32::Narrow;
using enlazor::win32::Wide;

std::wstring Win32ApplicationTitle() {
  wchar_t path[MAX_PATH * 4];
  ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  return Wide(enlazor::ApplicationTitle(Narrow(path)));
}

std::optional<std::string> Win32UiServices::ChooseFile(const std::string& lastChoice) {
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring last = Wide(lastChoice);
  std::copy(last.begin(), last.begin() + static_cast<ptrdiff_t>(std::min(last.size(), file.size() - 1)), file.begin());
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = *owner_;
  dialog.lpstrFilter = L"*.xml\0*.xml\0";
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = L"c:\\htemp\\sauce";
  dialog.lpstrTitle = L"Archivo XML";
  dialog.lpstrDefExt = L"xml";
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
  if (!::GetOpenFileNameW(&dialog)) return std::nullopt;
  return Narrow(file.data());
}

void Win32UiServices::ShowMessage(const std::string& text, const std::string& summary, const std::string& details) {
  enlazor::win32::ShowMessageBox(*owner_, Win32ApplicationTitle(), Wide(text), Wide(summary), Wide(details));
}

void Win32UiServices::ReportError(const std::string& text) {
  ::MessageBoxW(*owner_, Wide(text).c_str(), Win32ApplicationTitle().c_str(), MB_OK | MB_ICONERROR | MB_APPLMODAL);
}

void Win32UiServices::SetBusy(bool busy) { ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW)); }
