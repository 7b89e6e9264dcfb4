// Tests of the main window's layout, the captions of every window and the keyboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <functional>

#include "tests/ui/MainWindowTestSupport.h"
#include "ui/AboutDialog.h"
#include "ui/BatchDialog.h"
#include "ui/LanguageDialog.h"
#include "ui/MainShape.h"
#include "ui/OptionsDialog.h"
#include "ui/controls/FlatButton.h"
#include "ui/controls/GlyphCheckBox.h"
#include "ui/controls/WindowFade.h"

namespace korvel {
namespace {

using test::MainWindowTest;
using test::QBuiltin;

const QColor kBackground(0xD8, 0xE4, 0xED);
const QColor kPanel(0xE8, 0xEF, 0xF4);
const QColor kAccent(0x0D, 0x54, 0x9B);

TEST_F(MainWindowTest, LayoutColoursAndCaptionsOfTheWindow) {
  Show();
  EXPECT_EQ(frm_->windowTitle(), QString::fromUtf8("Программа для подстройки JAVA-игр под Virel"));
  EXPECT_EQ(frm_->size(), QSize(617, 170));
  EXPECT_EQ(frm_->minimumSize(), frm_->maximumSize());
  EXPECT_FALSE(frm_->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(frm_->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(frm_->font().family(), "Arial");
  EXPECT_EQ(frm_->font().pointSize(), 8);
  EXPECT_TRUE(frm_->acceptDrops());

  const std::vector<std::pair<const char*, QRect>> geometry = {
      {"shpBtnsBg", {8, 8, 153, 151}},      {"btnJar", {14, 15, 141, 20}},
      {"btnBatch", {14, 41, 141, 20}},      {"shpMenuLine1", {8, 67, 153, 1}},
      {"btnOptions", {14, 74, 141, 20}},    {"shpMenuLine2", {8, 100, 153, 1}},
      {"btnAbout", {14, 107, 141, 20}},     {"btnExit", {14, 133, 141, 20}},
      {"shpConsoleBg", {167, 8, 442, 151}}, {"mem", {172, 13, 432, 114}},
      {"btnLang", {463, 133, 141, 20}},
  };
  for (const auto& [name, rect] : geometry) {
    QWidget* child = frm_->findChild<QWidget*>(name);
    ASSERT_NE(child, nullptr) << name;
    EXPECT_EQ(child->geometry(), rect) << name;
  }

  for (TSelButton* button :
       {ui_.btnJar, ui_.btnBatch, ui_.btnOptions, ui_.btnAbout, ui_.btnExit, ui_.btnLang}) {
    EXPECT_TRUE(button->Color() == kPanel && button->ColorBorder() == kAccent &&
                button->ColorOver() == kAccent && button->ColorDown() == kAccent &&
                button->FontColor() == kAccent && button->ColorOverCaption() == Qt::white &&
                button->Alignment() == taLeftJustify && button->BorderWidth() == 1)
        << button->objectName().toStdString();
  }
  EXPECT_EQ(ui_.btnExit->Caption(), QBuiltin(TextId::kExit));

  // The language button is one of the commands, at the foot of the Console panel.
  EXPECT_EQ(ui_.btnLang->Font(), ui_.btnJar->Font());
  EXPECT_EQ(ui_.btnLang->Caption(), "Language");

  QPlainTextEdit* mem = ui_.mem;
  EXPECT_TRUE(mem->isReadOnly());
  EXPECT_EQ(mem->frameShape(), QFrame::NoFrame);
  EXPECT_EQ(mem->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(mem->document()->blockCount(), 1);
  EXPECT_EQ(mem->toPlainText(), "");
  EXPECT_EQ(ui_.WindowFade->DeltaAlpha(), 10);
  EXPECT_TRUE(ui_.WindowFade->Active());

  const QImage image = frm_->grab().toImage();
  const std::vector<std::pair<QPoint, QColor>> pixels = {
      {{2, 2}, kBackground},     // window margin
      {{163, 80}, kBackground},  // between the two panels
      {{8, 8}, kAccent},         // button panel outline
      {{80, 64}, kPanel},        // fill between a button and the separator
      {{80, 67}, kAccent},       // first separator
      {{80, 100}, kAccent},      // second separator
      {{14, 15}, kAccent},       // patch button frame
      {{150, 25}, kPanel},       // patch button face, right of its caption
      {{167, 8}, kAccent},       // Console panel outline
      {{300, 100}, kPanel},      // the empty Console
  };
  for (const auto& [point, colour] : pixels) {
    EXPECT_EQ(image.pixelColor(point), colour) << point.x() << "," << point.y();
  }
}

// The columns of `image` inside `area` that hold a pixel of another colour than `fill`.
std::pair<int, int> InkColumns(const QImage& image, const QRect& area, const QColor& fill) {
  int first = -1;
  int last = -1;
  for (int x = area.left(); x <= area.right(); ++x) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
      if (image.pixelColor(x, y) == fill) continue;
      if (first < 0) first = x;
      last = x;
      break;
    }
  }
  return {first, last};
}

// Every caption, drawn, keeps a margin of at least two pixels inside its button, check box or
// panel, with the built-in texts and in English.
TEST_F(MainWindowTest, CaptionsFitTheirBoxesInBothLanguages) {
  ProgramWindows windows = CreateProgramWindows();
  Tfrm& frm = *windows.frm;
  program_.Write("English.lng", test::ReadFile(test::SourceFile("lang/English.lng")));
  frm.SetProgramDirectory(program_.Path());
  const QList<QWidget*> all = {&frm, windows.frmOptions, windows.frmBatch, windows.frmAbout,
                               windows.frmLang};
  for (const char* lang_file : {"", "English.lng"}) {
    frm.ApplyLanguage(lang_file);
    for (QWidget* window : all) {
      for (TSelButton* button : window->findChildren<TSelButton*>()) {
        SCOPED_TRACE(lang_file + (" " + button->objectName().toStdString()));
        const QImage image = button->grab().toImage();
        const auto [first, last] =
            InkColumns(image, button->rect().adjusted(1, 1, -1, -1), button->Color());
        EXPECT_GE(first, 3);
        EXPECT_LE(last, button->width() - 4);
      }
      for (TBitCheckBox* box : window->findChildren<TBitCheckBox*>()) {
        SCOPED_TRACE(lang_file + (" " + box->objectName().toStdString()));
        const auto [first, last] = InkColumns(box->grab().toImage(), box->rect(), box->Color());
        EXPECT_LE(last, box->width() - 3);
      }
      for (QLabel* label : window->findChildren<QLabel*>()) {
        SCOPED_TRACE(lang_file + (" " + label->objectName().toStdString()));
        const QRect text(label->pos(), QSize(label->fontMetrics().horizontalAdvance(label->text()),
                                             label->height()));
        bool inside_a_panel = false;
        for (TPanelShape* panel : window->findChildren<TPanelShape*>()) {
          if (panel->geometry().adjusted(2, 0, -2, 0).contains(text)) inside_a_panel = true;
        }
        EXPECT_TRUE(inside_a_panel) << text.right();
      }
    }
  }
}

// Ctrl+O, Alt and a caption's first letter, and Tab then Enter or Space reach the commands.
TEST_F(MainWindowTest, TheCommandsWorkFromTheKeyboard) {
  program_.Write("English.lng", test::ReadFile(test::SourceFile("lang/English.lng")));
  program_.Write("korvel.ini", "[Korvel]\nLangFile=English.lng\n");
  Show();
  QApplication::setActiveWindow(frm_.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(frm_.get()));
  // Whether the keys opened the file dialog, which takes the queued name.
  auto opens = [&](const std::function<void()>& keys) {
    Boxes::QueueFiles({QString::fromStdString(games_ / "gone.jar")});
    keys();
    return Boxes::OpenFile(nullptr, "", "").isEmpty();
  };
  EXPECT_TRUE(opens([&] { QTest::keyClick(frm_.get(), Qt::Key_O, Qt::ControlModifier); }));
  EXPECT_EQ(ui_.btnJar->Caption(), "Patch JAR...");
  EXPECT_EQ(ui_.btnJar->MnemonicIndex(), 0);
  EXPECT_TRUE(opens([&] { QTest::keyClick(frm_.get(), Qt::Key_P, Qt::AltModifier); }));
  EXPECT_FALSE(opens([&] { QTest::keyClick(frm_.get(), Qt::Key_Q, Qt::AltModifier); }));

  // Tab moves the focus over the commands; focus moved so is drawn.
  ui_.btnBatch->setFocus();
  const QImage unfocused = ui_.btnJar->grab().toImage();
  QTest::keyClick(ui_.btnBatch, Qt::Key_Tab, Qt::ShiftModifier);
  ASSERT_TRUE(ui_.btnJar->hasFocus());
  EXPECT_NE(ui_.btnJar->grab().toImage(), unfocused);
  EXPECT_TRUE(opens([&] { QTest::keyClick(ui_.btnJar, Qt::Key_Return); }));
  EXPECT_TRUE(opens([&] { QTest::keyClick(ui_.btnJar, Qt::Key_Space); }));
  QTest::keyClick(ui_.btnJar, Qt::Key_Tab);
  EXPECT_TRUE(ui_.btnBatch->hasFocus());

  QTest::keyClick(frm_.get(), Qt::Key_E, Qt::AltModifier);  // Exit
  EXPECT_FALSE(frm_->isVisible());
}

}  // namespace
}  // namespace korvel
