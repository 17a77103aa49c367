// How the window looks, whatever toolkit draws it: the gradient of its
// panels, their colours and where everything sits (pixels at 96 dpi).
#pragma once

namespace enlazor::look {

struct Rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// The colour of one pixel row of a gradient panel of the given height: the
// upper half blends from end (top row) to middle, the lower half from middle
// to start (last row), each channel rounded to the nearest integer. A half
// taller than 256 rows is drawn as 256 bands of nearly equal height.
Rgb GradientRow(int row, int height, Rgb start, Rgb middle, Rgb end);

// A length at 96 dpi in the pixels of a display at the given scale (dpi / 96).
inline int Scaled(int pixels, double scale) { return static_cast<int>(pixels * scale + 0.5); }

struct Rect {
  int left, top, width, height;
};

struct Panel {
  Rect where;
  Rgb start, middle, end;
};
// Draw3D1 (bottom strip), Draw3D2 (left) and Draw3D3 (right).
inline constexpr Panel kPanels[3] = {
    {{0, 168, 633, 97}, {194, 205, 254}, {207, 242, 254}, {204, 216, 230}},
    {{1, 0, 315, 169}, {249, 211, 125}, {255, 255, 255}, {255, 238, 221}},
    {{316, 0, 317, 169}, {249, 211, 125}, {255, 255, 255}, {255, 238, 221}},
};
inline constexpr int kClientWidth = 632, kClientHeight = 266;
// Buttons, each in its panel: BClose in Draw3D1, BExportar in Draw3D2, BImportar in Draw3D3.
inline constexpr Rect kButtons[3] = {{256, 32, 89, 25}, {96, 120, 89, 25}, {96, 120, 89, 25}};
inline constexpr int kGlyphSize = 18, kGlyphSpacing = 4;
inline constexpr const char* kCaption = "Exportar e importar datos entre Horavia y Séneca";

}  // namespace enlazor::look
