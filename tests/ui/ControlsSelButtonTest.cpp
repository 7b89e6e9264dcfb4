// TSelButton: caption placement, the colours of each look and the mouse sequence.
#include "ui/controls/FlatButton.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QTest>
#include <string>
#include <vector>

#include "ControlsTestPixels.h"

namespace korvel {
namespace {

using testing::Grab;
using testing::InkColorIs;
using testing::TextOrigin;

const QColor kFill(0xE8, 0xEF, 0xF4);
const QColor kAccent(0x0D, 0x54, 0x9B);
const QColor kParent(0xD8, 0xE4, 0xED);

// A button dressed as the main window's, on a parent of another colour.
struct Fixture {
  QWidget parent;
  TSelButton* button = new TSelButton(&parent);
  std::vector<std::string> log;
  Fixture() {
    parent.resize(200, 60);
    parent.setAutoFillBackground(true);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, kParent);
    parent.setPalette(palette);
    button->setGeometry(10, 10, 105, 20);
    button->SetCaption("Patch");
    button->SetColor(kFill);
    button->SetColorBorder(kAccent);
    button->SetColorOver(kAccent);
    button->SetColorDown(Qt::yellow);
    button->SetColorOverCaption(Qt::white);
    button->SetFontColor(kAccent);
    auto name = [this](const char* what) {
      const char* looks[] = {" normal", " hover", " down"};
      log.push_back(what + std::string(looks[static_cast<int>(button->State())]));
    };
    button->OnMouseDown = [=](Qt::MouseButton, Qt::KeyboardModifiers, int, int) { name("down"); };
    button->OnClick = [=] { name("click"); };
    button->OnMouseUp = [=](Qt::MouseButton, Qt::KeyboardModifiers, int, int) { name("up"); };
  }
  void Enter() {
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(15, 15));
    QApplication::sendEvent(button, &enter);
  }
  // Where the caption's text cell starts in the current look.
  QPoint Origin(const QColor& fill) {
    return TextOrigin(Grab(*button), QRect(1, 1, 103, 18), fill, button->Font(), "Patch");
  }
};

TEST(ControlsSelButton, DefaultsAndCaptionFromName) {
  TSelButton button;
  EXPECT_EQ(button.size(), QSize(105, 20));
  EXPECT_EQ(button.focusPolicy(), Qt::TabFocus);
  EXPECT_EQ(button.ColorOver(), QColor(0x84, 0xB9, 0xA4));
  EXPECT_EQ(button.ColorBorder(), QColor(0x80, 0x80, 0x80));
  button.setObjectName("btnJar");
  EXPECT_EQ(button.Caption(), "btnJar");
  button.SetCaption("&Patch");
  button.setObjectName("btnOther");
  EXPECT_EQ(button.Caption(), "&Patch");
}

TEST(ControlsSelButton, NormalLookFramesAndCaptionPlaces) {
  Fixture f;
  const QFontMetrics metrics(f.button->Font());
  const int tw = metrics.horizontalAdvance("Patch");
  const int y = 20 / 2 - metrics.height() / 2;
  for (auto [alignment, x] : {std::pair{taLeftJustify, 5}, std::pair{taRightJustify, 105 - tw - 6},
                              std::pair{taCenter, 105 / 2 - tw / 2}}) {
    f.button->SetAlignment(alignment);
    EXPECT_EQ(f.Origin(kFill), QPoint(x, y)) << alignment;
  }
  QImage image = Grab(*f.button);
  EXPECT_TRUE(InkColorIs(image, QRect(1, 1, 103, 18), kFill, kAccent));
  EXPECT_EQ(image.pixelColor(1, 1), kFill);
  EXPECT_EQ(image.pixelColor(103, 18), kFill);
  for (QPoint p : {QPoint(0, 0), QPoint(104, 10), QPoint(50, 19)}) {
    EXPECT_EQ(image.pixelColor(p), kAccent);
  }
  // Frame i runs round (i, i) to (W - i, H - i); none at all lets the parent show.
  f.button->SetBorderWidth(3);
  image = Grab(*f.button);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(image.pixelColor(i, 10), kAccent);
    EXPECT_EQ(image.pixelColor(50, 19 - i), kAccent);
  }
  EXPECT_EQ(image.pixelColor(3, 3), kFill);
  f.button->SetBorderWidth(0);
  image = Grab(f.parent);
  EXPECT_EQ(image.pixelColor(10, 10), kParent);
  EXPECT_EQ(image.pixelColor(11, 11), kFill);
}

TEST(ControlsSelButton, HoverAndPressedLooks) {
  Fixture f;
  f.parent.show();
  QCoreApplication::processEvents();
  const QPoint normal = f.Origin(kFill);
  f.Enter();
  QImage image = Grab(*f.button);
  EXPECT_EQ(image.pixelColor(1, 1), kAccent);
  EXPECT_TRUE(InkColorIs(image, QRect(1, 1, 103, 18), kAccent, Qt::white));
  EXPECT_EQ(f.Origin(kAccent), normal);

  // Pressed after hover: one pixel right and down, in the hover caption colour.
  QTest::mousePress(f.button, Qt::LeftButton, {}, QPoint(5, 5));
  image = Grab(*f.button);
  EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::yellow));
  EXPECT_TRUE(InkColorIs(image, QRect(1, 1, 103, 18), Qt::yellow, Qt::white));
  EXPECT_EQ(f.Origin(Qt::yellow), normal + QPoint(1, 1));
  QCursor::setPos(f.button->mapToGlobal(QPoint(5, 5)));  // the look after a click follows it
  QTest::mouseRelease(f.button, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(f.button->State(), TSelButton::DrawState::kHover);

  // Pressed from the normal look: the font colour; right-aligned it moves to W - TW - 7.
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(f.button, &leave);
  EXPECT_EQ(f.button->State(), TSelButton::DrawState::kNormal);
  QTest::mousePress(f.button, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_TRUE(InkColorIs(Grab(*f.button), QRect(1, 1, 103, 18), Qt::yellow, kAccent));
  f.button->SetAlignment(taRightJustify);
  const int tw = QFontMetrics(f.button->Font()).horizontalAdvance("Patch");
  EXPECT_EQ(f.Origin(Qt::yellow), QPoint(105 - tw - 7, normal.y() + 1));
}

TEST(ControlsSelButton, MouseSequenceAndTheEnabledFlag) {
  Fixture f;
  f.parent.show();
  QCursor::setPos(f.button->mapToGlobal(QPoint(7, 8)));
  f.Enter();
  QTest::mouseClick(f.button, Qt::LeftButton, {}, QPoint(7, 8));
  // The click sees the normal look, so a dialog it opens does too; hover comes back after.
  EXPECT_EQ(f.log, (std::vector<std::string>{"down hover", "click normal", "up normal"}));
  EXPECT_EQ(f.button->State(), TSelButton::DrawState::kHover);

  f.log.clear();  // released outside: no click
  QTest::mousePress(f.button, Qt::LeftButton, {}, QPoint(7, 8));
  QTest::mouseRelease(f.button, Qt::LeftButton, {}, QPoint(150, 8));
  EXPECT_EQ(f.log, (std::vector<std::string>{"down hover", "up down"}));

  // Disabled: the normal look whatever the mouse does, and no events.
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(f.button, &leave);
  f.log.clear();
  f.button->SetEnabled(false);
  const QImage normal = Grab(*f.button);
  f.Enter();
  EXPECT_EQ(Grab(*f.button), normal);
  QTest::mousePress(f.button, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(Grab(*f.button), normal);
  QTest::mouseRelease(f.button, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(Grab(*f.button), normal);
  EXPECT_TRUE(f.log.empty());
}

// A click whose handler runs a modal window: the pointer moved meanwhile, so the release point
// says nothing about where it is now.
TEST(ControlsSelButton, LookFollowsThePointerAfterAClick) {
  Fixture f;
  f.parent.show();
  for (bool pointer_stays : {true, false}) {
    QCursor::setPos(f.button->mapToGlobal(QPoint(5, 5)));
    f.Enter();
    f.button->OnClick = [&] {
      if (!pointer_stays) QCursor::setPos(f.parent.mapToGlobal(QPoint(150, 50)));
    };
    QTest::mouseClick(f.button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(f.button->State(),
              pointer_stays ? TSelButton::DrawState::kHover : TSelButton::DrawState::kNormal);
  }
  // Hiding or deactivating the window drops a hover or pressed look.
  f.Enter();
  QTest::mousePress(f.button, Qt::LeftButton, {}, QPoint(5, 5));
  QEvent deactivate(QEvent::WindowDeactivate);
  QApplication::sendEvent(&f.parent, &deactivate);
  EXPECT_EQ(f.button->State(), TSelButton::DrawState::kNormal);
  f.Enter();
  f.parent.hide();
  EXPECT_EQ(f.button->State(), TSelButton::DrawState::kNormal);
}

}  // namespace
}  // namespace korvel
