// The look all windows share.
#include "ui/Look.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPalette>
#include <QWidget>

namespace korvel {

QString JarFileFilter(const Language& texts) {
  return QString::fromStdString(texts[TextId::kJarFilesFilter]) +
         QStringLiteral(" (*.jar *.JAR *.Jar);;") +
         QString::fromStdString(texts[TextId::kAllFilesFilter]) + QStringLiteral(" (*)");
}

namespace {

class DialogBehaviour : public QObject {
 public:
  explicit DialogBehaviour(QDialog* dialog) : QObject(dialog), dialog_(dialog) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != dialog_) return false;
    if (event->type() == QEvent::Show) {
      Centre();
    } else if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
      auto* ok = dialog_->findChild<TSelButton*>(QStringLiteral("btnOk"));
      if (enter && ok && !(key->modifiers() & ~Qt::KeypadModifier)) {
        ok->Press();
        return true;
      }
    }
    return false;
  }

 private:
  void Centre() {
    const QWidget* owner = dialog_->parentWidget() ? dialog_->parentWidget()->window() : nullptr;
    if (!owner || !owner->isVisible()) return;
    // Client areas, which are known before the frame is.
    QRect area(QPoint(), dialog_->size());
    area.moveCenter(owner->geometry().center());
    dialog_->setGeometry(area);
  }

  QDialog* dialog_;
};

}  // namespace

void CentreAndDefaultOk(QDialog* dialog) {
  dialog->installEventFilter(new DialogBehaviour(dialog));
}

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
  fade->setObjectName(QStringLiteral("WindowFade"));
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
