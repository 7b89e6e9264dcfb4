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
  EXPECT_EQ(about.windowTitle(), "О Korvel");
  EXPECT_EQ(about.size(), QSize(297, 137));
  EXPECT_EQ(about.lblName1->text() + about.lblName2->text(), "Korvel");
  EXPECT_TRUE(about.lblName2->font().bold());
  EXPECT_FALSE(about.lblName1->font().bold());
  EXPECT_EQ(about.lblAuthor->text(), "the Korvel developers");
  for (const QLabel* label : about.findChildren<QLabel*>()) {
    EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
  }
  const QImage image = about.grab().toImage();
  EXPECT_EQ(image.pixelColor(8, 50), QColor(0x0D, 0x54, 0x9B));   // the panel's outline
  EXPECT_EQ(image.pixelColor(2, 120), QColor(0xD8, 0xE4, 0xED));  // the window's background

  test::WhenShown(about, [&] { QTest::mouseClick(about.btnOk, Qt::LeftButton); });
  EXPECT_EQ(about.exec(), QDialog::Accepted);
}

}  // namespace
}  // namespace korvel
