// The Windows window, shown (under Wine, on a virtual screen): its frame,
// geometry, gradients as they reach the screen, keyboard and glyphs. The
// commands behind it are the shared flows, tested in flows_test.cpp.
#include <windows.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "app/look.h"
#include "app/win32/accessibility.h"
#include "app/win32/dpi.h"
#include "app/win32/glyphs.h"
#include "app/win32/mainform.h"
#include "app/win32/message_box.h"
#include "scripted_ui.h"
#include "support.h"

namespace {

namespace look = enlazor::look;

// As the program itself does before its first window.
const bool kDpiAware = (enlazor::win32::BecomeDpiAware(), true);
using enlazor::testing::Script;
using enlazor::testing::ScriptedUi;

// Handles what is waiting; with windows given, until none of them has anything
// left to paint (a new Wine prefix may take seconds at its first window).
void Pump(std::initializer_list<HWND> painted = {}) {
  MSG message;
  for (int round = 0; round < 500; ++round) {
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    const bool done =
        std::none_of(painted.begin(), painted.end(), [](HWND w) { return ::GetUpdateRect(w, nullptr, FALSE); });
    if (round >= 10 && done) return;
    ::Sleep(10);
  }
}

class Win32Window : public ::testing::Test {
 protected:
  Win32Window() : form(dir.path(), std::make_unique<ScriptedUi>(script)) {
    form.Show();
    Pump({form.MForm, form.Draw3D1, form.Draw3D2, form.Draw3D3});
  }
  // Where a child window sits in its parent's client area.
  static look::Rect Geometry(HWND child) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
  }
  double Scale() const { return form.Dpi() / 96.0; }
  int Scaled(int pixels) const { return look::Scaled(pixels, Scale()); }
  // A key as the message loop gets it, for the window's own keys.
  bool Key(UINT message, WPARAM key) {
    MSG m{::GetFocus() ? ::GetFocus() : form.MForm, message, key, 0, 0, {}};
    const bool handled = form.HandleKey(m);
    Pump();
    return handled;
  }

  enlazor::testing::TempDir dir;
  Script script;
  TMForm form;
};

TEST_F(Win32Window, FrameCaptionAndCentredClientArea) {
  wchar_t caption[128];
  ::GetWindowTextW(form.MForm, caption, 128);
  EXPECT_EQ(enlazor::win32::Narrow(caption), look::kCaption);
  RECT client{};
  ::GetClientRect(form.MForm, &client);
  EXPECT_NEAR(client.right, Scaled(look::kClientWidth), 1) << "dpi " << form.Dpi();
  EXPECT_NEAR(client.bottom, Scaled(look::kClientHeight), 1) << "dpi " << form.Dpi();
  const LONG style = ::GetWindowLongW(form.MForm, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  RECT area{}, window{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  ::GetWindowRect(form.MForm, &window);
  EXPECT_LE(std::abs((window.left + window.right) - (area.left + area.right)), 1);
  EXPECT_LE(std::abs((window.top + window.bottom) - (area.top + area.bottom)), 1);
}

TEST_F(Win32Window, PanelsAndButtonsSitWhereTheyShould) {
  const HWND panels[] = {form.Draw3D1, form.Draw3D2, form.Draw3D3};
  const HWND buttons[] = {form.BClose, form.BExportar, form.BImportar};
  for (int k = 0; k < 3; ++k) {
    const auto p = Geometry(panels[k]), b = Geometry(buttons[k]);
    const auto wantP = look::ScaledRect(look::kPanels[k].where, Scale()),
               wantB = look::ScaledRect(look::kButtons[k], Scale());
    EXPECT_EQ(std::tie(p.left, p.top, p.width, p.height), std::tie(wantP.left, wantP.top, wantP.width, wantP.height))
        << k;
    EXPECT_EQ(std::tie(b.left, b.top, b.width, b.height), std::tie(wantB.left, wantB.top, wantB.width, wantB.height))
        << k;
    EXPECT_EQ(::GetParent(buttons[k]), panels[k]);
  }
  wchar_t caption[64];
  ::GetWindowTextW(form.BClose, caption, 64);
  EXPECT_EQ(std::wstring(caption), L"&Salir");
  ::GetWindowTextW(form.BExportar, caption, 64);  // what a screen reader says; the button shows "Aceptar"
  EXPECT_EQ(std::wstring(caption), L"Transformar datos desde Séneca hacia Horavia");
}

// Every pixel row of every panel, as it reaches the screen, within 1 of the
// formula at the panel's height in the display's pixels.
TEST_F(Win32Window, PanelsPaintTheirGradientRowByRow) {
  const HWND panels[] = {form.Draw3D1, form.Draw3D2, form.Draw3D3};
  const int edge = Scaled(1);
  for (int k = 0; k < 3; ++k) {
    const HDC dc = ::GetDC(panels[k]);
    RECT r{};
    ::GetClientRect(panels[k], &r);
    // Draw3D1's top rows lie under the other two panels.
    const int covered =
        k == 0 ? Geometry(form.Draw3D2).top + Geometry(form.Draw3D2).height - Geometry(form.Draw3D1).top : 0;
    for (int row = std::max(edge, covered); row < r.bottom - edge; ++row) {
      const auto want =
          look::GradientRow(row, r.bottom, look::kPanels[k].start, look::kPanels[k].middle, look::kPanels[k].end);
      for (const int x : {edge + 1, static_cast<int>(r.right) - edge - 2}) {
        const COLORREF got = ::GetPixel(dc, x, row);
        EXPECT_LE(std::abs(GetRValue(got) - want.r), 1) << "panel " << k << " row " << row;
        EXPECT_LE(std::abs(GetGValue(got) - want.g), 1) << "panel " << k << " row " << row;
        EXPECT_LE(std::abs(GetBValue(got) - want.b), 1) << "panel " << k << " row " << row;
      }
    }
    // The right edges of Draw3D1 and Draw3D3 lie one column past the client area; the bottom shows.
    EXPECT_EQ(::GetPixel(dc, r.right / 2, r.bottom - 1), ::GetSysColor(COLOR_BTNSHADOW)) << k;
    ::ReleaseDC(panels[k], dc);
  }
}

// No caption is cut at any scale: each label's text, measured in its font,
// fits its rectangle, and each button's glyph and caption fit the button.
TEST_F(Win32Window, NoTextIsClipped) {
  const HWND panels[] = {form.Draw3D1, form.Draw3D2, form.Draw3D3};
  const HDC dc = ::GetDC(form.MForm);
  for (int k = 0; k < 3; ++k) {
    const auto& label = look::kLabels[k];
    const RECT room = form.LabelRect(k, panels[label.panel]);
    const std::wstring text = enlazor::win32::Wide(label.caption);
    ::SelectObject(dc, form.LabelFont(k));
    RECT needed{0, 0, room.right - room.left, 0};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
                DT_CALCRECT | DT_NOPREFIX | (label.where.width ? DT_WORDBREAK : DT_SINGLELINE));
    EXPECT_LE(needed.right, room.right - room.left) << label.caption;
    EXPECT_LE(needed.bottom, room.bottom - room.top) << label.caption;
  }
  const HWND buttons[] = {form.BClose, form.BExportar, form.BImportar};
  for (int k = 0; k < 3; ++k) {
    const HWND button = buttons[k];
    ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(button, WM_GETFONT, 0, 0)));
    const std::wstring caption = enlazor::win32::Wide(look::kButtonCaptions[k]);
    RECT needed{};
    ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &needed, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_LE(Scaled(look::kGlyphSize + look::kGlyphSpacing) + needed.right, Geometry(button).width);
    EXPECT_LE(needed.bottom, Geometry(button).height);
  }
  ::ReleaseDC(form.MForm, dc);
}

TEST_F(Win32Window, TheSystemMenuRecoversEarlierTables) {
  const HMENU menu = ::GetSystemMenu(form.MForm, FALSE);
  wchar_t text[64] = {};
  ASSERT_GT(::GetMenuStringW(menu, TMForm::kRecuperarCommand, text, 64, MF_BYCOMMAND), 0);
  EXPECT_EQ(enlazor::win32::Narrow(text), "&Recuperar tablas anteriores…");
  ::SendMessageW(form.MForm, WM_SYSCOMMAND, TMForm::kRecuperarCommand, 0);
  ASSERT_EQ(script.shown.size(), 1u);
  EXPECT_EQ(script.shown[0].rfind("mensaje: No hay copias de tablas anteriores", 0), 0u);
}

TEST_F(Win32Window, KeyboardFollowsTheTabOrderAndEnterPressesTheFocusedButton) {
  EXPECT_EQ(::GetFocus(), form.BClose);
  const HWND order[] = {form.BExportar, form.BImportar, form.BClose};
  for (const HWND next : order) {
    EXPECT_TRUE(Key(WM_KEYDOWN, VK_TAB));
    EXPECT_EQ(::GetFocus(), next);
  }
  EXPECT_TRUE(Key(WM_KEYDOWN, VK_ESCAPE));  // nothing happens
  EXPECT_TRUE(::IsWindow(form.MForm));
  ::SetFocus(form.BImportar);
  EXPECT_TRUE(Key(WM_KEYDOWN, VK_RETURN));  // the import starts: its dialog is cancelled
  EXPECT_EQ(script.offered.size(), 1u);
  EXPECT_EQ(script.shown, std::vector<std::string>{"mensaje: No existe archivo"});
  EXPECT_TRUE(Key(WM_CHAR, 's'));
  EXPECT_FALSE(::IsWindow(form.MForm));
}

// Both command buttons show "Aceptar"; a screen reader hears what each does,
// and the painted panel texts, read back through the system's accessibility
// (oleacc). Annotations add the shown caption as the description; Wine's
// oleacc does not read annotations, so that part says so where it cannot check.
TEST_F(Win32Window, ScreenReadersHearEachButtonsActionAndThePanelTexts) {
  using enlazor::win32::AccessibleName;
  EXPECT_EQ(AccessibleName(form.BExportar), L"Transformar datos desde Séneca hacia Horavia");
  EXPECT_EQ(AccessibleName(form.BImportar), L"Transformar datos desde Horavia hacia Séneca");
  EXPECT_EQ(AccessibleName(form.BClose), L"Salir");
  EXPECT_EQ(AccessibleName(form.Draw3D2), L"Transformar datos desde Séneca hacia Horavia");
  EXPECT_EQ(AccessibleName(form.Draw3D1), L"Enlazor V-1.2");
}

TEST_F(Win32Window, TheShownCaptionIsTheDescriptionWhereTheSystemReadsAnnotations) {
  const std::wstring description = enlazor::win32::AccessibleDescription(form.BExportar);
  if (description.empty()) {
    GTEST_SKIP() << "this system's accessibility does not read annotations: the description «Aceptar» is unchecked";
  }
  EXPECT_EQ(description, L"Aceptar");
}

TEST_F(Win32Window, AltSClosesTheWindowToo) {
  EXPECT_TRUE(Key(WM_SYSCHAR, 'S'));
  EXPECT_FALSE(::IsWindow(form.MForm));
}

// The message box, driven from a timer inside its own modal loop: it can be
// resized, its list of findings is as wide as its lines, and its extra button
// closes it with that answer.
HWND g_box = nullptr;
std::string g_seen;
void CALLBACK LookAtTheBox(HWND, UINT, UINT_PTR timer, DWORD) {
  g_box = ::FindWindowW(L"EnlazorCuadro", nullptr);
  if (!g_box) return;
  ::KillTimer(nullptr, timer);
  g_seen += ::GetWindowLongW(g_box, GWL_STYLE) & WS_THICKFRAME ? "redimensionable " : "fijo ";
  ::SendMessageW(::GetDlgItem(g_box, 90), BM_CLICK, 0, 0);  // "Detalles"
  const HWND list = ::FindWindowExW(g_box, nullptr, L"EDIT", nullptr);
  RECT inside{};
  ::GetClientRect(list, &inside);
  g_seen += ::IsWindowVisible(list) ? "lista " : "sin lista ";
  g_seen += std::to_string(inside.right);
  ::SendMessageW(::GetDlgItem(g_box, 100), BM_CLICK, 0, 0);  // "Deshacer"
}

TEST(Win32Box, TheMessageBoxFitsItsListCanBeResizedAndAnswers) {
  Pump();  // the quit an earlier test's window left would end the box's loop at once
  const std::wstring longLine(120, L'M');
  enlazor::win32::BoxContents contents{L"Enlazor", L"Proceso finalizado", L"1 aviso para revisar.",
                                       L"corta\n" + longLine};
  contents.buttons = {L"Deshacer", L"Aceptar"};
  contents.defaultButton = 1;
  contents.firstOnLeft = true;
  g_seen.clear();
  ::SetTimer(nullptr, 0, 50, LookAtTheBox);
  const auto result = enlazor::win32::ShowBox(nullptr, contents);
  EXPECT_EQ(result.button, 0);
  const HDC dc = ::GetDC(nullptr);
  const HFONT font = enlazor::win32::MessageFont(enlazor::win32::DpiOf(nullptr));
  ::SelectObject(dc, font);
  SIZE needed{};
  ::GetTextExtentPoint32W(dc, longLine.c_str(), static_cast<int>(longLine.size()), &needed);
  ::ReleaseDC(nullptr, dc);
  ::DeleteObject(font);
  const int screen = ::GetSystemMetrics(SM_CXSCREEN);
  ASSERT_EQ(g_seen.rfind("redimensionable lista ", 0), 0u) << g_seen;
  EXPECT_GE(std::stoi(g_seen.substr(22)), std::min<int>(needed.cx, screen - 200)) << g_seen;
}

// With its details open over the main window: centred on it, whole on the
// screen, every line of the list in view (wrapped, no horizontal scroll bar).
HWND g_owner = nullptr;
void CALLBACK LookAtTheCentredBox(HWND, UINT, UINT_PTR timer, DWORD) {
  g_box = ::FindWindowW(L"EnlazorCuadro", nullptr);
  if (!g_box) return;
  ::KillTimer(nullptr, timer);
  ::SendMessageW(::GetDlgItem(g_box, 90), BM_CLICK, 0, 0);  // "Detalles"
  RECT box{}, owner{};
  ::GetWindowRect(g_box, &box);
  ::GetWindowRect(g_owner, &owner);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(g_box, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT work = monitor.rcWork;
  const bool whole =
      box.left >= work.left && box.top >= work.top && box.right <= work.right && box.bottom <= work.bottom;
  const bool clamped =
      box.left == work.left || box.right == work.right || box.top == work.top || box.bottom == work.bottom;
  const bool centred = std::abs((box.left + box.right) - (owner.left + owner.right)) <= 2 &&
                       std::abs((box.top + box.bottom) - (owner.top + owner.bottom)) <= 2;
  const HWND list = ::FindWindowExW(g_box, nullptr, L"EDIT", nullptr);
  g_seen = std::string(whole ? "entero" : "cortado") + (centred || clamped ? " centrado" : " descentrado") +
           ((::GetWindowLongW(list, GWL_STYLE) & WS_HSCROLL) ? " con barra" : " sin barra") + " " +
           std::to_string(::SendMessageW(list, EM_GETLINECOUNT, 0, 0));
  ::SendMessageW(g_box, WM_COMMAND, IDOK, 0);
}

TEST_F(Win32Window, TheBoxIsCentredOnTheWindowAndShowsEveryLine) {
  const std::wstring path = L"C:\\HTEMP\\Enlazor-copias\\2026-12-10 01.42.36\\";
  std::wstring details = L"corta\n" + std::wstring(300, L'M') + L"\n  " + path + path + path + path;
  enlazor::win32::BoxContents contents{L"Enlazor", L"Proceso finalizado\nTablas sustituidas guardadas en: " + path,
                                       L"1 aviso para revisar.", details};
  contents.buttons = {L"Aceptar"};
  g_owner = form.MForm;
  g_seen.clear();
  ::SetTimer(nullptr, 0, 50, LookAtTheCentredBox);
  enlazor::win32::ShowBox(form.MForm, contents);
  ASSERT_EQ(g_seen.rfind("entero centrado sin barra ", 0), 0u) << g_seen;
  EXPECT_GE(std::stoi(g_seen.substr(26)), 4) << g_seen;  // the long lines wrapped
}

void CALLBACK ChooseTheSecondCopy(HWND, UINT, UINT_PTR timer, DWORD) {
  const HWND box = ::FindWindowW(L"EnlazorCuadro", nullptr);
  if (!box) return;
  ::KillTimer(nullptr, timer);
  const HWND list = ::FindWindowExW(box, nullptr, L"LISTBOX", nullptr);
  RECT inside{};
  ::GetClientRect(list, &inside);
  g_seen = std::to_string(::SendMessageW(list, LB_GETCOUNT, 0, 0)) + " líneas, " +
           (inside.bottom >= 2 * ::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0) ? "a la vista" : "sin sitio");
  ::SendMessageW(list, LB_SETCURSEL, 1, 0);
  ::SendMessageW(::GetDlgItem(box, 100), BM_CLICK, 0, 0);  // "Aceptar"
}

TEST(Win32Box, TheCopyChooserShowsItsListAndAnswersTheLineChosen) {
  Pump();
  enlazor::win32::BoxContents contents{L"Enlazor", L"Elija la copia:"};
  contents.choices = {L"1.  una", L"2.  otra"};
  contents.buttons = {L"Aceptar", L"Cancelar"};
  contents.cancelButton = 1;
  ::SetTimer(nullptr, 0, 50, ChooseTheSecondCopy);
  const auto result = enlazor::win32::ShowBox(nullptr, contents);
  EXPECT_EQ(g_seen, "2 líneas, a la vista");
  EXPECT_EQ(result.button, 0);
  EXPECT_EQ(result.choice, 1);
}

TEST(Win32Glyphs, HaveAGreyedDisabledForm) {
  for (const auto glyph : {enlazor::win32::Glyph::Door, enlazor::win32::Glyph::Check}) {
    const HDC screen = ::GetDC(nullptr);
    const HDC dc = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 40, 20);
    ::SelectObject(dc, bitmap);
    const RECT all{0, 0, 40, 20};
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    enlazor::win32::DrawGlyph(dc, 0, 1, glyph, true);
    enlazor::win32::DrawGlyph(dc, 20, 1, glyph, false);
    int coloured = 0, differing = 0;
    for (int y = 0; y < 20; ++y) {
      for (int x = 0; x < 18; ++x) {
        const COLORREF normal = ::GetPixel(dc, x, y), greyed = ::GetPixel(dc, x + 20, y);
        differing += normal != greyed;
        coloured += GetRValue(normal) != GetGValue(normal) || GetGValue(normal) != GetBValue(normal);
        ASSERT_LE(std::abs(GetRValue(greyed) - GetGValue(greyed)) + std::abs(GetGValue(greyed) - GetBValue(greyed)), 2);
      }
    }
    EXPECT_GT(coloured, 10);
    EXPECT_GT(differing, 10);
    ::DeleteDC(dc);
    ::DeleteObject(bitmap);
    ::ReleaseDC(nullptr, screen);
  }
}

}  // namespace
