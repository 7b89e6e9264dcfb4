// Tests of the Options dialog: the resolution edits while typing and at OK, the resolution and
// upload tool buttons, and the exchange with the Settings record.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "support/TempDir.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/OptionsDialog.h"
#include "ui/controls/FlatButton.h"
#include "ui/controls/GlyphCheckBox.h"

namespace korvel {
namespace {

using test::WhenShown;

class OptionsDialogTest : public testing::Test {
 protected:
  // What the edit shows after each typed key, starting from an empty edit.
  static QStringList Type(QLineEdit* edit, const QString& keys) {
    edit->clear();
    QStringList shown;
    for (const QChar key : keys) {
      QTest::keyClicks(edit, QString(key));
      shown << edit->text();
    }
    return shown;
  }

  test::BoxesReset boxes_;
  Settings settings_;
  TfrmOptions dialog_;
  const TfrmOptions::Controls ui_ = dialog_.ControlsForTest();
};

TEST_F(OptionsDialogTest, IsBuiltByItsConstructorWithTheBuiltInCaptions) {
  EXPECT_EQ(dialog_.size(), QSize(590, 218));
  EXPECT_EQ(dialog_.windowTitle(), "Параметры");
  EXPECT_EQ(ui_.cbBackup->Caption(), "Создавать backup Jar-файла");
  EXPECT_EQ(ui_.cbBackup->size(), QSize(273, 17));
  EXPECT_EQ(ui_.lblOptsDragDrop->text(), "Drag&Drop");  // "&&" shows one "&"
  EXPECT_EQ(ui_.btnRes128x116->Caption(), "128x116");
  EXPECT_EQ(ui_.edResW->text(), "128");
  const QImage image = dialog_.grab().toImage();
  EXPECT_EQ(image.pixelColor(8, 40), QColor(0x0D, 0x54, 0x9B));    // shpOptsJarBg's outline
  EXPECT_EQ(image.pixelColor(450, 70), QColor(0xE8, 0xEF, 0xF4));  // the JAD group's panel
}

TEST_F(OptionsDialogTest, ALanguageFileSetsBothUnitLabels) {
  test::TempDir dir;
  const Language texts = Language::FromFile(dir.Write("x.lng", "[Options]\nPixels=px\n"));
  dialog_.ApplyLanguage(texts);
  EXPECT_EQ(ui_.lblCanvasWp->text(), "px");
  EXPECT_EQ(ui_.lblCanvasHp->text(), "px");
  EXPECT_EQ(ui_.btnOk->Caption(), "Ok");
}

TEST_F(OptionsDialogTest, TypingKeepsTheResolutionWithinOneTo255) {
  WhenShown(dialog_, [&] {
    EXPECT_EQ(Type(ui_.edResW, "300"), QStringList({"3", "30", "255"}));
    EXPECT_EQ(Type(ui_.edResW, "0"), QStringList({"1"}));
    EXPECT_EQ(Type(ui_.edResW, "x"), QStringList({"1"}));
    EXPECT_EQ(Type(ui_.edResW, "-"), QStringList({"1"}));
    EXPECT_EQ(Type(ui_.edResH, "-7"), QStringList({"1", "17"}));
    EXPECT_EQ(Type(ui_.edResH, "25a"), QStringList({"2", "25", "1"}));
    ui_.edResH->clear();  // an empty edit is left alone while typing
    EXPECT_EQ(ui_.edResH->text(), "");
    QTest::mouseClick(ui_.btnOk, Qt::LeftButton);
  });
  ASSERT_TRUE(dialog_.Execute(settings_));
  EXPECT_EQ(settings_.ResW, 1);
  EXPECT_EQ(settings_.ResH, 116);  // an empty height becomes the default at OK
}

TEST_F(OptionsDialogTest, EmptyEditsAtOkStoreTheDefaults) {
  settings_.ResW = 50;
  settings_.ResH = 60;
  WhenShown(dialog_, [&] {
    ui_.edResW->clear();
    ui_.edResH->clear();
    QTest::mouseClick(ui_.btnOk, Qt::LeftButton);
  });
  ASSERT_TRUE(dialog_.Execute(settings_));
  EXPECT_EQ(settings_.ResW, 128);
  EXPECT_EQ(settings_.ResH, 116);
}

TEST_F(OptionsDialogTest, OutOfRangeRecordValuesAreCorrectedWhenShown) {
  for (const auto& c : std::vector<std::pair<int, QString>>{
           {0, "1"}, {300, "255"}, {1000, "255"}, {-12, "1"}, {255, "255"}, {7, "7"}}) {
    // A plain pair, not a structured binding: lambdas capture bindings only from C++20 on,
    // which Clang 14 does not implement.
    const int value = c.first;
    const QString shown = c.second;
    settings_.ResW = value;
    settings_.ResH = value;
    WhenShown(dialog_, [&] {
      EXPECT_EQ(ui_.edResW->text(), shown) << value;
      EXPECT_EQ(ui_.edResH->text(), shown) << value;
    });
    EXPECT_FALSE(dialog_.Execute(settings_));
    EXPECT_EQ(settings_.ResW, value);  // nothing stored without OK
  }
}

TEST_F(OptionsDialogTest, OkCorrectionsOfTheEditTexts) {
  EXPECT_EQ(FinalResolutionText("", "128"), "128");
  EXPECT_EQ(FinalResolutionText("0", "128"), "1");
  EXPECT_EQ(FinalResolutionText("999", "116"), "255");
  EXPECT_EQ(FinalResolutionText("1x", "116"), "116");
  EXPECT_EQ(FinalResolutionText("-", "128"), "128");
  EXPECT_EQ(FinalResolutionText("42", "128"), "42");
}

TEST_F(OptionsDialogTest, OkStoresEveryValue) {
  const QString tool = QStringLiteral("/opt/midway/MIDway.exe");
  Settings expected = settings_;
  expected.Backup = !settings_.Backup;
  expected.Nokia = !settings_.Nokia;
  expected.Jad = !settings_.Jad;
  expected.FilterAttr = !settings_.FilterAttr;
  expected.AskMidway = !settings_.AskMidway;
  expected.ConfirmDrop = !settings_.ConfirmDrop;
  expected.Midway = tool.toStdString();
  expected.ResW = 128;
  expected.ResH = 128;
  expected.HandsetKeys = ParseKeyLayout("21-22");
  settings_.LangFile = expected.LangFile = "/somewhere/English.lng";
  WhenShown(dialog_, [&] {
    for (TBitCheckBox* box : {ui_.cbBackup, ui_.cbNokia, ui_.cbJad, ui_.cbFilterAttr,
                              ui_.cbAskMidway, ui_.cbConfirmDrop}) {
      QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(5, 8));
    }
    Boxes::QueueFiles({tool});
    QTest::mouseClick(ui_.btnMidway, Qt::LeftButton);
    EXPECT_EQ(dialog_.MidwayPath(), tool.toStdString());
    // The button names the chosen tool; its hint has the whole path.
    EXPECT_TRUE(ui_.btnMidway->Caption().endsWith(": " + QFileInfo(tool).fileName()));
    EXPECT_EQ(ui_.btnMidway->Hint(), tool);
    QTest::mouseClick(ui_.btnRes128x128, Qt::LeftButton);
    EXPECT_EQ(ui_.edResW->text(), "128");
    EXPECT_EQ(ui_.edResH->text(), "128");
    ui_.cbHandsetKeys->setCurrentText("21-22");
    QTest::mouseClick(ui_.btnOk, Qt::LeftButton);
  });
  ASSERT_TRUE(dialog_.Execute(settings_));
  EXPECT_EQ(settings_, expected);

  // A custom layout from the settings file is offered as it is.
  settings_.HandsetKeys = ParseKeyLayout("custom:-6,-7,-5,-1,-2,-3,-99");
  WhenShown(dialog_, [&] {
    EXPECT_EQ(ui_.cbHandsetKeys->currentText().toStdString(), KeyLayoutName(settings_.HandsetKeys));
    QTest::mouseClick(ui_.btnOk, Qt::LeftButton);
  });
  ASSERT_TRUE(dialog_.Execute(settings_));
  EXPECT_EQ(KeyLayoutName(settings_.HandsetKeys), "custom:-6,-7,-5,-1,-2,-3,-99");
}

TEST_F(OptionsDialogTest, EnterIsOkAndEscapeCancels) {
  for (const auto& [key, accepted] :
       {std::pair{Qt::Key_Return, true}, std::pair{Qt::Key_Escape, false}}) {
    WhenShown(dialog_, [&, key = key] { QTest::keyClick(&dialog_, key); });
    EXPECT_EQ(dialog_.Execute(settings_), accepted);
  }
}

TEST_F(OptionsDialogTest, CancelKeepsTheRecordAndTheNextShowingStartsFromIt) {
  settings_.Midway = "/old/midway.exe";
  settings_.ResW = 100;
  settings_.ResH = 90;
  const Settings before = settings_;
  WhenShown(dialog_, [&] {
    QTest::mouseClick(ui_.cbNokia, Qt::LeftButton, Qt::NoModifier, QPoint(5, 8));
    Boxes::QueueFiles({"/new/midway.exe"});
    QTest::mouseClick(ui_.btnMidway, Qt::LeftButton);
    QTest::mouseClick(ui_.btnRes128x116, Qt::LeftButton);
    EXPECT_EQ(ui_.edResW->text(), "128");
    EXPECT_EQ(ui_.edResH->text(), "116");
    QTest::mouseClick(ui_.btnCancel, Qt::LeftButton);
  });
  EXPECT_FALSE(dialog_.Execute(settings_));
  EXPECT_EQ(settings_, before);

  // A file dialog cancelled keeps the path; the next showing starts from the record.
  WhenShown(dialog_, [&] {
    EXPECT_EQ(ui_.cbNokia->Checked(), before.Nokia);
    EXPECT_EQ(ui_.edResW->text(), "100");
    QTest::mouseClick(ui_.btnMidway, Qt::LeftButton);
    EXPECT_EQ(dialog_.MidwayPath(), before.Midway);
    QTest::mouseClick(ui_.btnOk, Qt::LeftButton);
  });
  EXPECT_TRUE(dialog_.Execute(settings_));
  EXPECT_EQ(settings_, before);
}

}  // namespace
}  // namespace korvel
