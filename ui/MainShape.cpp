// TPanelShape: the main window's filled rectangles and separator lines.
#include "ui/MainShape.h"

#include <QPainter>

namespace korvel {

TPanelShape::TPanelShape(QWidget* parent, QColor fill, QColor outline)
    : QWidget(parent), fill_(fill), outline_(outline) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPanelShape::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), outline_);
  if (width() > 2 && height() > 2) painter.fillRect(rect().adjusted(1, 1, -1, -1), fill_);
}

}  // namespace korvel
