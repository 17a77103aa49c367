#include "app/win32/dpi.h"

namespace enlazor::win32 {

void BecomeDpiAware() {
  if (!::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) ::SetProcessDPIAware();
}

UINT DpiOf(HWND window) {
  const UINT dpi = window ? ::GetDpiForWindow(window) : ::GetDpiForSystem();
  return dpi ? dpi : 96;
}

HFONT MakeFont(const wchar_t* face, int pixels, bool bold, UINT dpi) {
  return ::CreateFontW(-Scaled(pixels, dpi), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
}

HFONT MessageFont(UINT dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) ||
      metrics.lfMessageFont.lfHeight == 0) {
    return MakeFont(L"MS Shell Dlg 2", 12, false, dpi);
  }
  // The metrics are the system's: scaled from its DPI to the window's.
  metrics.lfMessageFont.lfHeight =
      ::MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(::GetDpiForSystem()));
  return ::CreateFontIndirectW(&metrics.lfMessageFont);
}

SIZE TextSize(HFONT font, const std::wstring& text, int maxWidth) {
  const HDC dc = ::GetDC(nullptr);
  const HGDIOBJ old = ::SelectObject(dc, font);
  RECT r{0, 0, maxWidth, 0};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_NOPREFIX | (maxWidth > 0 ? DT_WORDBREAK : 0));
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  return {r.right, r.bottom};
}

}  // namespace enlazor::win32
