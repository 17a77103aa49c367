#include "app/win32/message_box.h"

#include <algorithm>

namespace enlazor::win32 {
namespace {

constexpr int kMargin = 12, kButtonWidth = 89, kButtonHeight = 25, kDetailsHeight = 240;
constexpr int kDetailsButton = 100;
constexpr wchar_t kClass[] = L"EnlazorMensaje";

struct Box {
  HWND window = nullptr, details = nullptr, detailsButton = nullptr;
  HFONT font = nullptr;
  int width = 0, height = 0;  // client size without the details
  bool open = true;
};

SIZE TextSize(HFONT font, const std::wstring& text, int maxWidth) {
  const HDC dc = ::GetDC(nullptr);
  const HGDIOBJ old = ::SelectObject(dc, font);
  RECT r{0, 0, maxWidth, 0};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  return {r.right, r.bottom};
}

HWND Child(HWND parent, const wchar_t* kind, const std::wstring& text, DWORD style, int x, int y, int w, int h, int id,
           HFONT font) {
  const HWND child = ::CreateWindowExW(0, kind, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  return child;
}

void Resize(Box& box, bool withDetails) {
  RECT frame{0, 0, box.width, box.height + (withDetails ? kDetailsHeight + kMargin : 0)};
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(box.window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongW(box.window, GWL_EXSTYLE)));
  RECT area{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  ::SetWindowPos(box.window, nullptr, (area.left + area.right - w) / 2, (area.top + area.bottom - h) / 2, w, h, SWP_NOZORDER);
  if (box.details) ::ShowWindow(box.details, withDetails ? SW_SHOW : SW_HIDE);
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* box = reinterpret_cast<Box*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL) {
        ::DestroyWindow(window);
      } else if (LOWORD(w) == kDetailsButton && box) {
        const bool show = !::IsWindowVisible(box->details);
        Resize(*box, show);
        ::SetWindowTextW(box->detailsButton, show ? L"Ocultar" : L"Detalles");
      }
      return 0;
    case WM_CLOSE:
      ::DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      if (box) box->open = false;
      return 0;
    case WM_CTLCOLORSTATIC:  // the texts on the box's own face colour
      ::SetBkColor(reinterpret_cast<HDC>(w), ::GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    default:
      return ::DefWindowProcW(window, message, w, l);
  }
}

void Register() {
  static const bool done = [] {
    WNDCLASSW kind{};
    kind.lpfnWndProc = Procedure;
    kind.hInstance = ::GetModuleHandleW(nullptr);
    kind.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    kind.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    kind.lpszClassName = kClass;
    return ::RegisterClassW(&kind) != 0;
  }();
  (void)done;
}

}  // namespace

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size, nullptr, nullptr);
  return utf8;
}

void ShowMessageBox(HWND owner, const std::wstring& title, const std::wstring& text, const std::wstring& summary,
                    const std::wstring& details) {
  Register();
  Box box;
  box.font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  const int maxWidth = std::max(200, ::GetSystemMetrics(SM_CXSCREEN) / 2 - 2 * kMargin);
  const SIZE textSize = TextSize(box.font, text, maxWidth);
  const SIZE summarySize = summary.empty() ? SIZE{0, 0} : TextSize(box.font, summary, maxWidth);
  const int buttons = details.empty() ? kButtonWidth : 2 * kButtonWidth + 8;
  box.width = 2 * kMargin + std::max<int>({textSize.cx, summarySize.cx, buttons, 160});
  const int summaryTop = kMargin + textSize.cy + (summary.empty() ? 0 : 8);
  const int buttonTop = summaryTop + summarySize.cy + kMargin;
  box.height = buttonTop + kButtonHeight + kMargin;
  box.window = ::CreateWindowExW(WS_EX_DLGMODALFRAME, kClass, title.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0,
                                 100, 100, owner, nullptr, nullptr, nullptr);
  ::SetWindowLongPtrW(box.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&box));
  Child(box.window, L"STATIC", text, SS_LEFT | SS_NOPREFIX, kMargin, kMargin, textSize.cx, textSize.cy, -1, box.font);
  if (!summary.empty()) {
    Child(box.window, L"STATIC", summary, SS_LEFT | SS_NOPREFIX, kMargin, summaryTop, summarySize.cx, summarySize.cy, -1,
          box.font);
  }
  const HWND ok = Child(box.window, L"BUTTON", L"Aceptar", WS_TABSTOP | BS_DEFPUSHBUTTON, box.width - kMargin - kButtonWidth,
                        buttonTop, kButtonWidth, kButtonHeight, IDOK, box.font);
  if (!details.empty()) {
    box.detailsButton = Child(box.window, L"BUTTON", L"Detalles", WS_TABSTOP | BS_PUSHBUTTON, kMargin, buttonTop,
                              kButtonWidth, kButtonHeight, kDetailsButton, box.font);
    std::wstring lines;  // an edit control breaks lines at CR LF
    for (const wchar_t c : details) lines += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
    box.details = Child(box.window, L"EDIT", lines, WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                        kMargin, box.height, box.width - 2 * kMargin, kDetailsHeight, -1, box.font);
  }
  Resize(box, false);
  if (owner) ::EnableWindow(owner, FALSE);
  ::ShowWindow(box.window, SW_SHOW);
  ::SetFocus(ok);
  MSG message;
  while (box.open && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (::IsDialogMessageW(box.window, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  if (owner) {
    ::EnableWindow(owner, TRUE);
    ::SetActiveWindow(owner);
  }
}

}  // namespace enlazor::win32
