#include "app/qt/glyph_button.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace {

void DrawDoor(QPainter& p, bool enabled) {
  const QColor frame = enabled ? QColor(96, 56, 24) : QColor(128, 128, 128);
  const QColor leaf = enabled ? QColor(176, 112, 48) : QColor(192, 192, 192);
  p.fillRect(3, 1, 11, 16, frame);
  p.fillRect(4, 2, 9, 15, QColor(32, 32, 32));  // the dark opening
  const QPolygon door({QPoint(4, 2), QPoint(11, 4), QPoint(11, 17), QPoint(4, 16)});
  p.setPen(Qt::NoPen);
  p.setBrush(leaf);
  p.drawPolygon(door);                                                              // the leaf, half open
  p.fillRect(9, 10, 2, 2, enabled ? QColor(240, 208, 64) : QColor(224, 224, 224));  // handle
  p.fillRect(1, 17, 16, 1, frame);                                                  // threshold
}

void DrawCheck(QPainter& p, bool enabled) {
  QPen pen(enabled ? QColor(0, 150, 0) : QColor(150, 150, 150), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(pen);
  p.drawPolyline(QPolygon({QPoint(3, 9), QPoint(7, 14), QPoint(15, 4)}));
}

}  // namespace

GlyphButton::GlyphButton(const QString& caption, Glyph glyph, QWidget* parent)
    : QPushButton(caption, parent), normal_(Draw(glyph, true)), disabled_(Draw(glyph, false)) {}

QPixmap GlyphButton::Draw(Glyph glyph, bool enabled) {
  QPixmap pixmap(kGlyphSize, kGlyphSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  if (glyph == Glyph::Door)
    DrawDoor(painter, enabled);
  else
    DrawCheck(painter, enabled);
  return pixmap;
}

void GlyphButton::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.text.clear();
  option.icon = QIcon();
  painter.drawControl(QStyle::CE_PushButtonBevel, option);

  const QString caption = text();
  const int textWidth = fontMetrics().horizontalAdvance(QString(caption).remove('&'));
  const int total = kGlyphSize + kSpacing + textWidth;
  const int left = (width() - total) / 2 + (isDown() ? 1 : 0);
  const int top = (height() - kGlyphSize) / 2 + (isDown() ? 1 : 0);
  painter.drawPixmap(left, top, isEnabled() ? normal_ : disabled_);
  const QRect textRect(left + kGlyphSize + kSpacing, isDown() ? 1 : 0, textWidth + 1, height());
  painter.drawItemText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, palette(), isEnabled(),
                       caption, QPalette::ButtonText);
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect().adjusted(4, 4, -4, -4);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
  }
}
