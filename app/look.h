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
inline constexpr const char* kButtonCaptions[3] = {"&Salir", "Aceptar", "Aceptar"};
inline constexpr int kGlyphSize = 18, kGlyphSpacing = 4;
inline constexpr const char* kCaption = "Exportar e importar datos entre Horavia y Séneca";

// The fonts: "MS Sans Serif" 8 point for the window and its buttons, and
// Arial 12 point bold for the two big labels, as pixel heights at 96 dpi.
inline constexpr int kSmallFontPixels = 11, kBigFontPixels = 16;
inline constexpr const char* kSmallFontFaces[] = {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans",
                                                  "DejaVu Sans"};
inline constexpr const char* kBigFontFaces[] = {"Arial", "Liberation Sans", "DejaVu Sans"};

// Labels, each in its panel: Label1 (the version, small bold red, sized to
// its text on one line: width 0) in Draw3D1, Label3 and Label4 (big, words
// wrap) in Draw3D2 and Draw3D3.
struct Label {
  int panel;
  Rect where;
  const char* caption;
  bool big;
};
inline constexpr Label kLabels[3] = {
    {0, {8, 72, 0, 0}, "Enlazor V-1.2", false},
    {1, {24, 24, 265, 57}, "Transformar datos desde Séneca hacia Horavia ", true},
    {2, {8, 24, 305, 57}, "Transformar datos desde Horavia hacia Séneca", true},
};
inline constexpr Rgb kVersionColour{255, 0, 0};

// OpenDialogXML: its title, its one filter (a description and a pattern) and
// the extension a typed name without one gets.
inline constexpr const char* kDialogTitle = "Archivo XML";
inline constexpr const char* kDialogFilterName = "*.xml";
inline constexpr const char* kDialogFilterPattern = "*.xml";
inline constexpr const char* kDialogExtension = "xml";

// The boxes' buttons, and the prompt of the list of kept copies.
inline constexpr const char* kOk = "Aceptar";
inline constexpr const char* kCancel = "Cancelar";
inline constexpr const char* kShowDetails = "&Detalles";
inline constexpr const char* kHideDetails = "&Ocultar";
inline constexpr const char* kChooseCopy = "Elija la copia de las tablas de trabajo que quiere volver a poner:";

// A length at 96 dpi in the pixels of a display at the given scale (dpi / 96).
inline int Scaled(int pixels, double scale) { return static_cast<int>(pixels * scale + 0.5); }
// A rectangle at 96 dpi at the given scale, its edges scaled so that
// rectangles that touch at 96 dpi still touch.
inline Rect ScaledRect(Rect r, double scale) {
  const int left = Scaled(r.left, scale), top = Scaled(r.top, scale);
  return {left, top, Scaled(r.left + r.width, scale) - left, Scaled(r.top + r.height, scale) - top};
}

}  // namespace enlazor::look
