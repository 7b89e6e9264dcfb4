// The look all windows share.
#include "ui/Look.h"

#include <QPalette>
#include <QWidget>

namespace korvel {

QFont WindowFont(bool bold) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSize(8);
  font.setBold(bold);
  return font;
}

void PrepareWindow(QWidget* window, const char* object_name, int width, int height) {
  window->setObjectName(QString::fromLatin1(object_name));
  window->setFixedSize(width, height);
  window->setFont(WindowFont());
  QPalette palette = window->palette();
  palette.setColor(QPalette::Window, kBackground);
  window->setPalette(palette);
  window->setAutoFillBackground(true);
}

TSelButton* MakeFlatButton(QWidget* parent, const char* name, const QRect& geometry,
                           TAlignment alignment, const QFont& font) {
  auto* button = new TSelButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(geometry);
  button->SetColor(kPanel);
  button->SetColorBorder(kAccent);
  button->SetColorOver(kAccent);
  button->SetColorDown(kAccent);
  button->SetColorOverCaption(Qt::white);
  button->SetAlignment(alignment);
  button->SetBorderWidth(1);
  button->SetFont(font);
  button->SetFontColor(kAccent);
  return button;
}

TAlphaShowHide* MakeWindowFade(QWidget* window) {
  auto* fade = new TAlphaShowHide(window);
  fade->setObjectName(QStringLiteral("AlphaShowHide"));
  fade->SetDeltaAlpha(10);
  fade->SetActive(true);
  return fade;
}

QSize FixedItemHeightDelegate::sizeHint(const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  size.setHeight(height_);
  return size;
}

}  // namespace korvel
