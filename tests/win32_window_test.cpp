// The Windows window, shown (under Wine, on a virtual screen): its frame,
// geometry, gradients as they reach the screen, keyboard and glyphs. The
// commands behind it are the shared flows, tested in flows_test.cpp.
#include <windows.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "app/look.h"
#include "app/win32/glyphs.h"
#include "app/win32/mainform.h"
#include "app/win32/message_box.h"
#include "scripted_ui.h"
#include "support.h"

namespace {

namespace look = enlazor::look;
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
    const bool done = std::none_of(painted.begin(), painted.end(), [](HWND w) { return ::GetUpdateRect(w, nullptr, FALSE); });
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
  EXPECT_EQ(client.right, look::kClientWidth);
  EXPECT_EQ(client.bottom, look::kClientHeight);
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
    const auto& wantP = look::kPanels[k].where;
    const auto& wantB = look::kButtons[k];
    EXPECT_EQ(std::tie(p.left, p.top, p.width, p.height), std::tie(wantP.left, wantP.top, wantP.width, wantP.height)) << k;
    EXPECT_EQ(std::tie(b.left, b.top, b.width, b.height), std::tie(wantB.left, wantB.top, wantB.width, wantB.height)) << k;
    EXPECT_EQ(::GetParent(buttons[k]), panels[k]);
  }
  wchar_t caption[16];
  ::GetWindowTextW(form.BClose, caption, 16);
  EXPECT_EQ(std::wstring(caption), L"&Salir");
  ::GetWindowTextW(form.BExportar, caption, 16);
  EXPECT_EQ(std::wstring(caption), L"Aceptar");
}

// Every pixel row of every panel, as it reaches the screen, within 1 of the formula.
TEST_F(Win32Window, PanelsPaintTheirGradientRowByRow) {
  const HWND panels[] = {form.Draw3D1, form.Draw3D2, form.Draw3D3};
  for (int k = 0; k < 3; ++k) {
    const HDC dc = ::GetDC(panels[k]);
    RECT r{};
    ::GetClientRect(panels[k], &r);
    const int covered = k == 0 ? 1 : 0;  // Draw3D1's top row lies under the other two
    for (int row = 1 + covered; row < r.bottom - 1; ++row) {
      const auto want = look::GradientRow(row, r.bottom, look::kPanels[k].start, look::kPanels[k].middle, look::kPanels[k].end);
      for (const int x : {2, static_cast<int>(r.right) - 3}) {
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

TEST_F(Win32Window, AltSClosesTheWindowToo) {
  EXPECT_TRUE(Key(WM_SYSCHAR, 'S'));
  EXPECT_FALSE(::IsWindow(form.MForm));
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
