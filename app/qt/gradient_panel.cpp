#include "app/qt/gradient_panel.h"

#include "app/look.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

GradientPanel::GradientPanel(QColor start, QColor middle, QColor end, QWidget* parent)
    : QWidget(parent), start_(start), middle_(middle), end_(end) {
  // Painted whole by paintEvent into Qt's back buffer: no flicker, no background erase.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor GradientPanel::RowColour(int row, int height, QColor start, QColor middle, QColor end) {
  auto rgb = [](QColor c) { return enlazor::look::Rgb{c.red(), c.green(), c.blue()}; };
  const auto colour = enlazor::look::GradientRow(row, height, rgb(start), rgb(middle), rgb(end));
  return QColor(colour.r, colour.g, colour.b);
}

// Drawn in the display's own pixels: at any scale every row is on the
// formula, and the bevel is as wide as one pixel at 96 dpi becomes.
void GradientPanel::paintEvent(QPaintEvent*) {
  const qreal scale = devicePixelRatioF();
  const int w = qRound(width() * scale), h = qRound(height() * scale), edge = enlazor::look::Scaled(1, scale);
  QImage image(w, h, QImage::Format_RGB32);
  for (int row = 0; row < h; ++row) {
    const QRgb colour = RowColour(row, h, start_, middle_, end_).rgb();
    std::fill_n(reinterpret_cast<QRgb*>(image.scanLine(row)), w, colour);
  }
  QPainter bevel(&image);
  const QColor light = palette().color(QPalette::Light);
  const QColor shadow = palette().color(QPalette::Dark);
  bevel.fillRect(0, 0, w - edge, edge, light);   // top edge
  bevel.fillRect(0, 0, edge, h - edge, light);   // left edge
  bevel.fillRect(w - edge, 0, edge, h, shadow);  // right edge
  bevel.fillRect(0, h - edge, w, edge, shadow);  // bottom edge
  bevel.end();
  image.setDevicePixelRatio(scale);
  QPainter(this).drawImage(QPointF(0, 0), image);
}
