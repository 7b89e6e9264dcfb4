// The look all windows share: the three colours, the window font, flat buttons made alike and
// list entries of a fixed height.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QStyledItemDelegate>

#include "ui/controls/AlphaShowHide.h"
#include "ui/controls/ButtonComps.h"
#include "ui/controls/ControlTypes.h"

namespace korvel {

// Window background, panel fill, and the accent used for outlines, lines and button text.
inline const QColor kBackground = BgrColor(15590616);  // #D8E4ED
inline const QColor kPanel = BgrColor(16052200);       // #E8EFF4
inline const QColor kAccent = BgrColor(10179597);      // #0D549B

// Arial 8 point.
QFont WindowFont(bool bold = false);

// Gives a window its fixed client size, the window font and the background colour.
void PrepareWindow(QWidget* window, const char* object_name, int width, int height);

// A flat button in the house colours: panel fill, accent border and text, white text on hover.
TSelButton* MakeFlatButton(QWidget* parent, const char* name, const QRect& geometry,
                           TAlignment alignment, const QFont& font);

// The fade every window has: active, 10 opacity steps per tick of the fade.
TAlphaShowHide* MakeWindowFade(QWidget* window);

// List entries of a fixed height, whatever the font asks for.
class FixedItemHeightDelegate : public QStyledItemDelegate {
 public:
  FixedItemHeightDelegate(int height, QObject* parent)
      : QStyledItemDelegate(parent), height_(height) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  int height_;
};

}  // namespace korvel
