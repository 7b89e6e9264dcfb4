// The look all windows share: the three colours, the window font, flat buttons made alike and
// list entries of a fixed height.
#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QRect>
#include <QStyledItemDelegate>

#include "settings/Language.h"
#include "ui/controls/ControlTypes.h"
#include "ui/controls/FlatButton.h"
#include "ui/controls/WindowFade.h"

namespace korvel {

// Window background, panel fill, and the accent used for outlines, lines and button text.
inline const QColor kBackground = BgrColor(15590616);  // #D8E4ED
inline const QColor kPanel = BgrColor(16052200);       // #E8EFF4
inline const QColor kAccent = BgrColor(10179597);      // #0D549B

// Arial 8 point.
QFont WindowFont(bool bold = false);

// Gives a window its fixed client size, the window font and the background colour.
void PrepareWindow(QWidget* window, const char* object_name, int width, int height);

// The dialogs' window: a title bar with a close button only.
inline constexpr Qt::WindowFlags kDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

// Each showing of `dialog` is centred on the window it belongs to, the first one too (before the
// window manager has given it a frame); Enter presses its "btnOk" when it has one and the focus
// is not on another button.
void CentreAndDefaultOk(QDialog* dialog);

// A flat button in the house colours: panel fill, accent border and text, white text on hover.
TSelButton* MakeFlatButton(QWidget* parent, const char* name, const QRect& geometry,
                           TAlignment alignment, const QFont& font);

// The fade every window has: active, 10 opacity steps per tick of the fade.
TAlphaShowHide* MakeWindowFade(QWidget* window);

// The file dialogs' filter for JARs in the current language; either case of the extension.
QString JarFileFilter(const Language& texts);

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
