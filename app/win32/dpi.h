// The window and its boxes at any display scale: the process says it is aware
// of each monitor's DPI (so Windows does not stretch a blurry bitmap), and
// every length and font is scaled from its size at 96 dpi.
#pragma once

#include <windows.h>

#include <string>

#include "app/look.h"

namespace enlazor::win32 {

// Called before the first window: the manifest says so too, for Windows itself.
void BecomeDpiAware();
// The DPI of the monitor a window is on; the system's before it has one.
UINT DpiOf(HWND window);
inline double ScaleOf(UINT dpi) { return dpi / 96.0; }
inline int Scaled(int pixels, UINT dpi) { return look::Scaled(pixels, ScaleOf(dpi)); }
// A font by face, of a pixel height at 96 dpi, at the given DPI.
HFONT MakeFont(const wchar_t* face, int pixels, bool bold, UINT dpi);
// The system's message font at the given DPI.
HFONT MessageFont(UINT dpi);
// The size a text takes in a font, wrapped at maxWidth (0: its lines as they are).
SIZE TextSize(HFONT font, const std::wstring& text, int maxWidth);

}  // namespace enlazor::win32
