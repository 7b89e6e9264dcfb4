// Tests of the program's start and end: the engine check, the windows working together, the
// settings and the language, and the archive hooks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "pipeline/PatchJob.h"
#include "tests/ui/MainWindowTestSupport.h"
#include "ui/AboutDialog.h"
#include "ui/BatchDialog.h"
#include "ui/LanguageDialog.h"
#include "ui/OptionsDialog.h"
#include "ui/controls/FlatButton.h"
#include "ui/controls/GradientGauge.h"
#include "ui/controls/WindowFade.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::Builtin;
using test::EnginesBuilt;
using test::MainWindowTest;
using test::QBuiltin;
using test::TempDir;

// Each check runs in a fresh process: once any test used the engines they may stay mapped in
// this one, where a bare name would find them.
TEST(MainWindowEngines, TheCheckNamesEachMissingLibrary) {
  ASSERT_TRUE(EnginesBuilt()) << "the engines are not built";
  const TempDir only_unpack;
  fs::copy_file(fs::path(KORVEL_PROGRAM_DIR) / "libunpkeng.so", only_unpack / "libunpkeng.so");
  const TempDir none;
  const std::vector<std::pair<std::string, QString>> cases = {
      {only_unpack.Path(), "\nlibpackeng.so"},
      {none.Path(), "\nlibunpkeng.so\nlibpackeng.so"},
  };
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const auto& [folder, names] : cases) {
    const auto check = [&folder = folder, &only_unpack, &none] {
      Tfrm frm;
      frm.SetEngineDirectory(folder);
      Boxes::Shown().clear();
      const bool present = frm.CheckEngineLibraries();
      for (const BoxRecord& box : Boxes::Shown()) {
        std::fprintf(stderr, "box %d %s\n", static_cast<int>(box.kind),
                     qPrintable(QString(box.text).replace('\n', '/')));
      }
      const int status = present || frm.ControlsForTest().WindowFade->Active() ? 1 : 0;
      fs::remove_all(only_unpack.Path());  // _Exit skips the destructors
      fs::remove_all(none.Path());
      std::_Exit(status);  // no leak report for the objects the early exit leaves behind
    };
    const std::string expected = "box " + std::to_string(static_cast<int>(BoxKind::kError)) + " " +
                                 Builtin(TextId::kReqFilesNotFound) +
                                 QString(names).replace('\n', '/').toStdString();
    EXPECT_EXIT(check(), testing::ExitedWithCode(0), expected);
  }
}

TEST(MainProgram, ArchiveBoxesBecomeProgramBoxes) {
  Boxes::EnableTestMode(true);
  InstallArchiveUiHooks();
  const auto request = [](const char* message, TArchiveBoxKind kind, TArchiveBoxButtons buttons) {
    TArchiveBoxRequest r;
    r.Message = message;
    r.Kind = kind;
    r.Buttons = buttons;
    return r;
  };
  TArchiveBoxRequest question = request("Overwrite?", TArchiveBoxKind::kQuestion,
                                        {TArchiveBoxButton::Yes, TArchiveBoxButton::No});
  Boxes::QueueAnswer(true);
  EXPECT_EQ(TArchiveBox::Show(question), kArchiveMrYes);
  Boxes::QueueAnswer(false);
  EXPECT_EQ(TArchiveBox::Show(question), kArchiveMrNo);
  TArchiveBoxRequest error =
      request("Failed to load", TArchiveBoxKind::kError, {TArchiveBoxButton::OK});
  EXPECT_EQ(TArchiveBox::Show(error), kArchiveMrOk);
  TArchiveBoxRequest password = request("Password", TArchiveBoxKind::kPassword,
                                        {TArchiveBoxButton::OK, TArchiveBoxButton::Cancel});
  EXPECT_EQ(TArchiveBox::Show(password), kArchiveMrCancel);
  ASSERT_EQ(Boxes::Shown().size(), 3u);
  EXPECT_EQ(Boxes::Shown()[0].kind, BoxKind::kConfirm);
  EXPECT_EQ(Boxes::Shown()[2].kind, BoxKind::kError);
  EXPECT_EQ(Boxes::Shown()[2].text, "Failed to load");

  ArchiveUiHooks().SetWaitCursor(true);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  ArchiveUiHooks().SetWaitCursor(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  SetArchiveUiHooks(TArchiveUiHooks{});
}

TEST_F(MainWindowTest, TheProgramsWindowsWorkTogether) {
  ProgramWindows windows = CreateProgramWindows();
  Tfrm& frm = *windows.frm;
  // Created once, in the program's order, and owned by the main window.
  const QList<QDialog*> dialogs = frm.findChildren<QDialog*>(Qt::FindDirectChildrenOnly);
  ASSERT_EQ(dialogs.size(), 4);
  EXPECT_EQ(dialogs[0], windows.frmAbout);
  EXPECT_EQ(dialogs[1], windows.frmOptions);
  EXPECT_EQ(dialogs[2], windows.frmBatch);
  EXPECT_EQ(dialogs[3], windows.frmLang);

  // Applying a language sets the dialogs' captions too.
  program_.Write("Test.lng",
                 "[Batch]\nBatchProcessCaption=Batch run\n[Options]\nOptionsCaption=Opts\n");
  frm.SetProgramDirectory(program_.Path());
  frm.ApplyLanguage("Test.lng");
  EXPECT_EQ(windows.frmBatch->windowTitle(), "Batch run");
  EXPECT_EQ(windows.frmOptions->windowTitle(), "Opts");

  // Each dialog has a close button only and is centred on the main window from its first showing.
  frm.SetSettingsPath(program_ / "korvel.ini");
  frm.show();
  for (QDialog* dialog : dialogs) {
    SCOPED_TRACE(dialog->objectName().toStdString());
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dialog->windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    dialog->show();
    EXPECT_LE((dialog->geometry().center() - frm.geometry().center()).manhattanLength(), 1);
    dialog->hide();
  }

  // A batch job drives the batch dialog's file gauge and writes no Console line.
  const std::string jar = CopyGame("batch", true);
  REQUIRE_GAME(jar);
  frm.SetEngineDirectory(KORVEL_PROGRAM_DIR);
  const QString before = frm.ControlsForTest().mem->toPlainText();
  EXPECT_EQ(frm.ProcessJar(jar, false).outcome, JobOutcome::kAdapted);
  EXPECT_EQ(frm.ControlsForTest().mem->toPlainText(), before);
  EXPECT_EQ(windows.frmBatch->ControlsForTest().gFile->Progress(), 100);
}

TEST_F(MainWindowTest, SettingsAndLanguageAreReadOnFirstShow) {
  fs::create_directories(program_ / "lang");
  program_.Write("korvel.ini", "[Korvel]\nConfirmDrop=0\nResW=176\nLangFile=lang/en.lng\n");
  program_.Write("lang/en.lng", "[Main]\nPatchJar=Patch JAR...\nExit=Quit\n");
  EXPECT_EQ(frm_->settings().ResW, 128);  // nothing is read before the first show
  Show();
  EXPECT_FALSE(frm_->settings().ConfirmDrop);
  EXPECT_EQ(frm_->settings().ResW, 176);
  EXPECT_EQ(ui_.btnJar->Caption(), "Patch JAR...");
  EXPECT_EQ(ui_.btnExit->Caption(), "Quit");
}

// Without a language chosen in korvel.ini, the system's language is taken when it is installed;
// an empty choice is a choice (the built-in texts).
TEST_F(MainWindowTest, TheFirstStartTakesTheSystemLanguageWhenInstalled) {
  program_.Write("English.lng", test::ReadFile(test::SourceFile("lang/English.lng")));
  const QLocale saved;
  struct Case {
    const char* locale;
    const char* ini;
    std::string lang_file;
  };
  const std::vector<Case> cases = {{"en_GB", "", "English.lng"},
                                   {"en_US", "[Korvel]\nResW=176\n", "English.lng"},
                                   {"ru_RU", "", ""},
                                   {"de_DE", "", ""},
                                   {"en_US", "[Korvel]\nLangFile=\n", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.locale) + " " + c.ini);
    QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
    program_.Write("korvel.ini", c.ini);
    Tfrm frm;
    frm.SetProgramDirectory(program_.Path());
    frm.SetSettingsPath(program_ / "korvel.ini");
    frm.show();
    EXPECT_EQ(frm.settings().LangFile, c.lang_file);
    EXPECT_EQ(frm.windowTitle() == "Java game adapter for Virel", !c.lang_file.empty());
  }
  QLocale::setDefault(saved);
}

TEST_F(MainWindowTest, TheOpenDialogStartsInTheLastFolderUsedAcrossStarts) {
  const std::string locked = games_.Write("locked.jar", "PK");
  fs::permissions(locked, fs::perms::owner_write, fs::perm_options::remove);  // no job runs
  Show();
  frm_->btnJarClick();  // cancelled
  EXPECT_EQ(Boxes::LastFolder(), "");
  Boxes::QueueFiles({QString::fromStdString(locked)});
  frm_->btnJarClick();
  frm_->btnJarClick();
  EXPECT_EQ(Boxes::LastFolder(), QString::fromStdString(games_.Path()));
  ASSERT_TRUE(frm_->close());

  Tfrm second;
  second.SetProgramDirectory(program_.Path());
  second.SetSettingsPath(program_ / "korvel.ini");
  second.show();
  second.btnJarClick();
  EXPECT_EQ(Boxes::LastFolder(), QString::fromStdString(games_.Path()));
}

// The language command: the choice made in the language dialog is stored and applied at once.
TEST_F(MainWindowTest, TheLanguageCommandAppliesTheChoiceAtOnce) {
  ProgramWindows windows = CreateProgramWindows();
  Tfrm& frm = *windows.frm;
  const std::string english =
      program_.Write("English.lng", test::ReadFile(test::SourceFile("lang/English.lng")));
  frm.SetProgramDirectory(program_.Path());
  frm.SetSettingsPath(program_ / "korvel.ini");

  // Picks the list entry whose path is `path` in the open dialog, then presses its OK.
  auto choose = [&](const std::string& path) {
    QTimer::singleShot(0, [&windows, path] {
      TfrmLang& lang = *windows.frmLang;
      QListWidget* list = lang.ControlsForTest().lbLang;
      for (int i = 0; i < list->count(); ++i) {
        if (lang.LanguagePath(i) == path) list->setCurrentRow(i);
      }
      lang.btnOkClick();
    });
    frm.btnLangClick();
  };

  choose(english);
  EXPECT_EQ(frm.settings().LangFile, english);
  const QString english_caption = frm.ControlsForTest().btnJar->Caption();
  EXPECT_NE(english_caption, QBuiltin(TextId::kPatchJar));
  EXPECT_EQ(frm.texts()[TextId::kPatchJar], english_caption.toStdString());
  EXPECT_EQ(frm.windowTitle(), "Java game adapter for Virel");
  EXPECT_EQ(windows.frmAbout->windowTitle(), "About Korvel");
  EXPECT_EQ(windows.frmAbout->ControlsForTest().lblAuthorCapt->text(), "Developed by:");

  choose("");  // "<Default>": the built-in texts come back at once
  EXPECT_EQ(frm.settings().LangFile, "");
  EXPECT_EQ(frm.ControlsForTest().btnJar->Caption(), QBuiltin(TextId::kPatchJar));
  EXPECT_EQ(windows.frmBatch->windowTitle(), QBuiltin(TextId::kBatchProcessCaption));
}

TEST_F(MainWindowTest, AnInstalledCopyKeepsNothingBesideTheProgram) {
  const std::string jar = CopyGame("installed", true);
  REQUIRE_GAME(jar);
  TempDir home;
  TempDir shared;
  shared.Write("lang/en.lng", "[Main]\nExit=Quit\n");
  home.Write("config/korvel/korvel.ini", "[Korvel]\nConfirmDrop=0\nLangFile=en.lng\n");
  frm_->SetLocations(LocationsFor(program_.Path(), false, shared.Path(),
                                  {home / "config", home / "data", home / "cache", ""}));
  Show();
  EXPECT_EQ(ui_.btnExit->Caption(), "Quit");  // found in the installed language folder
  frm_->FilesDropped({jar});
  EXPECT_EQ(ConsoleLines().back(), QBuiltin(TextId::kAdapted));
  EXPECT_TRUE(fs::exists(home / "cache/korvel/korvel.lock"));  // the job's folder, made for it
  frm_->settings().ResW = 99;
  EXPECT_TRUE(frm_->close());
  EXPECT_EQ(LoadSettings(home / "config/korvel/korvel.ini").ResW, 99);
  EXPECT_TRUE(fs::is_empty(program_.Path()));
}

TEST_F(MainWindowTest, CloseWritesTheSettingsEvenWhenTheWriteFails) {
  Show();
  frm_->settings().ResW = 200;
  frm_->settings().Midway = "/opt/midway";
  EXPECT_TRUE(frm_->close());
  EXPECT_FALSE(frm_->isVisible());
  EXPECT_EQ(LoadSettings(program_ / "korvel.ini"), frm_->settings());
  EXPECT_TRUE(Shown().empty());

  // A settings file that cannot be written is reported, and the window still closes.
  Tfrm second;
  second.SetProgramDirectory(program_.Path());
  second.SetSettingsPath(program_ / "no-such-folder/korvel.ini");
  second.show();
  EXPECT_TRUE(second.close());
  EXPECT_FALSE(second.isVisible());
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].kind, BoxKind::kError);
  EXPECT_TRUE(Shown()[0].text.startsWith("Unable to write to "));
}

}  // namespace
}  // namespace korvel
