// TSelButton: painting of the three looks and the mouse sequence that switches between them.
#include "ui/controls/FlatButton.h"

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPen>
#include <QShortcut>
#include <QVariant>
#include <algorithm>

namespace korvel {

TSelButton::TSelButton(QWidget* parent)
    : QWidget(parent),
      color_(QApplication::palette().color(QPalette::Button)),
      color_border_(BgrColor(8421504)),
      color_over_caption_(Qt::black),
      color_over_(BgrColor(10795396)),
      color_down_(BgrColor(10795396)),
      font_color_(BgrColor(8421504)) {
  setFocusPolicy(Qt::TabFocus);
  setMouseTracking(true);  // OnMouseMove also fires without a button down
  resize(105, 20);
  setFont(QFont("Arial", 8));
  // Until a caption is given, the button shows its design name.
  connect(this, &QObject::objectNameChanged, this, [this](const QString& name) {
    if (!caption_set_) {
      caption_ = name;
      UpdateShortcut();
      update();
    }
  });
}

void TSelButton::SetCaption(const QString& caption) {
  caption_set_ = true;
  if (caption_ == caption) return;
  caption_ = caption;
  UpdateShortcut();
  update();
}

void TSelButton::SetMnemonic(bool on) {
  if (on == Mnemonic()) return;
  if (on) {
    shortcut_ = new QShortcut(this);
    shortcut_->setContext(Qt::WindowShortcut);
    connect(shortcut_, &QShortcut::activated, this, [this] {
      if (isVisible()) Click();
    });
    UpdateShortcut();
  } else {
    delete shortcut_;
    shortcut_ = nullptr;
  }
  update();
}

int TSelButton::MnemonicIndex() const {
  if (!shortcut_) return -1;
  for (int i = 0; i < caption_.size(); ++i) {
    if (caption_[i].isLetterOrNumber()) return i;
  }
  return -1;
}

void TSelButton::UpdateShortcut() {
  if (!shortcut_) return;
  const int index = MnemonicIndex();
  shortcut_->setKey(index < 0 ? QKeySequence()
                              : QKeySequence::mnemonic(QStringLiteral("&") + caption_.mid(index)));
}

void TSelButton::SetColor(const QColor& color) {
  color_ = color;
  update();
}

void TSelButton::SetColorBorder(const QColor& color) {
  color_border_ = color;
  update();
}

void TSelButton::SetColorOverCaption(const QColor& color) {
  color_over_caption_ = color;
  update();
}

void TSelButton::SetColorOver(const QColor& color) {
  color_over_ = color;
  update();
}

void TSelButton::SetColorDown(const QColor& color) {
  color_down_ = color;
  update();
}

void TSelButton::SetAlignment(TAlignment alignment) {
  alignment_ = alignment;
  update();
}

void TSelButton::SetBorderWidth(int width) {
  border_width_ = width < 0 ? 0 : width;
  update();
}

bool TSelButton::ShowHint() const {
  if (!parent_show_hint_) return show_hint_;
  // The windows keep their own choice as the dynamic property "ShowHint"; without it, hints on.
  const QWidget* window = parentWidget() ? parentWidget()->window() : nullptr;
  const QVariant value = window ? window->property("ShowHint") : QVariant();
  return value.isValid() ? value.toBool() : show_hint_;
}

void TSelButton::SetShowHint(bool show) {
  show_hint_ = show;
  parent_show_hint_ = false;
}

void TSelButton::SetFont(const QFont& font) {
  setFont(font);
  update();
}

void TSelButton::SetFontColor(const QColor& color) {
  font_color_ = color;
  update();
}

bool TSelButton::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::ParentChange:
      // Given a parent, the button takes its name as caption; a later caption replaces it.
      if (parentWidget() && !objectName().isEmpty()) caption_ = objectName();
      break;
    case QEvent::ToolTip:
      if (!ShowHint()) return true;
      break;
    case QEvent::Hide:
    case QEvent::Show:
    case QEvent::WindowDeactivate:
    case QEvent::WindowBlocked:
      // Whatever the pointer did meanwhile, a hidden, shown or inactive button starts over from
      // the normal look; the next pointer move over it brings the hover look back.
      pressed_ = false;
      if (state_ != DrawState::kNormal) Draw(DrawState::kNormal);
      break;
    default:
      break;
  }
  return QWidget::event(event);
}

void TSelButton::Draw(DrawState state) {
  if (state != DrawState::kDown) caption_from_hover_ = state == DrawState::kHover;
  state_ = state;
  repaint();
}

void TSelButton::paintEvent(QPaintEvent*) {
  const int w = width();
  const int h = height();
  QPainter painter(this);
  QColor fill = color_;
  QColor text = font_color_;
  int shift = 0;
  switch (state_) {
    case DrawState::kNormal:
      break;
    case DrawState::kHover:
      fill = color_over_;
      text = color_over_caption_;
      break;
    case DrawState::kDown:
      fill = color_down_;
      // Pressing keeps the caption colour of the look before it.
      text = caption_from_hover_ ? color_over_caption_ : font_color_;
      shift = 1;
      break;
  }
  if (w > 2 && h > 2) painter.fillRect(1, 1, w - 2, h - 2, fill);
  PaintCaption(painter, text, shift);
  if (hasFocus() && focus_from_keyboard_ && w > 6 && h > 6) {
    // The keyboard focus: a dotted frame inside the border, in the caption's colour. Only focus
    // moved there with the keyboard shows it; a window's first focus does not.
    QPen pen(text, 1, Qt::DotLine);
    painter.setPen(pen);
    painter.drawRect(border_width_ + 1, border_width_ + 1, w - 2 * border_width_ - 3,
                     h - 2 * border_width_ - 3);
  }
  PaintBorder(painter);
}

void TSelButton::PaintCaption(QPainter& painter, const QColor& text, int shift) {
  const int w = width();
  const QFontMetrics metrics(font());
  const int tw = metrics.horizontalAdvance(caption_);
  const int th = metrics.height();
  // Pressed, the caption moves down one pixel and one pixel inward from its side: right for
  // left-aligned and centred captions, left for right-aligned ones (W - TW - 7).
  int x = 5 + shift;
  if (alignment_ == taRightJustify) {
    x = w - tw - 6 - shift;
  } else if (alignment_ == taCenter) {
    x = w / 2 - tw / 2 + shift;
  }
  const int y = height() / 2 - th / 2 + shift;
  painter.setFont(font());
  painter.setPen(text);
  painter.drawText(x, y + metrics.ascent(), caption_);
  if (const int index = MnemonicIndex(); index >= 0) {
    const int left = x + metrics.horizontalAdvance(caption_.left(index));
    const int line_y = y + metrics.ascent() + std::max(1, metrics.underlinePos());
    painter.drawLine(left, line_y, left + metrics.horizontalAdvance(caption_[index]) - 1, line_y);
  }
}

void TSelButton::PaintBorder(QPainter& painter) {
  painter.setPen(Qt::NoPen);
  for (int i = 0; i < border_width_; ++i) {
    const int fw = width() - 2 * i;
    const int fh = height() - 2 * i;
    if (fw <= 0 || fh <= 0) break;
    // A one-pixel outline drawn as four filled strips, so no pen geometry rounds it.
    painter.fillRect(i, i, fw, 1, color_border_);
    painter.fillRect(i, i + fh - 1, fw, 1, color_border_);
    painter.fillRect(i, i, 1, fh, color_border_);
    painter.fillRect(i + fw - 1, i, 1, fh, color_border_);
  }
}

void TSelButton::enterEvent(QEnterEvent* event) {
  if (enabled_) Draw(DrawState::kHover);
  QWidget::enterEvent(event);
}

void TSelButton::leaveEvent(QEvent* event) {
  Draw(DrawState::kNormal);
  QWidget::leaveEvent(event);
}

void TSelButton::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    pressed_ = true;
    if (enabled_) {
      if (OnMouseDown) OnMouseDown(event->button(), event->modifiers(), pos.x(), pos.y());
      Draw(DrawState::kDown);
    }
  }
  event->accept();
}

void TSelButton::Click() {
  Draw(DrawState::kNormal);
  if (enabled_ && OnClick) OnClick();
}

void TSelButton::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (event->button() == Qt::LeftButton && pressed_) {
    pressed_ = false;
    // The click and its handler come first, so a dialog it opens sees the normal look.
    bool inside = rect().contains(pos);
    if (inside) {
      Click();
      // The handler may have run a modal window, and the pointer may be anywhere by now: the
      // look follows where it really is, not where the button was released.
      inside = isVisible() && rect().contains(mapFromGlobal(QCursor::pos()));
    }
    if (enabled_) {
      if (OnMouseUp) OnMouseUp(event->button(), event->modifiers(), pos.x(), pos.y());
      if (inside) Draw(DrawState::kHover);
    }
  }
  event->accept();
}

void TSelButton::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      if (event->modifiers() & ~Qt::KeypadModifier) break;
      Click();
      event->accept();
      return;
    default:
      break;
  }
  QWidget::keyPressEvent(event);
}

void TSelButton::focusInEvent(QFocusEvent* event) {
  focus_from_keyboard_ =
      event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
  update();
  QWidget::focusInEvent(event);
}

void TSelButton::focusOutEvent(QFocusEvent* event) {
  update();
  QWidget::focusOutEvent(event);
}

void TSelButton::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (OnMouseMove) OnMouseMove(event->modifiers(), pos.x(), pos.y());
  event->accept();
}

}  // namespace korvel
