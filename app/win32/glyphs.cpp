#include "app/win32/glyphs.h"

namespace enlazor::win32 {
namespace {

void Fill(HDC dc, int x, int y, int w, int h, COLORREF colour) {
  const RECT r{x, y, x + w, y + h};
  const HBRUSH brush = ::CreateSolidBrush(colour);
  ::FillRect(dc, &r, brush);
  ::DeleteObject(brush);
}

void DrawDoor(HDC dc, int x, int y, bool enabled) {
  const COLORREF frame = enabled ? RGB(96, 56, 24) : RGB(128, 128, 128);
  const COLORREF leaf = enabled ? RGB(176, 112, 48) : RGB(192, 192, 192);
  Fill(dc, x + 3, y + 1, 11, 16, frame);
  Fill(dc, x + 4, y + 2, 9, 15, RGB(32, 32, 32));  // the dark opening
  const POINT door[] = {{x + 4, y + 2}, {x + 11, y + 4}, {x + 11, y + 17}, {x + 4, y + 16}};
  const HBRUSH brush = ::CreateSolidBrush(leaf);
  const HGDIOBJ oldBrush = ::SelectObject(dc, brush);
  const HGDIOBJ oldPen = ::SelectObject(dc, ::GetStockObject(NULL_PEN));
  ::Polygon(dc, door, 4);  // the leaf, half open
  ::SelectObject(dc, oldPen);
  ::SelectObject(dc, oldBrush);
  ::DeleteObject(brush);
  Fill(dc, x + 9, y + 10, 2, 2, enabled ? RGB(240, 208, 64) : RGB(224, 224, 224));  // handle
  Fill(dc, x + 1, y + 17, 16, 1, frame);                                            // threshold
}

void DrawCheck(HDC dc, int x, int y, bool enabled) {
  LOGBRUSH colour{BS_SOLID, enabled ? RGB(0, 150, 0) : RGB(150, 150, 150), 0};
  const HPEN pen = ::ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND, 3, &colour, 0, nullptr);
  const HGDIOBJ old = ::SelectObject(dc, pen);
  const POINT mark[] = {{x + 3, y + 9}, {x + 7, y + 14}, {x + 15, y + 4}};
  ::Polyline(dc, mark, 3);
  ::SelectObject(dc, old);
  ::DeleteObject(pen);
}

}  // namespace

void DrawGlyph(HDC dc, int left, int top, Glyph glyph, bool enabled) {
  if (glyph == Glyph::Door) DrawDoor(dc, left, top, enabled);
  else DrawCheck(dc, left, top, enabled);
}

}  // namespace enlazor::win32
