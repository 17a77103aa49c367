// The 18 x 18 glyphs of the window's buttons, drawn with GDI at any scale: a
// door for "Salir", a green check mark for "Aceptar", each with a greyed form.
#pragma once

#include <windows.h>

namespace enlazor::win32 {

enum class Glyph { Door, Check };
// Draws the glyph with its top left corner at (left, top), scale times its size at 96 dpi.
void DrawGlyph(HDC dc, int left, int top, Glyph glyph, bool enabled, double scale = 1.0);

}  // namespace enlazor::win32
