// TjsCoolGauge: the fill bitmap, the bound rules, the percentage text and painting.
#include "ui/controls/GradientGauge.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "ui/controls/ControlTypes.h"

namespace korvel {

namespace {

constexpr int kFrameWidth = 2;  // the sunken edge that Frame adds outside the client area

// Rounds to the nearest integer, halves to even (banker's rounding), so a gauge at 12.5% shows
// 12 and one at 13.5% shows 14.
double RoundHalfEven(double value) {
  const double floor = std::floor(value);
  const double diff = value - floor;
  if (diff > 0.5) return floor + 1;
  if (diff < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

int StepToward(int from, int to) {
  if (from < to) return from + 1;
  if (from > to) return from - 1;
  return from;
}

// Precision zeros, the sign, then blanks up to the width on the side the "-" flag asks for.
QString Padded(QString digits, bool negative, int width, int precision, bool left) {
  if (precision > static_cast<int>(digits.size())) {
    digits = QString(precision - digits.size(), QLatin1Char('0')) + digits;
  }
  if (negative) digits.prepend(QLatin1Char('-'));
  if (width > static_cast<int>(digits.size())) {
    const QString pad(width - digits.size(), QLatin1Char(' '));
    digits = left ? digits + pad : pad + digits;
  }
  return digits;
}

// A format with a single integer argument, read from left to right.
class IntegerFormat {
 public:
  IntegerFormat(const QString& format, int value) : format_(format), value_(value) {}
  // The formatted text, or nothing when the format does not fit one integer.
  std::optional<QString> Text();

 private:
  bool AtEnd() const { return pos_ >= format_.size(); }
  bool At(char c) const { return !AtEnd() && format_[pos_] == QLatin1Char(c); }
  // Digits or "*" (then `number` is left alone); false when there is neither.
  bool ReadNumber(int& number, bool& star);
  // The argument, once: only one exists.
  bool TakeArg(int& arg);
  // A width or precision, "*" taking the argument; false when none is left for it.
  bool ReadCount(int& number);
  // The optional argument index "n:"; false when it names another argument than the only one.
  bool ReadIndex();
  // One directive after its "%": [index:][-][width][.precision]type.
  std::optional<QString> Directive();
  std::optional<QString> Digits(QChar type, bool& negative);

  const QString& format_;
  const int value_;
  qsizetype pos_ = 0;
  int next_arg_ = 0;  // arguments used in order; an index "n:" moves this on
};

std::optional<QString> IntegerFormat::Text() {
  QString out;
  for (; !AtEnd(); ++pos_) {
    const QChar c = format_[pos_];
    if (c != QLatin1Char('%')) {
      out += c;
      continue;
    }
    ++pos_;
    if (AtEnd()) return std::nullopt;
    if (At('%')) {
      out += QLatin1Char('%');
      continue;
    }
    const std::optional<QString> directive = Directive();
    if (!directive) return std::nullopt;
    out += *directive;
  }
  return out;
}

bool IntegerFormat::ReadNumber(int& number, bool& star) {
  star = At('*');
  if (star) {
    ++pos_;
    return true;
  }
  const qsizetype start = pos_;
  number = 0;
  while (!AtEnd() && format_[pos_].isDigit() && format_[pos_].unicode() < 128) {
    number = std::min(number * 10 + (format_[pos_].unicode() - '0'), 100000);
    ++pos_;
  }
  return pos_ > start;
}

bool IntegerFormat::TakeArg(int& arg) {
  if (next_arg_ != 0) return false;
  ++next_arg_;
  arg = value_;
  return true;
}

bool IntegerFormat::ReadCount(int& number) {
  bool star = false;
  return !(ReadNumber(number, star) && star && !TakeArg(number));
}

bool IntegerFormat::ReadIndex() {
  const qsizetype start = pos_;
  int number = 0;
  bool star = false;
  if (!ReadNumber(number, star) || !At(':')) {
    pos_ = start;
    return true;
  }
  if (star && !TakeArg(number)) return false;
  if (number != 0) return false;
  next_arg_ = 0;
  ++pos_;
  return true;
}

std::optional<QString> IntegerFormat::Directive() {
  if (!ReadIndex()) return std::nullopt;
  const bool left = At('-');
  if (left) ++pos_;
  int width = 0;
  if (!ReadCount(width)) return std::nullopt;
  int precision = -1;
  if (At('.')) {
    ++pos_;
    precision = 0;
    if (!ReadCount(precision)) return std::nullopt;
  }
  if (AtEnd()) return std::nullopt;
  bool negative = false;
  const std::optional<QString> digits = Digits(format_[pos_].toLower(), negative);
  if (!digits) return std::nullopt;
  return Padded(*digits, negative, width, precision, left);
}

std::optional<QString> IntegerFormat::Digits(QChar type, bool& negative) {
  int arg = 0;
  if (type == QLatin1Char('d')) {
    if (!TakeArg(arg)) return std::nullopt;
    negative = arg < 0;
    return QString::number(std::abs(static_cast<std::int64_t>(arg)));
  }
  if (type == QLatin1Char('u')) {
    if (!TakeArg(arg)) return std::nullopt;
    return QString::number(static_cast<std::uint32_t>(arg));
  }
  if (type == QLatin1Char('x')) {
    if (!TakeArg(arg)) return std::nullopt;
    return QString::number(static_cast<std::uint32_t>(arg), 16).toUpper();
  }
  return std::nullopt;  // any other type needs an argument of another kind
}

}  // namespace

TjsCoolGauge::TjsCoolGauge(QWidget* parent)
    : QWidget(parent),
      back_color_(Qt::white),
      fore_color1_(BgrColor(16711680)),
      fore_color2_(BgrColor(255)),
      text_(QStringLiteral("%d%%")),
      font_color_(Qt::black) {
  setContentsMargins(kFrameWidth, kFrameWidth, kFrameWidth, kFrameWidth);
  resize(100, 20);
  RebuildFill();
}

QSize TjsCoolGauge::ClientSize() const {
  return contentsRect().size().expandedTo(QSize(0, 0));
}

void TjsCoolGauge::SetBorderStyle(TGaugeBorderStyle style) {
  border_style_ = style;
  update();
}

void TjsCoolGauge::SetMinValue(int value) {
  // Progress follows the new bound even when the bound itself is refused.
  if (progress_ < value) progress_ = value;
  if (value < max_value_) min_value_ = value;
  update();
}

void TjsCoolGauge::SetMaxValue(int value) {
  if (progress_ > value) progress_ = value;
  if (value > min_value_) max_value_ = value;
  update();
}

void TjsCoolGauge::SetProgress(int value) {
  if (value < min_value_ || value > max_value_) return;
  const int old_width = FillWidth();
  const QString old_text = ShownText();
  progress_ = value;
  // The width decides the repaint; the text too, so the percentage never stays stale.
  if (FillWidth() != old_width || ShownText() != old_text) update();
}

void TjsCoolGauge::SetBackColor(const QColor& color) {
  back_color_ = color;
  update();
}

void TjsCoolGauge::SetForeColor1(const QColor& color) {
  fore_color1_ = color;
  RebuildFill();
  update();
}

void TjsCoolGauge::SetForeColor2(const QColor& color) {
  fore_color2_ = color;
  RebuildFill();
  update();
}

void TjsCoolGauge::SetStyle(TGaugeStyle style) {
  style_ = style;
  RebuildFill();
  update();
}

void TjsCoolGauge::SetText(const QString& text) {
  if (text_ == text) return;
  text_ = text;
  update();
}

void TjsCoolGauge::SetFrame(bool frame) {
  if (frame_ == frame) return;
  frame_ = frame;
  const int margin = frame ? kFrameWidth : 0;
  setContentsMargins(margin, margin, margin, margin);
  RebuildFill();
  update();
}

void TjsCoolGauge::SetFont(const QFont& font) {
  setFont(font);
  update();
}

void TjsCoolGauge::SetFontColor(const QColor& color) {
  font_color_ = color;
  update();
}

int TjsCoolGauge::FillWidth() const {
  const int w = ClientSize().width();
  if (max_value_ == 0) return 0;  // no division by zero when the bounds are negative
  const double width = RoundHalfEven(static_cast<double>(w) / max_value_ * progress_);
  return static_cast<int>(std::clamp(width, 0.0, static_cast<double>(w)));
}

int TjsCoolGauge::Percent() const {
  if (max_value_ == 0) return 0;
  return static_cast<int>(RoundHalfEven(static_cast<double>(progress_) / max_value_ * 100.0));
}

QString TjsCoolGauge::ShownText() const {
  if (text_.isEmpty()) return QString();
  return FormatInteger(text_, Percent()).value_or(text_);
}

std::optional<QString> TjsCoolGauge::FormatInteger(const QString& format, int value) {
  return IntegerFormat(format, value).Text();
}

const QImage& TjsCoolGauge::FillBitmap() const {
  if (fill_.size() != ClientSize()) RebuildFill();
  return fill_;
}

void TjsCoolGauge::RebuildFill() const {
  const QSize size = ClientSize();
  fill_ = QImage(size, QImage::Format_RGB32);
  if (!size.isEmpty()) {
    if (style_ == sSolid) {
      fill_.fill(fore_color1_);
    } else {
      const int w = size.width();
      int r = fore_color1_.red();
      int g = fore_color1_.green();
      int b = fore_color1_.blue();
      QPainter painter(&fill_);
      for (int i = 0; i < 256; ++i) {
        // Each component moves one unit toward the end colour before every band.
        r = StepToward(r, fore_color2_.red());
        g = StepToward(g, fore_color2_.green());
        b = StepToward(b, fore_color2_.blue());
        const int left = i * w / 256;
        const int right = (i + 1) * w / 256;
        if (right > left) painter.fillRect(left, 0, right - left, size.height(), QColor(r, g, b));
      }
    }
  }
}

void TjsCoolGauge::resizeEvent(QResizeEvent* event) {
  if (fill_.size() != ClientSize()) RebuildFill();
  QWidget::resizeEvent(event);
}

bool TjsCoolGauge::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip && !show_hint_) return true;
  return QWidget::event(event);
}

void TjsCoolGauge::paintEvent(QPaintEvent*) {
  const QRect client = contentsRect();
  const int w = client.width();
  const int h = client.height();
  if (w <= 0 || h <= 0) return;
  // Built off screen, then copied in one go, so the gauge never flickers.
  QImage picture(w, h, QImage::Format_RGB32);
  picture.fill(back_color_);
  {
    QPainter painter(&picture);
    const int fill_width = FillWidth();
    if (fill_width > 0) painter.drawImage(0, 0, FillBitmap(), 0, 0, fill_width, h);
    const QString text = ShownText();
    if (!text.isEmpty()) {
      const QFontMetrics metrics(font());
      const int tw = metrics.horizontalAdvance(text);
      const int th = metrics.height();
      painter.setFont(font());
      painter.setPen(font_color_);
      painter.drawText((w - tw) / 2, (h - th) / 2 + metrics.ascent(), text);
    }
    if (border_style_ == bsSingle) {
      painter.fillRect(0, 0, w, 1, font_color_);
      painter.fillRect(0, h - 1, w, 1, font_color_);
      painter.fillRect(0, 0, 1, h, font_color_);
      painter.fillRect(w - 1, 0, 1, h, font_color_);
    }
  }
  QPainter painter(this);
  if (frame_) {
    // A sunken edge: shadow outside and dark shadow inside at the top left, light at the
    // bottom right.
    const QRect r = rect();
    painter.setPen(QColor(0xA0, 0xA0, 0xA0));
    painter.drawLine(r.left(), r.top(), r.right() - 1, r.top());
    painter.drawLine(r.left(), r.top(), r.left(), r.bottom() - 1);
    painter.setPen(QColor(0x69, 0x69, 0x69));
    painter.drawLine(r.left() + 1, r.top() + 1, r.right() - 2, r.top() + 1);
    painter.drawLine(r.left() + 1, r.top() + 1, r.left() + 1, r.bottom() - 2);
    painter.setPen(Qt::white);
    painter.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    painter.drawLine(r.right(), r.top(), r.right(), r.bottom());
    painter.setPen(QColor(0xE3, 0xE3, 0xE3));
    painter.drawLine(r.left() + 1, r.bottom() - 1, r.right() - 1, r.bottom() - 1);
    painter.drawLine(r.right() - 1, r.top() + 1, r.right() - 1, r.bottom() - 1);
  }
  painter.drawImage(client.topLeft(), picture);
}

}  // namespace korvel
