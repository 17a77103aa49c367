#include "app/win32/mainform.h"

#include <algorithm>
#include <array>

#include "app/look.h"
#include "app/win32/dpi.h"
#include "app/win32/glyphs.h"
#include "app/win32/message_box.h"
#include "app/win32/win32_ui_services.h"

namespace {

using enlazor::win32::Glyph;
using enlazor::win32::Scaled;
using enlazor::win32::Wide;
namespace look = enlazor::look;

constexpr wchar_t kFormClass[] = L"TMForm";
constexpr wchar_t kPanelClass[] = L"TDraw3D";
enum ButtonId { kClose = 1, kExport = 2, kImport = 3 };
// A fixed dialog frame with the system menu and the close button, no minimise or maximise.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

void RegisterClasses(WNDPROC form, WNDPROC panel) {
  static const bool done = [&] {
    WNDCLASSW kind{};
    kind.hInstance = ::GetModuleHandleW(nullptr);
    kind.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    kind.hIcon = ::LoadIconW(kind.hInstance, MAKEINTRESOURCEW(1));
    kind.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    kind.lpfnWndProc = form;
    kind.lpszClassName = kFormClass;
    ::RegisterClassW(&kind);
    kind.hIcon = nullptr;
    kind.hbrBackground = nullptr;
    kind.lpfnWndProc = panel;
    kind.lpszClassName = kPanelClass;
    return ::RegisterClassW(&kind) != 0;
  }();
  (void)done;
}

void Fill(HDC dc, int x, int y, int w, int h, COLORREF colour) {
  const RECT r{x, y, x + w, y + h};
  const HBRUSH brush = ::CreateSolidBrush(colour);
  ::FillRect(dc, &r, brush);
  ::DeleteObject(brush);
}

void Move(HWND window, look::Rect r) {
  ::SetWindowPos(window, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

TMForm::TMForm(std::filesystem::path workDir, std::unique_ptr<enlazor::UiServices> ui)
    : ui_(ui ? std::move(ui) : std::make_unique<Win32UiServices>(&MForm)), flows_(std::move(workDir), *ui_) {
  RegisterClasses(FormProcedure, PanelProcedure);
  MForm = ::CreateWindowExW(kExStyle, kFormClass, Wide(look::kCaption).c_str(), kStyle, CW_USEDEFAULT, 0, 100, 100,
                            nullptr, nullptr, nullptr, this);
  CreatePanels();
  CreateButtons();
  AddToSystemMenu();
  NameForAssistiveTechnology();
  ApplyDpi(enlazor::win32::DpiOf(MForm));
}

// What assistive technology reads of button k (and of the panel it sits in):
// BClose its caption, each command button the action its panel's text says.
std::wstring TMForm::AccessibleText(int k) {
  if (k == 0) return Wide(look::kButtonCaptions[0]);
  std::wstring caption = Wide(look::kLabels[k].caption);
  while (!caption.empty() && caption.back() == L' ') caption.pop_back();
  return caption;
}

// Windows names a button by its window text, which the owner-drawn buttons
// do not show; the annotation API adds what it knows more: the caption shown
// as the description, and the painted panel texts as static texts.
void TMForm::NameForAssistiveTechnology() {
  const std::wstring aceptar = Wide(look::kButtonCaptions[1]);
  annotations_.Name(BExportar, AccessibleText(1), aceptar);
  annotations_.Name(BImportar, AccessibleText(2), aceptar);
  const HWND panels[] = {Draw3D1, Draw3D2, Draw3D3};
  for (int k = 0; k < 3; ++k) {
    const std::wstring text = k == 0 ? Wide(look::kLabels[0].caption) : AccessibleText(k);
    ::SetWindowTextW(panels[look::kLabels[k].panel], text.c_str());
    annotations_.Name(panels[look::kLabels[k].panel], text, {}, true);
  }
}

TMForm::~TMForm() {
  if (::IsWindow(MForm)) ::DestroyWindow(MForm);
  for (HFONT font : {sansSerif8_, sansSerif8Bold_, arial12Bold_}) ::DeleteObject(font);
}

void TMForm::CreatePanels() {
  std::array<HWND*, 3> panels{&Draw3D1, &Draw3D2, &Draw3D3};
  for (int k = 0; k < 3; ++k) {
    *panels[k] = ::CreateWindowExW(WS_EX_CONTROLPARENT, kPanelClass, L"",
                                   WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 10, 10, MForm,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(10 + k)), nullptr, this);
  }
  // Draw3D1 lies lowest: the two upper panels cover its top row.
  ::SetWindowPos(Draw3D1, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TMForm::CreateButtons() {
  const std::array<HWND*, 3> buttons{&BClose, &BExportar, &BImportar};
  const std::array<HWND, 3> parents{Draw3D1, Draw3D2, Draw3D3};
  for (int k = 0; k < 3; ++k) {
    *buttons[k] = ::CreateWindowExW(0, L"BUTTON", AccessibleText(k).c_str(),
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0, 0, 10, 10, parents[k],
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kClose + k)), nullptr, nullptr);
  }
  focused_ = BClose;
}

void TMForm::AddToSystemMenu() {
  const HMENU menu = ::GetSystemMenu(MForm, FALSE);
  ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(menu, MF_STRING, kRecuperarCommand, Wide(enlazor::kRecuperarCaption).c_str());
}

void TMForm::ApplyDpi(UINT dpi) {
  dpi_ = dpi;
  for (HFONT font : {sansSerif8_, sansSerif8Bold_, arial12Bold_}) ::DeleteObject(font);
  const std::wstring small = Wide(look::kSmallFontFaces[0]), big = Wide(look::kBigFontFaces[0]);
  sansSerif8_ = enlazor::win32::MakeFont(small.c_str(), look::kSmallFontPixels, false, dpi);
  sansSerif8Bold_ = enlazor::win32::MakeFont(small.c_str(), look::kSmallFontPixels, true, dpi);
  arial12Bold_ = enlazor::win32::MakeFont(big.c_str(), look::kBigFontPixels, true, dpi);
  const double scale = enlazor::win32::ScaleOf(dpi);
  RECT frame{0, 0, Scaled(look::kClientWidth, dpi), Scaled(look::kClientHeight, dpi)};
  ::AdjustWindowRectExForDpi(&frame, kStyle, FALSE, kExStyle, dpi);
  ::SetWindowPos(MForm, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const std::array<HWND, 3> panels{Draw3D1, Draw3D2, Draw3D3}, buttons{BClose, BExportar, BImportar};
  for (int k = 0; k < 3; ++k) {
    Move(panels[k], look::ScaledRect(look::kPanels[k].where, scale));
    Move(buttons[k], look::ScaledRect(look::kButtons[k], scale));
    ::SendMessageW(buttons[k], WM_SETFONT, reinterpret_cast<WPARAM>(sansSerif8_), FALSE);
  }
  ::InvalidateRect(MForm, nullptr, TRUE);
}

RECT TMForm::LabelRect(int label, HWND panel) const {
  const look::Rect r = look::ScaledRect(look::kLabels[label].where, enlazor::win32::ScaleOf(dpi_));
  RECT client{};
  ::GetClientRect(panel, &client);
  // A label sized to its text has the panel's room to the right and below.
  return {r.left, r.top, r.width ? r.left + r.width : client.right, r.height ? r.top + r.height : client.bottom};
}

HFONT TMForm::LabelFont(int label) const { return look::kLabels[label].big ? arial12Bold_ : sansSerif8Bold_; }

void TMForm::Show() {
  RECT area{}, window{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  ::GetWindowRect(MForm, &window);
  const int w = window.right - window.left, h = window.bottom - window.top;
  ::SetWindowPos(MForm, nullptr, (area.left + area.right - w) / 2, (area.top + area.bottom - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
  ::ShowWindow(MForm, SW_SHOW);
  ::UpdateWindow(MForm);
  ::SetFocus(BClose);
}

int TMForm::Run() {
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (HandleKey(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

bool TMForm::HandleKey(const MSG& message) {
  if (!::IsWindow(MForm) || (message.hwnd != MForm && !::IsChild(MForm, message.hwnd))) return false;
  const std::array<HWND, 3> order{BClose, BExportar, BImportar};
  const HWND focus = ::GetFocus();
  const auto at = std::find(order.begin(), order.end(), focus);
  const WPARAM key = message.wParam;
  if (message.message == WM_KEYDOWN && key == VK_TAB) {
    const size_t now = at == order.end() ? 0 : static_cast<size_t>(at - order.begin());
    const bool back = ::GetKeyState(VK_SHIFT) < 0;
    ::SetFocus(order[(now + (back ? 2 : 1)) % 3]);
    return true;
  }
  if (message.message == WM_KEYDOWN && key == VK_RETURN && at != order.end()) {
    ::SendMessageW(*at, BM_CLICK, 0, 0);
    return true;
  }
  if (message.message == WM_KEYDOWN && key == VK_ESCAPE) return true;
  if ((message.message == WM_CHAR || message.message == WM_SYSCHAR) && (key == 's' || key == 'S')) {
    ::SendMessageW(BClose, BM_CLICK, 0, 0);
    return true;
  }
  return false;
}

void TMForm::Command(int id) {
  switch (id) {
    case kClose:
      ::DestroyWindow(MForm);
      break;
    case kExport:
      BExportarClick();
      break;
    case kImport:
      BImportarClick();
      break;
    default:
      break;
  }
}

// The gradient row by row in the display's own pixels, on the formula at the
// panel's height there, and the bevel as wide as one pixel at 96 dpi becomes.
void TMForm::PaintPanel(HWND panel, int index) {
  PAINTSTRUCT paint;
  const HDC screen = ::BeginPaint(panel, &paint);
  RECT client{};
  ::GetClientRect(panel, &client);
  const int w = client.right, h = client.bottom, edge = Scaled(1, dpi_);
  // Drawn off-screen and copied in one step: no flicker.
  const HDC dc = ::CreateCompatibleDC(screen);
  const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, w, h);
  const HGDIOBJ oldBitmap = ::SelectObject(dc, bitmap);
  const auto& colours = look::kPanels[index];
  for (int row = 0; row < h; ++row) {
    const auto c = look::GradientRow(row, h, colours.start, colours.middle, colours.end);
    Fill(dc, 0, row, w, 1, RGB(c.r, c.g, c.b));
  }
  const COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT), shadow = ::GetSysColor(COLOR_BTNSHADOW);
  Fill(dc, 0, 0, w - edge, edge, light);
  Fill(dc, 0, 0, edge, h - edge, light);
  Fill(dc, w - edge, 0, edge, h, shadow);
  Fill(dc, 0, h - edge, w, edge, shadow);
  ::SetBkMode(dc, TRANSPARENT);
  for (int k = 0; k < 3; ++k) {
    const look::Label& label = look::kLabels[k];
    if (label.panel != index) continue;
    const std::wstring text = Wide(label.caption);
    ::SelectObject(dc, LabelFont(k));
    const auto red = look::kVersionColour;
    ::SetTextColor(dc, label.big ? ::GetSysColor(COLOR_WINDOWTEXT) : RGB(red.r, red.g, red.b));
    RECT r = LabelRect(k, panel);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                DT_LEFT | DT_TOP | DT_NOPREFIX | (label.where.width ? DT_WORDBREAK : DT_SINGLELINE));
  }
  ::BitBlt(screen, 0, 0, w, h, dc, 0, 0, SRCCOPY);
  ::SelectObject(dc, oldBitmap);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  ::EndPaint(panel, &paint);
}

// A push button with its glyph left of its caption, the two centred together.
void TMForm::DrawButton(const DRAWITEMSTRUCT& item) {
  const HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool down = item.itemState & ODS_SELECTED, enabled = !(item.itemState & ODS_DISABLED);
  ::DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (down ? DFCS_PUSHED : 0));
  // The caption drawn is the button's own; its window text is what assistive technology reads.
  const std::wstring shown = Wide(look::kButtonCaptions[item.CtlID - kClose]);
  const wchar_t* caption = shown.c_str();
  const int length = static_cast<int>(shown.size());
  const HGDIOBJ oldFont = ::SelectObject(dc, sansSerif8_);
  RECT measured{0, 0, 0, 0};
  ::DrawTextW(dc, caption, length, &measured, DT_CALCRECT | DT_SINGLELINE);
  const int glyph = Scaled(look::kGlyphSize, dpi_), spacing = Scaled(look::kGlyphSpacing, dpi_);
  const int total = glyph + spacing + measured.right;
  const int shift = down ? Scaled(1, dpi_) : 0;
  const int left = (r.right - r.left - total) / 2 + shift, top = (r.bottom - r.top - glyph) / 2 + shift;
  enlazor::win32::DrawGlyph(dc, left, top, item.CtlID == kClose ? Glyph::Door : Glyph::Check, enabled,
                            enlazor::win32::ScaleOf(dpi_));
  RECT text{left + glyph + spacing, shift, r.right, r.bottom + shift};
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  ::DrawTextW(dc, caption, length, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  ::SelectObject(dc, oldFont);
  if (item.itemState & ODS_FOCUS) {
    const int inset = Scaled(4, dpi_);
    RECT focus{r.left + inset, r.top + inset, r.right - inset, r.bottom - inset};
    ::DrawFocusRect(dc, &focus);
  }
}

// The form a window of it belongs to, kept with the window from its creation.
TMForm* TMForm::Of(HWND window, UINT message, LPARAM l) {
  if (message == WM_NCCREATE) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
  }
  return reinterpret_cast<TMForm*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK TMForm::FormProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  TMForm* form = Of(window, message, l);
  switch (message) {
    case WM_COMMAND:
      if (form && HIWORD(w) == BN_CLICKED) form->Command(LOWORD(w));
      return 0;
    case WM_SYSCOMMAND:
      if (form && (w & 0xFFF0) == kRecuperarCommand) {
        form->RecuperarClick();
        return 0;
      }
      return ::DefWindowProcW(window, message, w, l);
    case WM_DPICHANGED: {  // moved to a monitor of another scale: the suggested place, redrawn at its DPI
      if (!form) return 0;
      const RECT* suggested = reinterpret_cast<RECT*>(l);
      form->ApplyDpi(HIWORD(w));
      ::SetWindowPos(window, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_ACTIVATE:  // the focus goes back where it was, at first to BClose
      if (form && LOWORD(w) != WA_INACTIVE && form->focused_)
        ::SetFocus(form->focused_);
      else if (form && LOWORD(w) == WA_INACTIVE && ::GetFocus())
        form->focused_ = ::GetFocus();
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, w, l);
  }
}

LRESULT CALLBACK TMForm::PanelProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  TMForm* form = Of(window, message, l);
  switch (message) {
    case WM_PAINT:
      if (form) form->PaintPanel(window, static_cast<int>(::GetDlgCtrlID(window)) - 10);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_DRAWITEM:
      if (form) form->DrawButton(*reinterpret_cast<DRAWITEMSTRUCT*>(l));
      return TRUE;
    case WM_COMMAND:
      return ::SendMessageW(::GetParent(window), message, w, l);
    default:
      return ::DefWindowProcW(window, message, w, l);
  }
}
