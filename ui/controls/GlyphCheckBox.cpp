// TBitCheckBox: toggling, the accelerator, glyph handling and painting; the built-in glyphs.
#include "ui/controls/GlyphCheckBox.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QShortcutEvent>
#include <algorithm>
#include <array>

namespace korvel {

namespace {

constexpr int kGlyphWidth = 15;
constexpr int kGlyphHeight = 13;

// White columns either side; white is the transparent colour, so the box itself holds none.
QImage DrawGlyph(const QColor* tick) {
  QImage image(kGlyphWidth, kGlyphHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  const QColor frame = BgrColor(10179597);
  const QColor top(0xF4, 0xF7, 0xFA);
  const QColor bottom(0xCB, 0xDB, 0xE7);
  for (int y = 0; y < kGlyphHeight; ++y) {
    for (int x = 1; x < kGlyphWidth - 1; ++x) {
      if (y == 0 || y == kGlyphHeight - 1 || x == 1 || x == kGlyphWidth - 2) {
        image.setPixelColor(x, y, frame);
        continue;
      }
      const int span = kGlyphHeight - 3;
      const int t = y - 1;
      image.setPixelColor(x, y,
                          QColor(top.red() + (bottom.red() - top.red()) * t / span,
                                 top.green() + (bottom.green() - top.green()) * t / span,
                                 top.blue() + (bottom.blue() - top.blue()) * t / span));
    }
  }
  if (tick) {
    // A two-pixel-thick tick: down from (4, 6) to (6, 8), then up to (10, 4).
    static constexpr std::array<std::array<int, 2>, 7> kPath = {
        {{4, 6}, {5, 7}, {6, 8}, {7, 7}, {8, 6}, {9, 5}, {10, 4}}};
    for (const auto& [x, y] : kPath) {
      image.setPixelColor(x, y, *tick);
      image.setPixelColor(x, y + 1, *tick);
    }
  }
  return image;
}

int ClampGlyphCount(int count) {
  return std::clamp(count, 1, 2);
}

// One glyph of a strip: `width` columns from column `x`, the strip's bottom-left pixel's colour
// made transparent.
QImage GlyphPart(const QImage& strip, int x, int width) {
  QImage part = strip.copy(x, 0, width, strip.height()).convertToFormat(QImage::Format_ARGB32);
  const QRgb key = strip.pixel(0, strip.height() - 1) | 0xFF000000u;
  for (int y = 0; y < part.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(part.scanLine(y));
    for (int column = 0; column < part.width(); ++column) {
      if ((line[column] | 0xFF000000u) == key) line[column] = 0;
    }
  }
  return part;
}

}  // namespace

QImage LoadGlyphResource(const QString& name) {
  static const QColor kChecked = BgrColor(10179597);
  static const QColor kGrayed(0x6D, 0x84, 0x9C);
  if (name == QLatin1String("CHECKED")) return DrawGlyph(&kChecked);
  if (name == QLatin1String("GRAYED")) return DrawGlyph(&kGrayed);
  if (name == QLatin1String("UNCHECKED")) return DrawGlyph(nullptr);
  return QImage();
}

TBitCheckBox::TBitCheckBox(QWidget* parent)
    : QWidget(parent),
      color_(QApplication::palette().color(QPalette::Button)),
      font_color_(Qt::black) {
  setFocusPolicy(Qt::TabFocus);  // a click focuses only after OnClick, done by hand
  resize(97, 17);
  SetCheckedGlyph(QImage());
  SetGrayedGlyph(QImage());
  SetUncheckedGlyph(QImage());
}

void TBitCheckBox::SetAlignment(TAlignment alignment) {
  if (alignment == taCenter) return;
  alignment_ = alignment;
  update();
}

void TBitCheckBox::SetCaption(const QString& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  UpdateShortcut();
  update();
}

void TBitCheckBox::SetState(TCheckBoxState state) {
  if (state_ == state) return;
  state_ = state;
  update();
}

void TBitCheckBox::SetGlyph(QImage& target, int& count, const QImage& glyph, const char* resource) {
  target = glyph.isNull() ? LoadGlyphResource(QLatin1String(resource)) : glyph;
  if (target.height() > 0 && target.width() % target.height() == 0) {
    count = ClampGlyphCount(target.width() / target.height());
  }
  update();
}

void TBitCheckBox::SetCheckedGlyph(const QImage& glyph) {
  SetGlyph(checked_glyph_, checked_num_, glyph, "CHECKED");
}

void TBitCheckBox::SetGrayedGlyph(const QImage& glyph) {
  SetGlyph(grayed_glyph_, grayed_num_, glyph, "GRAYED");
}

void TBitCheckBox::SetUncheckedGlyph(const QImage& glyph) {
  SetGlyph(unchecked_glyph_, unchecked_num_, glyph, "UNCHECKED");
}

void TBitCheckBox::SetCheckedNumGlyphs(int count) {
  checked_num_ = ClampGlyphCount(count);
  update();
}

void TBitCheckBox::SetGrayedNumGlyphs(int count) {
  grayed_num_ = ClampGlyphCount(count);
  update();
}

void TBitCheckBox::SetUncheckedNumGlyphs(int count) {
  unchecked_num_ = ClampGlyphCount(count);
  update();
}

void TBitCheckBox::SetColor(const QColor& color) {
  color_ = color;
  update();
}

void TBitCheckBox::SetCtl3D(bool ctl3d) {
  ctl3d_ = ctl3d;
  update();
}

void TBitCheckBox::SetFont(const QFont& font) {
  setFont(font);
  update();
}

void TBitCheckBox::SetFontColor(const QColor& color) {
  font_color_ = color;
  update();
}

namespace {

// The parent's children that take the focus by Tab, in focus-chain order.
QList<QWidget*> TabSiblings(const QWidget* self) {
  QList<QWidget*> result;
  QWidget* parent = self->parentWidget();
  if (!parent) return result;
  for (QWidget* w = parent->nextInFocusChain(); w && w != parent; w = w->nextInFocusChain()) {
    if (w->parentWidget() == parent && (w->focusPolicy() & Qt::TabFocus) && !result.contains(w)) {
      result.append(w);
    }
  }
  return result;
}

}  // namespace

int TBitCheckBox::TabOrder() const {
  return static_cast<int>(TabSiblings(this).indexOf(this));
}

void TBitCheckBox::SetTabOrder(int position) {
  QList<QWidget*> siblings = TabSiblings(this);
  siblings.removeAll(this);
  if (siblings.isEmpty()) return;
  position = std::clamp(position, 0, static_cast<int>(siblings.size()));
  siblings.insert(position, this);
  for (qsizetype i = 0; i + 1 < siblings.size(); ++i) {
    QWidget::setTabOrder(siblings[i], siblings[i + 1]);
  }
}

void TBitCheckBox::SetTabStop(bool tab_stop) {
  tab_stop_ = tab_stop;
  setFocusPolicy(tab_stop ? Qt::TabFocus : Qt::NoFocus);
}

TCheckBoxState TBitCheckBox::NextState(TCheckBoxState state, bool allow_grayed) {
  switch (state) {
    case cbUnchecked:
      return allow_grayed ? cbGrayed : cbChecked;
    case cbChecked:
      return cbUnchecked;
    case cbGrayed:
      return cbChecked;
  }
  return cbUnchecked;
}

void TBitCheckBox::Toggle() {
  SetState(NextState(state_, allow_grayed_));
}

void TBitCheckBox::Click() {
  Toggle();
  if (OnClick) OnClick();
  if (isVisible() && isEnabled()) setFocus(Qt::MouseFocusReason);
}

void TBitCheckBox::UpdateShortcut() {
  if (shortcut_id_ != 0) {
    releaseShortcut(shortcut_id_);
    shortcut_id_ = 0;
  }
  const QKeySequence mnemonic = QKeySequence::mnemonic(caption_);
  if (!mnemonic.isEmpty()) shortcut_id_ = grabShortcut(mnemonic);
}

bool TBitCheckBox::event(QEvent* event) {
  if (event->type() == QEvent::Shortcut &&
      static_cast<QShortcutEvent*>(event)->shortcutId() == shortcut_id_) {
    // The accelerator focuses and toggles but is not a click.
    if (isVisible() && isEnabled()) setFocus(Qt::ShortcutFocusReason);
    Toggle();
    return true;
  }
  return QWidget::event(event);
}

void TBitCheckBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), color_);

  const QImage* glyph = &unchecked_glyph_;
  int count = unchecked_num_;
  if (state_ == cbChecked) {
    glyph = &checked_glyph_;
    count = checked_num_;
  } else if (state_ == cbGrayed) {
    glyph = &grayed_glyph_;
    count = grayed_num_;
  }
  const int gw = glyph->width() / count;

  const QFontMetrics metrics(font());
  int tw = metrics.horizontalAdvance(caption_);
  if (caption_.contains(QLatin1Char('&'))) tw -= metrics.horizontalAdvance(QLatin1Char('&'));
  const int th = metrics.height();
  const int box_x = alignment_ == taRightJustify ? gw + 4 : 1;
  const QRect box(box_x, (height() - th) / 2 - 2, tw, th + 3);
  const QRect text_rect(box.x(), box.y() + (box.height() - th) / 2, box.width(), th);
  PaintCaption(painter, text_rect);
  if (hasFocus()) {
    QPen pen(font_color_);
    pen.setStyle(Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
  }

  if (glyph->isNull() || gw <= 0) return;
  const QImage part = GlyphPart(*glyph, (!isEnabled() && count == 2) ? gw : 0, gw);
  const int glyph_x = alignment_ == taRightJustify ? 0 : width() - gw;
  painter.drawImage(glyph_x, (height() - glyph->height()) / 2, part);
}

void TBitCheckBox::PaintCaption(QPainter& painter, const QRect& text_rect) {
  const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextShowMnemonic;
  painter.setFont(font());
  if (isEnabled()) {
    painter.setPen(font_color_);
    painter.drawText(text_rect, flags, caption_);
  } else {
    const QPalette& palette = QApplication::palette();
    if (ctl3d_) {
      painter.setPen(palette.color(QPalette::Light));
      painter.drawText(text_rect.translated(1, 1), flags, caption_);
    }
    painter.setPen(palette.color(QPalette::Dark));
    painter.drawText(text_rect, flags, caption_);
  }
}

void TBitCheckBox::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (OnMouseDown) OnMouseDown(event->button(), event->modifiers(), pos.x(), pos.y());
  if (event->button() == Qt::LeftButton) pressed_ = true;
  event->accept();
}

void TBitCheckBox::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const bool click = event->button() == Qt::LeftButton && pressed_ && rect().contains(pos);
  if (event->button() == Qt::LeftButton) pressed_ = false;
  if (click) Click();
  if (OnMouseUp) OnMouseUp(event->button(), event->modifiers(), pos.x(), pos.y());
  event->accept();
}

void TBitCheckBox::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (OnMouseMove) OnMouseMove(event->modifiers(), pos.x(), pos.y());
  event->accept();
}

void TBitCheckBox::keyPressEvent(QKeyEvent* event) {
  if (OnKeyDown) OnKeyDown(event->key(), event->modifiers());
  if (OnKeyPress && !event->text().isEmpty()) OnKeyPress(event->text());
  if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
    Click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TBitCheckBox::keyReleaseEvent(QKeyEvent* event) {
  if (OnKeyUp) OnKeyUp(event->key(), event->modifiers());
  QWidget::keyReleaseEvent(event);
}

void TBitCheckBox::focusInEvent(QFocusEvent* event) {
  update();
  QWidget::focusInEvent(event);
}

void TBitCheckBox::focusOutEvent(QFocusEvent* event) {
  update();
  QWidget::focusOutEvent(event);
}

}  // namespace korvel
