#include "app/win32/glyphs.h"

#include <cmath>

namespace enlazor::win32 {
namespace {

// The glyph's own 18 x 18 grid, placed and scaled.
struct Grid {
  int left, top;
  double scale;
  int X(double x) const { return left + static_cast<int>(std::lround(x * scale)); }
  int Y(double y) const { return top + static_cast<int>(std::lround(y * scale)); }
  POINT At(double x, double y) const { return {X(x), Y(y)}; }
};

void Fill(HDC dc, const Grid& g, double x, double y, double w, double h, COLORREF colour) {
  const RECT r{g.X(x), g.Y(y), g.X(x + w), g.Y(y + h)};
  const HBRUSH brush = ::CreateSolidBrush(colour);
  ::FillRect(dc, &r, brush);
  ::DeleteObject(brush);
}

void DrawDoor(HDC dc, const Grid& g, bool enabled) {
  const COLORREF frame = enabled ? RGB(96, 56, 24) : RGB(128, 128, 128);
  const COLORREF leaf = enabled ? RGB(176, 112, 48) : RGB(192, 192, 192);
  Fill(dc, g, 3, 1, 11, 16, frame);
  Fill(dc, g, 4, 2, 9, 15, RGB(32, 32, 32));  // the dark opening
  const POINT door[] = {g.At(4, 2), g.At(11, 4), g.At(11, 17), g.At(4, 16)};
  const HBRUSH brush = ::CreateSolidBrush(leaf);
  const HGDIOBJ oldBrush = ::SelectObject(dc, brush);
  const HGDIOBJ oldPen = ::SelectObject(dc, ::GetStockObject(NULL_PEN));
  ::Polygon(dc, door, 4);  // the leaf, half open
  ::SelectObject(dc, oldPen);
  ::SelectObject(dc, oldBrush);
  ::DeleteObject(brush);
  Fill(dc, g, 9, 10, 2, 2, enabled ? RGB(240, 208, 64) : RGB(224, 224, 224));  // handle
  Fill(dc, g, 1, 17, 16, 1, frame);                                            // threshold
}

void DrawCheck(HDC dc, const Grid& g, bool enabled) {
  LOGBRUSH colour{BS_SOLID, enabled ? RGB(0, 150, 0) : RGB(150, 150, 150), 0};
  const DWORD width = static_cast<DWORD>(std::lround(3 * g.scale));
  const HPEN pen =
      ::ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND, width, &colour, 0, nullptr);
  const HGDIOBJ old = ::SelectObject(dc, pen);
  const POINT mark[] = {g.At(3, 9), g.At(7, 14), g.At(15, 4)};
  ::Polyline(dc, mark, 3);
  ::SelectObject(dc, old);
  ::DeleteObject(pen);
}

}  // namespace

void DrawGlyph(HDC dc, int left, int top, Glyph glyph, bool enabled, double scale) {
  const Grid grid{left, top, scale};
  if (glyph == Glyph::Door)
    DrawDoor(dc, grid, enabled);
  else
    DrawCheck(dc, grid, enabled);
}

}  // namespace enlazor::win32
