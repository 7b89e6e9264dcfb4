// TjsCoolGauge: the progress gauge with a solid or banded two-colour fill.
#pragma once

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <optional>

namespace korvel {

enum TGaugeBorderStyle { bsNone, bsSingle };
enum TGaugeStyle { sSolid, sDithered };

// Fills the left Progress / MaxValue of its width and draws Text formatted with the rounded
// percentage (halves to even). MinValue bounds Progress but enters neither the width nor the
// percentage. A Text that is not a valid format for one integer is drawn as it stands.
class TjsCoolGauge : public QWidget {
  Q_OBJECT
 public:
  explicit TjsCoolGauge(QWidget* parent = nullptr);  // 100 x 20

  TGaugeBorderStyle BorderStyle() const { return border_style_; }  // default bsSingle
  void SetBorderStyle(TGaugeBorderStyle style);
  int MinValue() const { return min_value_; }  // default 0; only values below MaxValue
  void SetMinValue(int value);
  int MaxValue() const { return max_value_; }  // default 100; only values above MinValue
  void SetMaxValue(int value);
  int Progress() const { return progress_; }  // default 0; values outside the bounds ignored
  void SetProgress(int value);
  QColor BackColor() const { return back_color_; }  // default white
  void SetBackColor(const QColor& color);
  QColor ForeColor1() const { return fore_color1_; }  // default 16711680 (RGB #0000FF)
  void SetForeColor1(const QColor& color);
  QColor ForeColor2() const { return fore_color2_; }  // default 255 (RGB #FF0000)
  void SetForeColor2(const QColor& color);
  TGaugeStyle Style() const { return style_; }  // default sDithered
  void SetStyle(TGaugeStyle style);
  QString Text() const { return text_; }  // default "%d%%"
  void SetText(const QString& text);
  bool Frame() const { return frame_; }  // default true: a sunken 2-pixel edge round the client
  void SetFrame(bool frame);
  QFont Font() const { return font(); }
  void SetFont(const QFont& font);
  QColor FontColor() const { return font_color_; }  // text and border colour, default black
  void SetFontColor(const QColor& color);
  bool Visible() const { return !isHidden(); }
  void SetVisible(bool visible) { setVisible(visible); }
  QString Hint() const { return toolTip(); }
  void SetHint(const QString& hint) { setToolTip(hint); }
  bool ShowHint() const { return show_hint_; }  // default true
  void SetShowHint(bool show) { show_hint_ = show; }
  QCursor Cursor() const { return cursor(); }
  void SetCursor(const QCursor& cursor) { setCursor(cursor); }

  // What a paint draws now: the filled width in client pixels, the percentage and the text.
  int FillWidth() const;
  int Percent() const;
  QString ShownText() const;
  // The fill picture, as wide and high as the client area.
  const QImage& FillBitmap() const;

  // Formats `format` with one integer argument (%d, %u, %x with an argument index, "-", width
  // and precision; "%%" gives "%"), the format language of the caption texts in language files.
  // Nothing when the text is not a valid format for exactly one integer.
  static std::optional<QString> FormatInteger(const QString& format, int value);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void RebuildFill() const;
  QSize ClientSize() const;

  TGaugeBorderStyle border_style_ = bsSingle;
  int min_value_ = 0;
  int max_value_ = 100;
  int progress_ = 0;
  QColor back_color_;
  QColor fore_color1_;
  QColor fore_color2_;
  TGaugeStyle style_ = sDithered;
  QString text_;
  bool frame_ = true;
  QColor font_color_;
  bool show_hint_ = true;
  mutable QImage fill_;  // rebuilt whenever it no longer matches the client size
};

}  // namespace korvel
