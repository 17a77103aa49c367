// The window's message box: modal, titled with the application title, no
// icon, the text wrapped at half the screen's width and one "Aceptar"
// button that Enter and Escape press. With findings, a summary line and a
// "Detalles" button that shows their full list.
#pragma once

#include <windows.h>

#include <string>

namespace enlazor::win32 {

void ShowMessageBox(HWND owner, const std::wstring& title, const std::wstring& text, const std::wstring& summary,
                    const std::wstring& details);

// UTF-8 as Windows' UTF-16, and back.
std::wstring Wide(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

}  // namespace enlazor::win32
