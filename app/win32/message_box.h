// The window's boxes on Windows: modal, titled with the application title, no
// icon, the text wrapped at half the screen's width, buttons that Enter and
// Escape press. The message box may carry a summary line and a "Detalles"
// button that shows the findings as wide as their lines need, up to the
// screen; the copy chooser carries a list. Every box can be resized and is
// drawn at its monitor's scale.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace enlazor::win32 {

struct BoxContents {
  std::wstring title;
  std::wstring text;
  std::wstring summary = {};
  std::wstring details = {};               // shown by a "Detalles" button
  std::vector<std::wstring> choices = {};  // a list to choose one line from
  std::vector<std::wstring> buttons = {};  // right-aligned, in order
  int defaultButton = 0;                   // the one Enter presses
  int cancelButton = -1;                   // the one Escape presses; -1: the default one
  bool firstOnLeft = false;                // the first button stands apart, on the left ("Deshacer")
};

struct BoxResult {
  int button = -1;  // the index of the button that closed the box
  int choice = -1;  // the line chosen in the list; -1 when none
};

BoxResult ShowBox(HWND owner, const BoxContents& contents);

// UTF-8 as Windows' UTF-16, and back.
std::wstring Wide(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

}  // namespace enlazor::win32
