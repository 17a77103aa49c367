#include "app/qt/gradient_panel.h"

#include <QPainter>
#include <cmath>

namespace {

// Row i of n blending from a (first row) to b (last row). A half taller
// than 256 rows is drawn as 256 bands of nearly equal height.
int Blend(int a, int b, int i, int n) {
  if (n <= 1) return a;
  if (n > 256) return static_cast<int>(std::lround(a + (b - a) * (i * 256 / n) / 255.0));
  return static_cast<int>(std::lround(a + (b - a) * static_cast<double>(i) / (n - 1)));
}

QColor BlendColour(QColor a, QColor b, int i, int n) {
  return QColor(Blend(a.red(), b.red(), i, n), Blend(a.green(), b.green(), i, n), Blend(a.blue(), b.blue(), i, n));
}

}  // namespace

GradientPanel::GradientPanel(QColor start, QColor middle, QColor end, QWidget* parent)
    : QWidget(parent), start_(start), middle_(middle), end_(end) {
  // Painted whole by paintEvent into Qt's back buffer: no flicker, no background erase.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor GradientPanel::RowColour(int row, int height, QColor start, QColor middle, QColor end) {
  const int split = height / 2;
  if (row < split) return BlendColour(end, middle, row, split);
  return BlendColour(middle, start, row - split, height - split);
}

void GradientPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int w = width(), h = height();
  for (int row = 0; row < h; ++row) painter.fillRect(0, row, w, 1, RowColour(row, h, start_, middle_, end_));
  const QColor light = palette().color(QPalette::Light);
  const QColor shadow = palette().color(QPalette::Dark);
  painter.fillRect(0, 0, w - 1, 1, light);   // top edge
  painter.fillRect(0, 0, 1, h - 1, light);   // left edge
  painter.fillRect(w - 1, 0, 1, h, shadow);  // right edge
  painter.fillRect(0, h - 1, w, 1, shadow);  // bottom edge
}
