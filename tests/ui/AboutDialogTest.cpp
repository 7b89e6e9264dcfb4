// Tests of the About box.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "tests/ui/DialogTestSupport.h"
#include "ui/AboutDialog.h"
#include "ui/controls/FlatButton.h"

namespace korvel {
namespace {

TEST(AboutDialogTest, ShowsTheProgramAndClosesWithOk) {
  TfrmAbout about;
  const TfrmAbout::Controls ui = about.ControlsForTest();
  EXPECT_EQ(about.windowTitle(), "О Korvel");
  EXPECT_EQ(about.size(), QSize(297, 137));
  EXPECT_EQ(ui.lblName1->text() + ui.lblName2->text(), "Korvel");
  EXPECT_TRUE(ui.lblName2->font().bold());
  EXPECT_FALSE(ui.lblName1->font().bold());
  EXPECT_EQ(ui.lblAuthor->text(), "the Korvel developers");
  for (const QLabel* label : about.findChildren<QLabel*>()) {
    EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
  }
  const QImage image = about.grab().toImage();
  EXPECT_EQ(image.pixelColor(8, 50), QColor(0x0D, 0x54, 0x9B));   // the panel's outline
  EXPECT_EQ(image.pixelColor(2, 120), QColor(0xD8, 0xE4, 0xED));  // the window's background

  test::WhenShown(about, [&] { QTest::mouseClick(ui.btnOk, Qt::LeftButton); });
  EXPECT_EQ(about.exec(), QDialog::Accepted);
}

}  // namespace
}  // namespace korvel
