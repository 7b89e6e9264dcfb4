// TSelButton: the flat two-colour button every window uses.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>
#include <functional>

#include "ui/controls/ControlTypes.h"

class QPainter;
class QShortcut;

namespace korvel {

// A flat button painted on its parent. Tab gives it the keyboard focus (a dotted mark inside its
// border), and Enter or Space then click it; with a mnemonic, Alt and the caption's first letter
// (drawn underlined) click it from anywhere in its window. `Enabled` is the button's own flag: with
// it off the button keeps its normal look but shows no hover or pressed state and fires no OnClick.
// Do not use QWidget::setEnabled for that (it would also swallow the mouse); use SetEnabled.
//
// The caption follows the objectName (its design name) until a caption is set explicitly.
class TSelButton : public QWidget {
  Q_OBJECT
 public:
  enum class DrawState { kNormal, kHover, kDown };

  explicit TSelButton(QWidget* parent = nullptr);  // 105 x 20

  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  QColor Color() const { return color_; }  // default: the system button face
  void SetColor(const QColor& color);
  QColor ColorBorder() const { return color_border_; }  // default 8421504 (grey)
  void SetColorBorder(const QColor& color);
  QColor ColorOverCaption() const { return color_over_caption_; }  // default black
  void SetColorOverCaption(const QColor& color);
  QColor ColorOver() const { return color_over_; }  // default 10795396
  void SetColorOver(const QColor& color);
  QColor ColorDown() const { return color_down_; }  // default 10795396
  void SetColorDown(const QColor& color);
  bool Enabled() const { return enabled_; }  // default true
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  TAlignment Alignment() const { return alignment_; }  // default taLeftJustify
  void SetAlignment(TAlignment alignment);
  int BorderWidth() const { return border_width_; }  // default 1
  void SetBorderWidth(int width);
  bool ShowHint() const;        // default true; with ParentShowHint, the parent window's choice
  void SetShowHint(bool show);  // also clears ParentShowHint
  bool ParentShowHint() const { return parent_show_hint_; }  // default true
  void SetParentShowHint(bool parent_show_hint) { parent_show_hint_ = parent_show_hint; }
  QString Hint() const { return toolTip(); }
  void SetHint(const QString& hint) { setToolTip(hint); }
  QFont Font() const { return font(); }  // default Arial 8 point
  void SetFont(const QFont& font);
  QColor FontColor() const { return font_color_; }  // default grey (8421504)
  void SetFontColor(const QColor& color);

  // Alt and the caption's first letter or digit click the button while its window is active.
  bool Mnemonic() const { return shortcut_ != nullptr; }
  void SetMnemonic(bool on);
  // The letter the mnemonic uses (its position in the caption), -1 without one.
  int MnemonicIndex() const;

  // Clicks the button as the mouse or the keyboard does.
  void Press() { Click(); }

  // What the button shows now (for tests and the windows' own checks).
  DrawState State() const { return state_; }

  // Events, with the pointer position in the button's pixels.
  std::function<void()> OnClick;
  std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>
      OnMouseDown;
  std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)> OnMouseUp;
  std::function<void(Qt::KeyboardModifiers shift, int x, int y)> OnMouseMove;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Draw(DrawState state);
  // The parts of paintEvent: the caption with its mnemonic's underline, then the border.
  void PaintCaption(QPainter& painter, const QColor& text, int shift);
  void PaintBorder(QPainter& painter);
  void Click();
  void UpdateShortcut();

  QString caption_;
  bool caption_set_ = false;
  QColor color_;
  QColor color_border_;
  QColor color_over_caption_;
  QColor color_over_;
  QColor color_down_;
  QColor font_color_;
  bool enabled_ = true;
  TAlignment alignment_ = taLeftJustify;
  int border_width_ = 1;
  bool show_hint_ = true;
  bool parent_show_hint_ = true;
  DrawState state_ = DrawState::kNormal;
  bool caption_from_hover_ = false;  // the last look before a press was the hover look
  bool pressed_ = false;
  QShortcut* shortcut_ = nullptr;
  bool focus_from_keyboard_ = false;
};

}  // namespace korvel
