// TjsCoolGauge: the fill width and percentage with their rounding, the bands, the bounds and
// the format text.
#include "ui/controls/GradientGauge.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

#include "ControlsTestPixels.h"

namespace korvel {
namespace {

using testing::Grab;
using testing::InkBox;
using testing::TextOrigin;

const QColor kBack(0xE8, 0xEF, 0xF4);
const QColor kFore(0xCB, 0xDB, 0xE7);

// The batch dialog's dress: no border or frame, solid fill, 400 x 20.
void DressAsBatch(TjsCoolGauge& gauge) {
  gauge.SetFrame(false);
  gauge.SetBorderStyle(bsNone);
  gauge.SetStyle(sSolid);
  gauge.SetBackColor(kBack);
  gauge.SetForeColor1(kFore);
  gauge.resize(400, 20);
}

TEST(ControlsGauge, TwoThirdsShows67PercentOver267Pixels) {
  TjsCoolGauge gauge;
  DressAsBatch(gauge);
  gauge.SetMaxValue(3);
  gauge.SetProgress(2);
  QImage image = Grab(gauge);
  for (int x = 0; x < 400; ++x) ASSERT_EQ(image.pixelColor(x, 1), x < 267 ? kFore : kBack) << x;
  // The text "67%" is centred; blank out the fill to find it.
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 267; ++x) {
      if (image.pixelColor(x, y) == kFore) image.setPixelColor(x, y, kBack);
    }
  }
  const QFontMetrics metrics(gauge.Font());
  EXPECT_EQ(gauge.ShownText(), "67%");
  EXPECT_EQ(TextOrigin(image, gauge.rect(), kBack, gauge.Font(), "67%"),
            QPoint((400 - metrics.horizontalAdvance("67%")) / 2, (20 - metrics.height()) / 2));

  // At 0 only the back colour (and the text and border) show.
  gauge.SetProgress(0);
  gauge.SetText("");
  EXPECT_FALSE(InkBox(Grab(gauge), gauge.rect(), kBack).isValid());
  gauge.SetBorderStyle(bsSingle);
  gauge.SetFontColor(Qt::red);
  image = Grab(gauge);
  EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::red));
  EXPECT_EQ(image.pixelColor(399, 19), QColor(Qt::red));
  EXPECT_EQ(image.pixelColor(1, 1), kBack);
}

TEST(ControlsGauge, HalvesRoundToEven) {
  TjsCoolGauge gauge;
  DressAsBatch(gauge);
  gauge.resize(100, 20);
  gauge.SetMaxValue(8);
  // 100 / 8 * p and p / 8 * 100 end in .5 for odd p.
  for (auto [progress, width] : {std::pair{1, 12}, std::pair{3, 38}, std::pair{5, 62}}) {
    gauge.SetProgress(progress);
    EXPECT_EQ(gauge.ShownText(), QString("%1%").arg(width));
    const QImage image = Grab(gauge);
    EXPECT_EQ(image.pixelColor(width - 1, 1), kFore) << progress;
    EXPECT_EQ(image.pixelColor(width, 1), kBack) << progress;
  }
}

TEST(ControlsGauge, DitheredBandsAndTheFrame) {
  TjsCoolGauge gauge;
  gauge.SetFrame(false);
  gauge.SetBorderStyle(bsNone);
  gauge.SetText("");
  gauge.resize(400, 20);
  gauge.SetProgress(100);
  // Blue to red (the defaults): band i covers i*400/256 up to (i+1)*400/256.
  QImage image = Grab(gauge);
  for (int band : {0, 100, 254, 255}) {
    const QColor expected(std::min(band + 1, 255), 0, std::max(254 - band, 0));
    EXPECT_EQ(image.pixelColor(band * 400 / 256, 10), expected) << band;
    EXPECT_EQ(image.pixelColor((band + 1) * 400 / 256 - 1, 10), expected) << band;
  }
  // A component with less to travel stops early; the others go on.
  gauge.SetForeColor1(QColor(0, 0, 200));
  gauge.SetForeColor2(QColor(10, 255, 190));
  image = Grab(gauge);
  EXPECT_EQ(image.pixelColor(0, 10), QColor(1, 1, 199));
  EXPECT_EQ(image.pixelColor(20 * 400 / 256, 10), QColor(10, 21, 190));
  EXPECT_EQ(image.pixelColor(399, 10), QColor(10, 255, 190));

  // The frame's edge narrows the client area to 96 x 16: half is 48 pixels.
  gauge.resize(100, 20);
  gauge.SetFrame(true);
  gauge.SetStyle(sSolid);
  gauge.SetProgress(50);
  EXPECT_EQ(gauge.FillBitmap().size(), QSize(96, 16));
  image = Grab(gauge);
  EXPECT_EQ(image.pixelColor(2 + 47, 10), QColor(0, 0, 200));
  EXPECT_EQ(image.pixelColor(2 + 48, 10), QColor(Qt::white));
}

TEST(ControlsGauge, BoundRules) {
  TjsCoolGauge gauge;
  gauge.SetProgress(50);
  gauge.SetProgress(101);  // outside: ignored
  gauge.SetProgress(-1);
  EXPECT_EQ(gauge.Progress(), 50);
  gauge.SetMaxValue(30);  // progress pulled down to the new maximum
  EXPECT_EQ(gauge.Progress(), 30);
  gauge.SetMaxValue(0);  // refused (not above the minimum), but progress still follows
  EXPECT_EQ(gauge.MaxValue(), 30);
  EXPECT_EQ(gauge.Progress(), 0);
  gauge.SetProgress(20);
  gauge.SetMinValue(25);  // progress pulled up
  EXPECT_EQ(gauge.Progress(), 25);
  gauge.SetMinValue(30);  // refused (not below the maximum)
  EXPECT_EQ(gauge.MinValue(), 25);
  EXPECT_EQ(gauge.Progress(), 30);
  // The minimum enters neither the width nor the percentage.
  gauge.SetProgress(25);
  EXPECT_EQ(gauge.Percent(), 83);
  EXPECT_EQ(gauge.FillWidth(), 80);  // 96 / 30 * 25
  // A zero maximum over a negative minimum must not divide by zero.
  gauge.SetMinValue(-10);
  gauge.SetMaxValue(0);
  EXPECT_EQ(gauge.FillWidth(), 0);
  EXPECT_EQ(gauge.ShownText(), "0%");
}

TEST(ControlsGauge, FormatTextWithOneInteger) {
  TjsCoolGauge gauge;
  gauge.SetMaxValue(3);
  gauge.SetProgress(2);
  for (auto [format, shown] : {
           std::pair{"Пакет: %d%%", "Пакет: 67%"},
           {"[%5d|%-4d]", "[%5d|%-4d]"},  // two arguments wanted
           {"[%5d]", "[   67]"},
           {"[%-4d]", "[67  ]"},
           {"%.3d %0:x", "067 43"},
           {"plain", "plain"},
           // Not a valid format for one integer: shown as it stands.
           {"game 50% off.jar", "game 50% off.jar"},
           {"%s", "%s"},
           {"100%", "100%"},
           {"%1:d", "%1:d"},
       }) {
    gauge.SetText(QString::fromUtf8(format));
    EXPECT_EQ(gauge.ShownText(), QString::fromUtf8(shown)) << format;
  }
  // What is shown is what is drawn.
  DressAsBatch(gauge);
  gauge.SetProgress(0);
  gauge.SetText("a%b");
  EXPECT_EQ(TextOrigin(Grab(gauge), gauge.rect(), kBack, gauge.Font(), "a%b").x(),
            (400 - QFontMetrics(gauge.Font()).horizontalAdvance("a%b")) / 2);
}

}  // namespace
}  // namespace korvel
