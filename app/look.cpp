#include "app/look.h"

#include <cmath>

namespace enlazor::look {
namespace {

// Row i of n blending from a (first row) to b (last row).
int Blend(int a, int b, int i, int n) {
  if (n <= 1) return a;
  if (n > 256) return static_cast<int>(std::lround(a + (b - a) * (i * 256 / n) / 255.0));
  return static_cast<int>(std::lround(a + (b - a) * static_cast<double>(i) / (n - 1)));
}

Rgb BlendColour(Rgb a, Rgb b, int i, int n) {
  return {Blend(a.r, b.r, i, n), Blend(a.g, b.g, i, n), Blend(a.b, b.b, i, n)};
}

}  // namespace

Rgb GradientRow(int row, int height, Rgb start, Rgb middle, Rgb end) {
  const int split = height / 2;
  if (row < split) return BlendColour(end, middle, row, split);
  return BlendColour(middle, start, row - split, height - split);
}

}  // namespace enlazor::look
