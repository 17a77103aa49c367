#include "app/qt/gradient_panel.h"

#include "app/look.h"

#include <QPainter>


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
