// TBitCheckBox: toggle order, click, space and accelerator, glyph counts and painting.
#include "ui/controls/GlyphCheckBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QTest>
#include <string>
#include <vector>

#include "ControlsTestPixels.h"

namespace korvel {
namespace {

using testing::Grab;
using testing::InkBox;
using testing::TextOrigin;

const QColor kPanel(0xE8, 0xEF, 0xF4);
const QColor kAccent(0x0D, 0x54, 0x9B);
const QColor kGrayedTick(0x6D, 0x84, 0x9C);

// A shown, active window with two check boxes, as the Options dialog has them.
struct Window {
  QWidget window;
  TBitCheckBox* box = new TBitCheckBox(&window);
  TBitCheckBox* other = new TBitCheckBox(&window);
  Window() {
    window.resize(300, 60);
    box->setGeometry(10, 10, 270, 17);
    other->setGeometry(10, 30, 270, 17);
    box->SetColor(kPanel);
    box->SetCaption("&Backup");
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    other->setFocus();
  }
};

TEST(ControlsCheckBox, BuiltInGlyphs) {
  for (auto [name, tick] : {std::pair{"CHECKED", kAccent}, {"GRAYED", kGrayedTick}}) {
    const QImage glyph = LoadGlyphResource(name);
    ASSERT_EQ(glyph.size(), QSize(15, 13));
    for (int y = 0; y < 13; ++y) {  // white outer columns, then the frame
      EXPECT_EQ(glyph.pixelColor(0, y), QColor(Qt::white));
      EXPECT_EQ(glyph.pixelColor(14, y), QColor(Qt::white));
      EXPECT_EQ(glyph.pixelColor(1, y), kAccent);
    }
    EXPECT_EQ(glyph.pixelColor(7, 12), kAccent);
    EXPECT_EQ(glyph.pixelColor(6, 8), tick) << name;
  }
  const QImage unchecked = LoadGlyphResource("UNCHECKED");
  EXPECT_EQ(unchecked.pixelColor(6, 8), unchecked.pixelColor(3, 8));   // no tick
  EXPECT_NE(unchecked.pixelColor(7, 1), unchecked.pixelColor(7, 11));  // a gradient
}

TEST(ControlsCheckBox, ToggleOrder) {
  TBitCheckBox box;
  auto clicks = [&box](int n) {
    std::vector<TCheckBoxState> seen;
    for (int i = 0; i < n; ++i) {
      QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(5, 8));
      seen.push_back(box.State());
    }
    return seen;
  };
  EXPECT_EQ(clicks(2), (std::vector<TCheckBoxState>{cbChecked, cbUnchecked}));
  box.SetState(cbGrayed);  // set by the program: the next click checks
  EXPECT_FALSE(box.Checked());
  EXPECT_EQ(clicks(1), std::vector<TCheckBoxState>{cbChecked});
  EXPECT_TRUE(box.Checked());
  box.SetAllowGrayed(true);
  EXPECT_EQ(clicks(3), (std::vector<TCheckBoxState>{cbUnchecked, cbGrayed, cbChecked}));
  box.SetChecked(false);
  EXPECT_EQ(box.State(), cbUnchecked);
  QTest::mousePress(&box, Qt::LeftButton, {}, QPoint(5, 8));  // released outside: no click
  QTest::mouseRelease(&box, Qt::LeftButton, {}, QPoint(500, 8));
  EXPECT_EQ(box.State(), cbUnchecked);
}

TEST(ControlsCheckBox, ClickSpaceAndAccelerator) {
  Window w;
  std::vector<std::string> log;
  w.box->OnClick = [&] {
    log.push_back(std::string(w.box->Checked() ? "checked" : "unchecked") +
                  (w.box->hasFocus() ? " focused" : " unfocused"));
  };
  // Toggle, then OnClick, then the focus.
  QTest::mouseClick(w.box, Qt::LeftButton, {}, QPoint(5, 8));
  EXPECT_EQ(log, std::vector<std::string>{"checked unfocused"});
  EXPECT_TRUE(w.box->hasFocus());
  QTest::keyClick(w.box, Qt::Key_Space);
  EXPECT_EQ(log.back(), "unchecked focused");

  // Alt+B focuses and toggles without OnClick.
  log.clear();
  w.other->setFocus();
  QTest::keyClick(&w.window, Qt::Key_B, Qt::AltModifier);
  EXPECT_TRUE(w.box->Checked());
  EXPECT_TRUE(w.box->hasFocus());
  EXPECT_TRUE(log.empty());
  w.box->SetCaption("Rock && roll");  // "&&" is a plain "&": no accelerator
  QTest::keyClick(&w.window, Qt::Key_B, Qt::AltModifier);
  QTest::keyClick(&w.window, Qt::Key_R, Qt::AltModifier);
  EXPECT_TRUE(w.box->Checked());
}

TEST(ControlsCheckBox, GlyphCountFollowsWidthOverHeight) {
  TBitCheckBox box;
  box.SetCheckedNumGlyphs(2);
  // No multiple keeps the count; a multiple sets it, kept within 1 to 2.
  for (auto [width, count] : {std::pair{30, 2}, {13, 1}, {26, 2}, {39, 2}, {14, 2}}) {
    QImage glyph(width, 13, QImage::Format_RGB32);
    glyph.fill(Qt::red);
    box.SetCheckedGlyph(glyph);
    EXPECT_EQ(box.CheckedNumGlyphs(), count) << width;
  }
  box.SetCheckedNumGlyphs(0);
  EXPECT_EQ(box.CheckedNumGlyphs(), 1);
  box.SetCheckedGlyph(QImage());  // empty: the built-in glyph again
  EXPECT_EQ(box.CheckedGlyph(), LoadGlyphResource("CHECKED"));
}

TEST(ControlsCheckBox, PaintsGlyphByStateAndCaptionBox) {
  TBitCheckBox box;
  box.resize(270, 17);
  box.SetColor(kPanel);
  box.SetCaption("Backup");
  const QFont font = box.Font();
  const int text_top = (17 - QFontMetrics(font).height()) / 2 - 2 + 1;
  const QRect text_area(15, 0, 250, 17);

  // Glyph at x 0, rows 2 to 14; its white is transparent. Caption box at GW + 4.
  QImage image = Grab(box);
  EXPECT_EQ(image.pixelColor(0, 8), kPanel);
  EXPECT_EQ(image.pixelColor(1, 8), kAccent);
  EXPECT_EQ(image.pixelColor(7, 2), kAccent);
  EXPECT_EQ(image.pixelColor(7, 1), kPanel);
  EXPECT_NE(image.pixelColor(6, 10), kAccent);
  EXPECT_EQ(TextOrigin(image, text_area, kPanel, font, "Backup"), QPoint(19, text_top));
  box.SetState(cbChecked);
  EXPECT_EQ(Grab(box).pixelColor(6, 10), kAccent);
  box.SetState(cbGrayed);
  EXPECT_EQ(Grab(box).pixelColor(6, 10), kGrayedTick);

  // Text left at x 1, glyph at the right edge; "&" is not drawn but underlines.
  box.SetAlignment(taLeftJustify);
  image = Grab(box);
  EXPECT_EQ(image.pixelColor(270 - 15, 8), kPanel);
  EXPECT_EQ(image.pixelColor(270 - 14, 8), kAccent);
  EXPECT_EQ(TextOrigin(image, QRect(0, 0, 200, 17), kPanel, font, "Backup"), QPoint(1, text_top));
  box.SetCaption("&Backup");
  const QImage underlined = Grab(box);
  EXPECT_NE(underlined, image);
  EXPECT_EQ(InkBox(underlined, QRect(0, 0, 200, 17), kPanel).right(),
            InkBox(image, QRect(0, 0, 200, 17), kPanel).right());

  // Disabled: a two-image glyph shows its second image; the caption is embossed with Ctl3D.
  QImage pair(26, 13, QImage::Format_RGB32);  // two 13 x 13 images
  pair.fill(Qt::white);
  for (int y = 0; y < 12; ++y) {
    for (int x = 1; x < 12; ++x) {
      pair.setPixelColor(x, y, Qt::green);
      pair.setPixelColor(13 + x, y, Qt::blue);
    }
  }
  box.SetAlignment(taRightJustify);
  box.SetGrayedGlyph(pair);
  EXPECT_EQ(Grab(box).pixelColor(5, 5), QColor(Qt::green));
  box.SetEnabled(false);
  image = Grab(box);
  EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::blue));
  EXPECT_TRUE(
      testing::InkColorIs(image, text_area, kPanel, QApplication::palette().color(QPalette::Dark)));
  const QRect embossed = InkBox(image, text_area, kPanel);
  box.SetCtl3D(false);
  const QRect flat = InkBox(Grab(box), text_area, kPanel);
  EXPECT_EQ(embossed, flat.adjusted(0, 0, 1, 1));
}

TEST(ControlsCheckBox, FocusRectangleAroundTheCaptionBox) {
  Window w;
  w.box->SetCaption("Backup");
  const QImage unfocused = Grab(*w.box);
  w.box->setFocus();
  const QImage focused = Grab(*w.box);
  QRect changed;
  for (int y = 0; y < 17; ++y) {
    for (int x = 0; x < 270; ++x) {
      if (focused.pixelColor(x, y) != unfocused.pixelColor(x, y)) changed |= QRect(x, y, 1, 1);
    }
  }
  // Dotted, and its top may lie above the control: compare the edges that show.
  const QFontMetrics metrics(w.box->Font());
  const QRect outline(19, (17 - metrics.height()) / 2 - 2, metrics.horizontalAdvance("Backup"),
                      metrics.height() + 3);
  EXPECT_TRUE(outline.intersected(w.box->rect()).contains(changed));
  EXPECT_EQ(changed.left(), outline.left());
  EXPECT_EQ(changed.right(), outline.right());
  EXPECT_EQ(changed.bottom(), outline.bottom());
}

}  // namespace
}  // namespace korvel
