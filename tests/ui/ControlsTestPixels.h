// Pixel helpers for the control tests: where ink lies in a grab and where text starts.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdlib>

namespace korvel::testing {

inline QImage Grab(QWidget& widget) {
  return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The smallest rectangle inside `area` holding every pixel that is not `background`.
inline QRect InkBox(const QImage& image, const QRect& area, const QColor& background) {
  QRect box;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (image.pixelColor(x, y) != background) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

inline bool HasPixel(const QImage& image, const QRect& area, const QColor& color) {
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (image.pixelColor(x, y) == color) return true;
    }
  }
  return false;
}

// True when the ink most unlike `background` in `area` is `color` blended over the background,
// at least half covering: text is antialiased, so its pixels rarely hold the pen colour itself.
inline bool InkColorIs(const QImage& image, const QRect& area, const QColor& background,
                       const QColor& color) {
  QColor ink = background;
  int best = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      const int d = std::abs(c.red() - background.red()) +
                    std::abs(c.green() - background.green()) +
                    std::abs(c.blue() - background.blue());
      if (d > best) {
        best = d;
        ink = c;
      }
    }
  }
  if (best == 0) return false;
  const int channels[3][3] = {{background.red(), color.red(), ink.red()},
                              {background.green(), color.green(), ink.green()},
                              {background.blue(), color.blue(), ink.blue()}};
  double alpha = -1;
  for (const auto& ch : channels) {
    const int span = ch[1] - ch[0];
    if (std::abs(span) < 40) {
      if (std::abs(ch[2] - ch[0]) > 12) return false;  // moved where the colour does not
      continue;
    }
    const double a = static_cast<double>(ch[2] - ch[0]) / span;
    if (alpha < 0) alpha = a;
    if (std::abs(a - alpha) > 0.12) return false;
  }
  return alpha >= 0.5 && alpha <= 1.01;
}

// Where `text` drawn with its top-left cell corner at (x, y) puts ink, relative to (x, y).
inline QPoint InkOffset(const QFont& font, const QString& text) {
  const QFontMetrics metrics(font);
  QImage image(metrics.horizontalAdvance(text) + 40, metrics.height() + 40, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(20, 20 + metrics.ascent(), text);
  }
  return InkBox(image, image.rect(), Qt::white).topLeft() - QPoint(20, 20);
}

// The top-left corner of the text cell of `text` found in `area` of a grab.
inline QPoint TextOrigin(const QImage& image, const QRect& area, const QColor& background,
                         const QFont& font, const QString& text) {
  return InkBox(image, area, background).topLeft() - InkOffset(font, text);
}

}  // namespace korvel::testing
