// TBitCheckBox: the check box that draws its state with bitmap glyphs.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>

#include "ui/controls/ControlTypes.h"

class QPainter;

namespace korvel {

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// The built-in glyphs "CHECKED", "UNCHECKED" and "GRAYED" (15 x 13, white = transparent, a
// #0D549B frame round a pale gradient, the tick in #0D549B or #6D849C). A null image for any
// other name.
QImage LoadGlyphResource(const QString& name);

// A focusable check box. A click toggles (unchecked -> grayed when AllowGrayed, else checked;
// checked -> unchecked; grayed -> checked), fires OnClick, then takes the focus. Space acts as
// a click; the caption's "&" letter (Alt+letter) focuses and toggles without OnClick.
class TBitCheckBox : public QWidget {
  Q_OBJECT
 public:
  explicit TBitCheckBox(QWidget* parent = nullptr);  // 97 x 17, built-in glyphs

  TAlignment Alignment() const { return alignment_; }  // default taRightJustify: glyph left
  void SetAlignment(TAlignment alignment);  // taLeftJustify or taRightJustify; taCenter ignored
  bool AllowGrayed() const { return allow_grayed_; }  // default false
  void SetAllowGrayed(bool allow) { allow_grayed_ = allow; }
  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  bool Checked() const { return state_ == cbChecked; }  // default false
  void SetChecked(bool checked) { SetState(checked ? cbChecked : cbUnchecked); }
  TCheckBoxState State() const { return state_; }  // default cbUnchecked
  void SetState(TCheckBoxState state);

  // An empty image loads the built-in glyph; a width that is a multiple of the height sets the
  // glyph count to width / height, kept within 1 to 2.
  const QImage& CheckedGlyph() const { return checked_glyph_; }
  void SetCheckedGlyph(const QImage& glyph);
  const QImage& GrayedGlyph() const { return grayed_glyph_; }
  void SetGrayedGlyph(const QImage& glyph);
  const QImage& UncheckedGlyph() const { return unchecked_glyph_; }
  void SetUncheckedGlyph(const QImage& glyph);
  int CheckedNumGlyphs() const { return checked_num_; }  // 1 or 2, default 1
  void SetCheckedNumGlyphs(int count);
  int GrayedNumGlyphs() const { return grayed_num_; }
  void SetGrayedNumGlyphs(int count);
  int UncheckedNumGlyphs() const { return unchecked_num_; }
  void SetUncheckedNumGlyphs(int count);

  QColor Color() const { return color_; }  // default: the system button face
  void SetColor(const QColor& color);
  bool Ctl3D() const { return ctl3d_; }  // default true: embossed caption when disabled
  void SetCtl3D(bool ctl3d);
  bool Enabled() const { return isEnabled(); }
  void SetEnabled(bool enabled) { setEnabled(enabled); }
  QFont Font() const { return font(); }
  void SetFont(const QFont& font);
  QColor FontColor() const { return font_color_; }  // default black
  void SetFontColor(const QColor& color);
  int TabOrder() const;  // position among the parent's tab-focusable children
  void SetTabOrder(int position);
  bool TabStop() const { return tab_stop_; }  // default true
  void SetTabStop(bool tab_stop);
  bool Visible() const { return !isHidden(); }
  void SetVisible(bool visible) { setVisible(visible); }

  // The state a click moves to from `state`.
  static TCheckBoxState NextState(TCheckBoxState state, bool allow_grayed);

  // Events.
  std::function<void()> OnClick;
  std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>
      OnMouseDown;
  std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)> OnMouseUp;
  std::function<void(Qt::KeyboardModifiers shift, int x, int y)> OnMouseMove;
  std::function<void(int key, Qt::KeyboardModifiers shift)> OnKeyDown;
  std::function<void(const QString& text)> OnKeyPress;
  std::function<void(int key, Qt::KeyboardModifiers shift)> OnKeyUp;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Click();
  void Toggle();
  void SetGlyph(QImage& target, int& count, const QImage& glyph, const char* resource);
  // The caption as paintEvent draws it: embossed when disabled and 3-D.
  void PaintCaption(QPainter& painter, const QRect& text_rect);
  void UpdateShortcut();

  TAlignment alignment_ = taRightJustify;
  bool allow_grayed_ = false;
  QString caption_;
  TCheckBoxState state_ = cbUnchecked;
  QImage checked_glyph_;
  QImage grayed_glyph_;
  QImage unchecked_glyph_;
  int checked_num_ = 1;
  int grayed_num_ = 1;
  int unchecked_num_ = 1;
  QColor color_;
  QColor font_color_;
  bool ctl3d_ = true;
  bool tab_stop_ = true;
  int shortcut_id_ = 0;
  bool pressed_ = false;
};

}  // namespace korvel
