// The window's background panels: a vertical three-colour gradient with a
// raised one-pixel bevel, children drawn on top.
#pragma once

#include <QColor>
#include <QWidget>

class GradientPanel : public QWidget {
  Q_OBJECT

 public:
  GradientPanel(QColor start, QColor middle, QColor end, QWidget* parent);

  // The colour of one pixel row of a panel of the given height.
  static QColor RowColour(int row, int height, QColor start, QColor middle, QColor end);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor start_, middle_, end_;
};
