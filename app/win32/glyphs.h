// The 18 x 18 glyphs of the window's buttons, drawn with GDI: a door for
// "Salir", a green check mark for "Aceptar", each with a greyed form.
#pragma once

#include <windows.h>

namespace enlazor::win32 {

enum class Glyph { Door, Check };
void DrawGlyph(HDC dc, int left, int top, Glyph glyph, bool enabled);

}  // namespace enlazor::win32
