#include "app/win32/message_box.h"

#include <algorithm>
#include <climits>

#include "app/box_layout.h"
#include "app/look.h"
#include "app/win32/dpi.h"

namespace enlazor::win32 {
namespace {

constexpr wchar_t kClass[] = L"EnlazorCuadro";
constexpr int kFirstButton = 100, kDetailsButton = 90;
// Sizes at 96 dpi.
constexpr int kMargin = 12, kGap = 8, kButtonWidth = 89, kButtonHeight = 25, kMaxListLines = 20;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

struct Box {
  const BoxContents& contents;
  HWND owner = nullptr, window = nullptr, text = nullptr, summary = nullptr, list = nullptr, detailsButton = nullptr;
  std::vector<HWND> buttons = {};
  HFONT font = nullptr;
  UINT dpi = 96;
  SIZE smallest{};  // the client size without the details: never smaller
  std::wstring shownText = {}, shownSummary = {},
               shownDetails = {};  // the contents' texts as wrapped for the box's font and screen
  BoxResult result = {};
  bool open = true;
  int S(int pixels) const { return Scaled(pixels, dpi); }
  // Its own style, not IsWindowVisible: that is false for every child until the box itself shows.
  bool ListShown() const { return list && (::GetWindowLongW(list, GWL_STYLE) & WS_VISIBLE); }
};

RECT WorkArea(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
  return info.rcWork;
}

int FontHeight(HFONT font) {
  const HDC dc = ::GetDC(nullptr);
  const HGDIOBJ old = ::SelectObject(dc, font);
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  return metrics.tmHeight;
}

look::Rect R(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }

look::Measure MeasureIn(HFONT font) {
  return [font](std::string_view text) { return static_cast<int>(TextSize(font, Wide(std::string(text)), 0).cx); };
}

// The lines of the details as wrapped, or the choices.
std::vector<std::wstring> ListLines(const Box& box) {
  if (!box.contents.choices.empty()) return box.contents.choices;
  std::vector<std::wstring> lines;
  size_t at = 0;
  for (size_t end; (end = box.shownDetails.find(L'\n', at)) != std::wstring::npos; at = end + 1) {
    lines.push_back(box.shownDetails.substr(at, end - at));
  }
  if (at < box.shownDetails.size()) lines.push_back(box.shownDetails.substr(at));
  return lines;
}

// The list's chrome: its frame, margins and scroll bar.
int ListChrome(const Box& box) { return box.S(32); }

// As wide as the longest line and up to twenty lines high, within the screen.
SIZE ListSize(const Box& box, const std::vector<std::wstring>& lines) {
  LONG widest = 0;
  for (const auto& line : lines) widest = std::max(widest, TextSize(box.font, line, 0).cx);
  const look::ListSize size =
      look::DetailsListSize(static_cast<int>(widest), static_cast<int>(lines.size()), FontHeight(box.font) + box.S(2),
                            ListChrome(box), R(WorkArea(box.window)), box.S(2 * kMargin + 32));
  return {std::max<LONG>(size.width, box.S(160)), size.height};
}
SIZE ListSize(const Box& box) { return ListSize(box, ListLines(box)); }

// The contents' texts as the rules wrap them in the box's font: the texts at
// half the screen's width, the details at the list's, paths at their separators.
void WrapTexts(Box& box) {
  const auto measure = MeasureIn(box.font);
  const int limit = look::TextWidthLimit(R(WorkArea(box.window)));
  box.shownText = Wide(look::Wrapped(Narrow(box.contents.text), limit, measure));
  box.shownSummary = Wide(look::Wrapped(Narrow(box.contents.summary), limit, measure));
  if (box.contents.details.empty()) return;
  std::vector<std::wstring> unwrapped;
  for (const auto& line : look::WrapLines(Narrow(box.contents.details), INT_MAX, measure))
    unwrapped.push_back(Wide(line));
  const SIZE list = ListSize(box, unwrapped);
  box.shownDetails = Wide(look::Wrapped(Narrow(box.contents.details), list.cx - ListChrome(box), measure));
  std::wstring lines;  // an edit control breaks lines at CR LF
  for (const wchar_t c : box.shownDetails) lines += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
  ::SetWindowTextW(box.list, lines.c_str());
}

int ButtonWidth(const Box& box, HWND button) {
  wchar_t caption[64];
  const int length = ::GetWindowTextW(button, caption, 64);
  return std::max<int>(box.S(kButtonWidth), TextSize(box.font, std::wstring(caption, length), 0).cx + box.S(24));
}

LONG ButtonsWidth(const Box& box) {
  LONG width = box.detailsButton ? ButtonWidth(box, box.detailsButton) + box.S(kGap) : 0;
  for (const HWND button : box.buttons) width += ButtonWidth(box, button) + box.S(kGap);
  return width + (box.contents.firstOnLeft ? box.S(2 * kGap) : 0);
}

// The client size the box needs, with its list shown or not.
SIZE Needed(const Box& box, bool withList) {
  const int m = box.S(kMargin), gap = box.S(kGap);
  const SIZE list = withList ? ListSize(box) : SIZE{0, 0};
  LONG content = std::max({TextSize(box.font, box.shownText, 0).cx, TextSize(box.font, box.shownSummary, 0).cx,
                           ButtonsWidth(box), list.cx, static_cast<LONG>(box.S(160))});
  LONG height = m + TextSize(box.font, box.shownText, 0).cy;
  if (!box.contents.summary.empty()) height += gap + TextSize(box.font, box.shownSummary, 0).cy;
  if (withList) height += gap + list.cy;
  return {content + 2 * m, height + m + box.S(kButtonHeight) + m};
}

SIZE WindowSize(const Box& box, SIZE client) {
  RECT frame{0, 0, client.cx, client.cy};
  ::AdjustWindowRectExForDpi(&frame, kStyle, FALSE, kExStyle, box.dpi);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

// Sets the client size, the box centred on the main window and whole within
// its monitor's work area.
void Resize(Box& box, SIZE client) {
  const SIZE size = WindowSize(box, client);
  RECT owner{};
  if (!box.owner || !::IsWindowVisible(box.owner) || !::GetWindowRect(box.owner, &owner)) owner = WorkArea(box.window);
  const look::Rect at = look::PlaceBox(R(owner), R(WorkArea(box.window)), size.cx, size.cy);
  ::SetWindowPos(box.window, nullptr, at.left, at.top, at.width, at.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Place(HWND control, int x, int y, int w, int h) { ::MoveWindow(control, x, y, w, h, TRUE); }

// Everything where it belongs in the box's present size: texts on top, the
// list filling what is left, the buttons along the bottom.
void Layout(Box& box) {
  RECT client{};
  ::GetClientRect(box.window, &client);
  const int m = box.S(kMargin), gap = box.S(kGap), bh = box.S(kButtonHeight), width = client.right - 2 * m;
  int y = m;
  const LONG textHeight = TextSize(box.font, box.shownText, 0).cy;
  Place(box.text, m, y, width, textHeight);
  y += textHeight;
  if (box.summary) {
    const LONG summaryHeight = TextSize(box.font, box.shownSummary, 0).cy;
    Place(box.summary, m, y + gap, width, summaryHeight);
    y += gap + summaryHeight;
  }
  const int buttonsTop = client.bottom - m - bh;
  if (box.ListShown()) Place(box.list, m, y + gap, width, std::max(buttonsTop - m - y - gap, box.S(40)));
  int left = m, right = client.right - m;
  for (size_t k = box.buttons.size(); k-- > 0;) {
    const int w = ButtonWidth(box, box.buttons[k]);
    if (k == 0 && box.contents.firstOnLeft) {
      Place(box.buttons[k], left, buttonsTop, w, bh);
      left += w + gap;
    } else {
      right -= w;
      Place(box.buttons[k], right, buttonsTop, w, bh);
      right -= gap;
    }
  }
  if (box.detailsButton) Place(box.detailsButton, left, buttonsTop, ButtonWidth(box, box.detailsButton), bh);
  // Controls that moved within a box that grew are drawn anew, whole.
  ::RedrawWindow(box.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void ToggleDetails(Box& box) {
  const bool show = !box.ListShown();
  ::ShowWindow(box.list, show ? SW_SHOW : SW_HIDE);
  ::SetWindowTextW(box.detailsButton, Wide(show ? look::kHideDetails : look::kShowDetails).c_str());
  RECT client{};
  ::GetClientRect(box.window, &client);
  const SIZE needed = Needed(box, show);
  const SIZE without = Needed(box, false);
  Resize(box, {std::max(client.right, needed.cx), show ? client.bottom + needed.cy - without.cy : without.cy});
  Layout(box);
}

void SetFonts(Box& box) {
  if (box.font) ::DeleteObject(box.font);
  box.font = MessageFont(box.dpi);
  for (HWND child = ::GetWindow(box.window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(box.font), TRUE);
  }
  // A new font or screen wraps the texts anew.
  WrapTexts(box);
  ::SetWindowTextW(box.text, box.shownText.c_str());
  if (box.summary) ::SetWindowTextW(box.summary, box.shownSummary.c_str());
}

void Close(Box& box, int button) {
  if (box.list && !box.contents.choices.empty()) {
    box.result.choice = static_cast<int>(::SendMessageW(box.list, LB_GETCURSEL, 0, 0));
  }
  box.result.button = button;
  ::DestroyWindow(box.window);
}

void Command(Box& box, int id, int code) {
  const int cancel = box.contents.cancelButton >= 0 ? box.contents.cancelButton : box.contents.defaultButton;
  if (id == IDOK || (code == LBN_DBLCLK && box.list))
    Close(box, box.contents.defaultButton);
  else if (id == IDCANCEL)
    Close(box, cancel);
  else if (id == kDetailsButton)
    ToggleDetails(box);
  else if (id >= kFirstButton && id < kFirstButton + static_cast<int>(box.buttons.size()))
    Close(box, id - kFirstButton);
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* box = reinterpret_cast<Box*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!box) return ::DefWindowProcW(window, message, w, l);
  switch (message) {
    case WM_COMMAND:
      Command(*box, LOWORD(w), HIWORD(w));
      return 0;
    case WM_SIZE:
      Layout(*box);
      return 0;
    case WM_GETMINMAXINFO: {
      const SIZE smallest = WindowSize(*box, box->smallest);
      reinterpret_cast<MINMAXINFO*>(l)->ptMinTrackSize = {smallest.cx, smallest.cy};
      return 0;
    }
    case WM_DPICHANGED: {  // moved to a monitor of another scale
      box->dpi = HIWORD(w);
      SetFonts(*box);
      const RECT* suggested = reinterpret_cast<RECT*>(l);
      box->smallest = Needed(*box, !box->contents.choices.empty());
      ::SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_CLOSE:
      Command(*box, IDCANCEL, 0);
      return 0;
    case WM_DESTROY:
      box->open = false;
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

HWND Child(HWND parent, const wchar_t* kind, const std::wstring& text, DWORD style, int id, DWORD exStyle = 0) {
  return ::CreateWindowExW(exStyle, kind, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

void MakeControls(Box& box) {
  const BoxContents& contents = box.contents;
  box.text = Child(box.window, L"STATIC", contents.text, SS_LEFT | SS_NOPREFIX, -1);
  if (!contents.summary.empty())
    box.summary = Child(box.window, L"STATIC", contents.summary, SS_LEFT | SS_NOPREFIX, -1);
  if (!contents.choices.empty()) {
    box.list = Child(box.window, L"LISTBOX", L"", WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY, -1, WS_EX_CLIENTEDGE);
    for (const auto& choice : contents.choices)
      ::SendMessageW(box.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.c_str()));
    ::SendMessageW(box.list, LB_SETCURSEL, 0, 0);
  } else if (!contents.details.empty()) {
    // Its lines come wrapped to its width with the font (WrapTexts): no line
    // hides past its edge, no horizontal scroll bar.
    box.list = Child(box.window, L"EDIT", L"", WS_VSCROLL | ES_MULTILINE | ES_READONLY, -1, WS_EX_CLIENTEDGE);
    ::ShowWindow(box.list, SW_HIDE);
    box.detailsButton =
        Child(box.window, L"BUTTON", Wide(look::kShowDetails), WS_TABSTOP | BS_PUSHBUTTON, kDetailsButton);
  }
  for (size_t k = 0; k < contents.buttons.size(); ++k) {
    const DWORD kind = static_cast<int>(k) == contents.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    box.buttons.push_back(
        Child(box.window, L"BUTTON", contents.buttons[k], WS_TABSTOP | kind, kFirstButton + static_cast<int>(k)));
  }
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
  const int size =
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size, nullptr, nullptr);
  return utf8;
}

BoxResult ShowBox(HWND owner, const BoxContents& contents) {
  Register();
  Box box{contents};
  box.owner = owner;
  box.window = ::CreateWindowExW(kExStyle, kClass, contents.title.c_str(), kStyle, 0, 0, 100, 100, owner, nullptr,
                                 nullptr, nullptr);
  box.dpi = DpiOf(owner ? owner : box.window);
  MakeControls(box);
  SetFonts(box);
  box.smallest = Needed(box, !contents.choices.empty());
  ::SetWindowLongPtrW(box.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&box));
  Resize(box, box.smallest);
  Layout(box);
  if (owner) ::EnableWindow(owner, FALSE);
  ::ShowWindow(box.window, SW_SHOW);
  ::SetFocus(box.list && !contents.choices.empty() ? box.list
                                                   : box.buttons.at(static_cast<size_t>(contents.defaultButton)));
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
  ::DeleteObject(box.font);
  return box.result;
}

}  // namespace enlazor::win32
