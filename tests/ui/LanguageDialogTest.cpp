// Tests of the language dialog: the list of language files, the current language and the choice.
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <algorithm>
#include <filesystem>

#include "support/TempDir.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/LanguageDialog.h"
#include "ui/controls/FlatButton.h"

namespace korvel {
namespace {

using test::WhenShown;

class LanguageDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    english_ = program_ / "English.lng";
    std::filesystem::copy_file(test::SourceFile("lang/English.lng"), english_);
    noname_ = program_.Write("Klingon.lng", "[General]\nOk=Qapla'\n");
    program_.Write("notes.txt", "[Korvel Language File]\nName=Not a language file\n");
    program_.Write("sub/Deep.lng", "[Korvel Language File]\nName=Deep\n");
  }

  // The list's texts, entry 0 first.
  QStringList Texts() const {
    QStringList texts;
    for (int i = 0; i < ui_.lbLang->count(); ++i) texts << ui_.lbLang->item(i)->text();
    return texts;
  }

  // Chooses the entry showing `text` and presses OK; returns the dialog's answer.
  std::optional<std::string> Choose(const QString& text, const std::string& current = "") {
    WhenShown(dialog_, [&] {
      const QList<QListWidgetItem*> items = ui_.lbLang->findItems(text, Qt::MatchExactly);
      ASSERT_EQ(items.size(), 1);
      ui_.lbLang->setCurrentItem(items.front());
      QTest::mouseClick(ui_.btnOk, Qt::LeftButton);
      EXPECT_FALSE(dialog_.isVisible());
    });
    return dialog_.Execute({program_.Path()}, current);
  }

  test::BoxesReset boxes_;
  test::TempDir program_;
  std::string english_;
  std::string noname_;
  TfrmLang dialog_;
  const TfrmLang::Controls ui_ = dialog_.ControlsForTest();
};

TEST_F(LanguageDialogTest, IsBuiltByItsConstructor) {
  EXPECT_EQ(dialog_.size(), QSize(443, 218));
  EXPECT_EQ(dialog_.windowTitle(), "Language");
  EXPECT_EQ(ui_.lblCurLang->text(), "<Default>");
  EXPECT_EQ(ui_.btnOk->Caption(), "Ok");
  EXPECT_EQ(ui_.lbLang->geometry(), QRect(19, 38, 402, 113));
  const QImage image = dialog_.grab().toImage();
  EXPECT_EQ(image.pixelColor(15, 100), QColor(0x0D, 0x54, 0x9B));  // the list's outline
}

TEST_F(LanguageDialogTest, ListsTheProgramDirectoryFilesByDisplayName) {
  WhenShown(dialog_, [&] {
    const QStringList texts = Texts();
    ASSERT_EQ(texts.size(), 3);
    EXPECT_EQ(texts[0], "<Default>");
    EXPECT_TRUE(texts.contains("English"));
    EXPECT_TRUE(texts.contains("Klingon"));  // no Name: the file name without extension
    ASSERT_EQ(ui_.lbLang->selectedItems().size(), 1);
    EXPECT_EQ(ui_.lbLang->selectedItems().front()->text(), "English");  // the current one
    EXPECT_EQ(dialog_.LanguagePath(0), "");
    EXPECT_EQ(ui_.lblCurLang->text(), "English");
  });
  EXPECT_FALSE(dialog_.Execute({program_.Path()}, english_).has_value());
}

TEST_F(LanguageDialogTest, TheChoiceComesBackAsAFullPath) {
  EXPECT_EQ(Choose("English"), english_);
  EXPECT_EQ(Choose("Klingon"), noname_);
  EXPECT_EQ(Choose("<Default>", english_), "");
  EXPECT_TRUE(Boxes::Shown().empty());
}

TEST_F(LanguageDialogTest, ARelativeCurrentFileIsInTheProgramDirectory) {
  WhenShown(dialog_, [&] { EXPECT_EQ(ui_.lblCurLang->text(), "English"); });
  dialog_.Execute({program_.Path() + "/"}, "English.lng");
}

TEST_F(LanguageDialogTest, ListsEveryLanguageFolderInOrder) {
  test::TempDir user;
  user.Write("Mine.lng", "");
  user.Write("English.lng", "[Korvel Language File]\nName=My English\n");
  WhenShown(dialog_, [&] {
    EXPECT_EQ(Texts().size(), 5);
    EXPECT_EQ(dialog_.LanguagePath(1).rfind(user.Path(), 0), 0u);  // the user's folder first
    EXPECT_EQ(ui_.lblCurLang->text(), "My English");               // found there before the other
  });
  dialog_.Execute({user.Path(), program_.Path(), user / "missing"}, "English.lng");
}

TEST_F(LanguageDialogTest, OkWithoutASelectionKeepsTheDialogOpen) {
  WhenShown(dialog_, [&] {
    QTest::mouseClick(ui_.btnOk, Qt::LeftButton);
    EXPECT_TRUE(dialog_.isVisible());
    ASSERT_EQ(Boxes::Shown().size(), 1u);
    EXPECT_EQ(Boxes::Shown().front().kind, BoxKind::kError);
    EXPECT_EQ(Boxes::Shown().front().text, "Nothing selected!");
    QTest::mouseClick(ui_.btnCancel, Qt::LeftButton);
    EXPECT_FALSE(dialog_.isVisible());
  });
  EXPECT_FALSE(dialog_.Execute({program_.Path()}, "/elsewhere/Gone.lng").has_value());

  // The entry drawn as current is a choice, selected or not: here the current <Default>.
  WhenShown(dialog_, [&] {
    ui_.lbLang->clearSelection();
    QTest::mouseClick(ui_.btnOk, Qt::LeftButton);
  });
  EXPECT_EQ(dialog_.Execute({program_.Path()}, ""), std::optional<std::string>(""));
  EXPECT_EQ(Boxes::Shown().size(), 1u);
}

TEST_F(LanguageDialogTest, EachShowingRebuildsTheListWithTheCurrentOneSelected) {
  EXPECT_EQ(Choose("English"), english_);
  const std::string twin = program_.Write("Twin.lng", "[Korvel Language File]\nName=English\n");
  WhenShown(dialog_, [&] {
    EXPECT_EQ(Texts().size(), 4);
    ASSERT_EQ(ui_.lbLang->selectedItems().size(), 1);
    EXPECT_EQ(ui_.lbLang->row(ui_.lbLang->selectedItems().front()), 0);
    // Two entries with the same text, each with its own file.
    std::vector<std::string> paths;
    for (int i = 0; i < ui_.lbLang->count(); ++i) {
      if (ui_.lbLang->item(i)->text() == "English") paths.push_back(dialog_.LanguagePath(i));
    }
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{english_, twin}));
  });
  dialog_.Execute({program_.Path()}, "");
}

TEST_F(LanguageDialogTest, AtMost64FilesAreListed) {
  for (int i = 0; i < 70; ++i) program_.Write("l" + std::to_string(i) + ".lng", "");
  WhenShown(dialog_, [&] {
    EXPECT_EQ(ui_.lbLang->count(), 65);
    EXPECT_EQ(dialog_.LanguagePath(0), "");
  });
  dialog_.Execute({program_.Path()}, "");
}

}  // namespace
}  // namespace korvel
