// TPanelShape: the main window's filled rectangles and separator lines.
#pragma once

#include <QColor>
#include <QWidget>

namespace korvel {

// A rectangle filled with one colour and outlined (one pixel, inside its bounds) with another;
// a line is a rectangle one pixel high in one colour. It takes no mouse input.
class TPanelShape : public QWidget {
 public:
  TPanelShape(QWidget* parent, QColor fill, QColor outline);

  QColor Fill() const { return fill_; }
  QColor Outline() const { return outline_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor fill_;
  QColor outline_;
};

}  // namespace korvel
