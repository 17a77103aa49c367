// A push button showing an 18 x 18 glyph left of its caption, the two centred
// together 4 pixels apart; the glyph has a greyed form while disabled.
#pragma once

#include <QPixmap>
#include <QPushButton>

class GlyphButton : public QPushButton {
  Q_OBJECT

 public:
  enum class Glyph { Door, Check };
  GlyphButton(const QString& caption, Glyph glyph, QWidget* parent);

  static QPixmap Draw(Glyph glyph, bool enabled);
  static constexpr int kGlyphSize = 18;
  static constexpr int kSpacing = 4;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap normal_, disabled_;
};
