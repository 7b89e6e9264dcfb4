// Tests of the main window, the program's start and the archive hooks, with recorded boxes.
#include "ui/MainWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "archive/ArchiveMessages.h"
#include "pipeline/PatchJob.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "support/TempDir.h"
#include "ui/AboutDialog.h"
#include "ui/BatchDialog.h"
#include "ui/Boxes.h"
#include "ui/LanguageDialog.h"
#include "ui/MainProgram.h"
#include "ui/MainShape.h"
#include "ui/OptionsDialog.h"
#include "ui/controls/FlatButton.h"
#include "ui/controls/GlyphCheckBox.h"
#include "ui/controls/GradientGauge.h"
#include "ui/controls/WindowFade.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

const QColor kBackground(0xD8, 0xE4, 0xED);
const QColor kPanel(0xE8, 0xEF, 0xF4);
const QColor kAccent(0x0D, 0x54, 0x9B);

std::string Builtin(TextId id) {
  return std::string(EntryOf(id).built_in);
}

QString QBuiltin(TextId id) {
  return QString::fromStdString(Builtin(id));
}

bool EnginesBuilt() {
  return fs::exists(fs::path(KORVEL_PROGRAM_DIR) / "libunpkeng.so") &&
         fs::exists(fs::path(KORVEL_PROGRAM_DIR) / "libpackeng.so");
}

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    Boxes::EnableTestMode(true);
    InstallArchiveUiHooks();  // as the program runs: archive boxes recorded, events processed
    saved_cwd_ = platform::CurrentDirectory();
    frm_ = std::make_unique<Tfrm>();
    frm_->SetProgramDirectory(program_.Path());
    frm_->SetSettingsPath(program_ / "korvel.ini");
    frm_->Zip.SetDLLDirectory(KORVEL_PROGRAM_DIR);
    frm_->StartUploadTool = [this](const std::string& program, const std::string& argument) {
      started_.push_back({program, argument});
      return true;
    };
  }

  void TearDown() override {
    frm_.reset();
    SetArchiveUiHooks(TArchiveUiHooks{});
    platform::SetCurrentDirectory(saved_cwd_);
  }

  // Shows the window, which loads the settings and the texts.
  void Show() {
    frm_->show();
    ASSERT_TRUE(frm_->isVisible());
  }

  // A copy of the sample game (and its JAD when asked) in the user's folder, or "" when the
  // sample or the engines are missing.
  std::string CopyGame(const std::string& name, bool with_jad) {
    const std::string jar = test::CorpusFile("apress-hello/hello.jar");
    if (jar.empty() || !EnginesBuilt()) return "";
    // The user's own copies are writable, whatever the sample's mode is.
    if (with_jad)
      games_.Write(name + ".jad", test::ReadFile(test::CorpusFile("apress-hello/hello.jad")));
    return games_.Write(name + ".jar", test::ReadFile(jar));
  }

  QStringList ConsoleLines() const { return frm_->mem->toPlainText().split(QLatin1Char('\n')); }
  int JobsStarted() const { return ConsoleLines().count(QBuiltin(TextId::kInitializing)); }

  std::deque<BoxRecord>& Shown() { return Boxes::Shown(); }

  std::string saved_cwd_;
  TempDir program_;
  TempDir games_;
  std::unique_ptr<Tfrm> frm_;
  std::vector<std::pair<std::string, std::string>> started_;
};

#define REQUIRE_GAME(path) ASSERT_FALSE((path).empty()) << "the engines are missing"

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

  for (TSelButton* button : {frm_->btnJar, frm_->btnBatch, frm_->btnOptions, frm_->btnAbout,
                             frm_->btnExit, frm_->btnLang}) {
    EXPECT_TRUE(button->Color() == kPanel && button->ColorBorder() == kAccent &&
                button->ColorOver() == kAccent && button->ColorDown() == kAccent &&
                button->FontColor() == kAccent && button->ColorOverCaption() == Qt::white &&
                button->Alignment() == taLeftJustify && button->BorderWidth() == 1)
        << button->objectName().toStdString();
  }
  EXPECT_EQ(frm_->btnExit->Caption(), QBuiltin(TextId::kExit));

  // The language button is one of the commands, at the foot of the Console panel.
  EXPECT_EQ(frm_->btnLang->Font(), frm_->btnJar->Font());
  EXPECT_EQ(frm_->btnLang->Caption(), "Language");

  QPlainTextEdit* mem = frm_->mem;
  EXPECT_TRUE(mem->isReadOnly());
  EXPECT_EQ(mem->frameShape(), QFrame::NoFrame);
  EXPECT_EQ(mem->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(mem->document()->blockCount(), 1);
  EXPECT_EQ(mem->toPlainText(), "");
  EXPECT_EQ(frm_->WindowFade->DeltaAlpha(), 10);
  EXPECT_TRUE(frm_->WindowFade->Active());

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

TEST_F(MainWindowTest, SettingsAndLanguageAreReadOnFirstShow) {
  fs::create_directories(program_ / "lang");
  program_.Write("korvel.ini", "[Korvel]\nConfirmDrop=0\nResW=176\nLangFile=lang/en.lng\n");
  program_.Write("lang/en.lng", "[Main]\nPatchJar=Patch JAR...\nExit=Quit\n");
  EXPECT_EQ(frm_->settings().ResW, 128);  // nothing is read before the first show
  Show();
  EXPECT_FALSE(frm_->settings().ConfirmDrop);
  EXPECT_EQ(frm_->settings().ResW, 176);
  EXPECT_EQ(frm_->btnJar->Caption(), "Patch JAR...");
  EXPECT_EQ(frm_->btnExit->Caption(), "Quit");
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

TEST_F(MainWindowTest, PatchButtonRunsTheJobAndShowsTheRightBoxes) {
  const std::string with_jad = CopyGame("withjad", true);
  REQUIRE_GAME(with_jad);
  const std::string without_jad = CopyGame("nojad", false);
  const std::string tool = program_.Write("midway", "#!/bin/sh\n");
  Show();
  auto& settings = frm_->settings();
  const QString finished = QBuiltin(TextId::kFinished);
  const QString upload = QBuiltin(TextId::kUploadToPhone);

  using BoxList = std::vector<std::pair<BoxKind, QString>>;
  const BoxList finished_only = {{BoxKind::kInformation, finished}};
  const BoxList offer = {{BoxKind::kInformation, finished}, {BoxKind::kConfirm, upload}};
  struct Case {
    const char* what;
    std::string jar;
    bool jad_setting;
    std::string midway;
    std::vector<bool> answers;
    BoxList boxes;
    bool started;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"JAD present, no upload tool", with_jad, true, "", {}, finished_only, false},
      {"upload tool deleted", with_jad, true, program_ / "gone", {}, finished_only, false},
      {"upload declined", with_jad, true, tool, {false}, offer, false},
      {"upload accepted", with_jad, true, tool, {true}, offer, true},
      {"Jad off and no JAD", without_jad, false, "", {}, finished_only, false},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Shown().clear();
    started_.clear();
    settings.Jad = c.jad_setting;
    settings.Midway = c.midway;
    ++settings.ResW;  // a new size for each run, or the game would be adapted already
    frm_->AddConsoleLine("left from before");
    Boxes::QueueFiles({QString::fromStdString(c.jar)});
    for (bool answer : c.answers) Boxes::QueueAnswer(answer);
    frm_->btnJarClick();

    // The Console was emptied and holds just this job's lines, after the file's name.
    const QStringList lines = ConsoleLines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], QString::fromStdString(c.jar));
    EXPECT_EQ(lines[1], QBuiltin(TextId::kInitializing));
    EXPECT_EQ(lines.back(), QBuiltin(TextId::kWorkFinished));
    EXPECT_FALSE(lines.contains("left from before"));
    ASSERT_EQ(Shown().size(), c.boxes.size());
    for (std::size_t i = 0; i < c.boxes.size(); ++i) {
      EXPECT_EQ(Shown()[i].kind, c.boxes[i].first);
      EXPECT_EQ(Shown()[i].text, c.boxes[i].second);
    }
    using Start = std::vector<std::pair<std::string, std::string>>;
    const Start expected_start = c.started ? Start{{tool, games_ / "withjad.jad"}} : Start{};
    EXPECT_EQ(started_, expected_start);
  }
  EXPECT_FALSE(fs::exists(games_ / "nojad.jad"));

  // The same size once more: recognised, told in the Console and a box, and not rewritten.
  const std::string adapted = test::ReadFile(without_jad);
  Shown().clear();
  Boxes::QueueFiles({QString::fromStdString(without_jad)});
  frm_->btnJarClick();
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].text, QBuiltin(TextId::kAlreadyAdapted));
  EXPECT_TRUE(ConsoleLines().back().startsWith(QBuiltin(TextId::kAlreadyAdapted) + " "));
  EXPECT_EQ(test::ReadFile(without_jad), adapted);
}

TEST_F(MainWindowTest, AGameWithoutACanvasGetsAnInformationBoxAndStaysAsItWas) {
  const std::string source = test::CorpusFile("opentty-1.1/OpenTTY-1.1.jar");
  ASSERT_TRUE(EnginesBuilt()) << "the engines are not built";
  const std::string jar = games_.Write("tty.jar", test::ReadFile(source));
  Show();
  Boxes::QueueFiles({QString::fromStdString(jar)});
  frm_->btnJarClick();
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].kind, BoxKind::kInformation);
  EXPECT_EQ(Shown()[0].text, QBuiltin(TextId::kNoCanvasFound));
  EXPECT_EQ(ConsoleLines().back(), QBuiltin(TextId::kNoCanvasFound));
  EXPECT_EQ(test::ReadFile(jar), test::ReadFile(source));
}

TEST_F(MainWindowTest, AProgressLineIsReplacedUntilTheNextLine) {
  Show();
  frm_->ClearConsole();
  frm_->AddConsoleLine("step");
  frm_->SetConsoleProgressLine("1 / 3");
  frm_->SetConsoleProgressLine("3 / 3");
  frm_->AddConsoleLine("next");
  frm_->SetConsoleProgressLine("1 / 1");
  EXPECT_EQ(ConsoleLines(), QStringList({"step", "3 / 3", "next", "1 / 1"}));
}

TEST_F(MainWindowTest, ABrokenJarGivesOneBoxItsReasonInTheConsoleAndStaysAsItWas) {
  ASSERT_TRUE(EnginesBuilt()) << "the engines are not built";
  const std::string jar = games_.Write("broken.jar", "this is not a zip archive");
  Show();
  Boxes::QueueFiles({QString::fromStdString(jar)});
  frm_->btnJarClick();
  // The Console names the file as the job starts, then gives the reason of the failure.
  const QStringList lines = ConsoleLines();
  EXPECT_EQ(lines.front(), QString::fromStdString(jar));
  EXPECT_TRUE(lines.contains(QString::fromStdString(frm_->Job().FailureReason())));
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown().back().kind, BoxKind::kError);
  // The reason first, then the two failure lines.
  EXPECT_EQ(Shown().back().text, QString::fromStdString(frm_->Job().FailureReason()) + "\n" +
                                     QBuiltin(TextId::kJarNotCreated) + "\n" +
                                     QBuiltin(TextId::kOriginalFileRecovered));
  EXPECT_FALSE(frm_->Job().FailureReason().empty());
  EXPECT_EQ(test::ReadFile(jar), "this is not a zip archive");

  // Cancelling the open dialog does nothing at all.
  Shown().clear();
  frm_->btnJarClick();
  EXPECT_TRUE(Shown().empty());

  // A read-only JAR is refused as the open dialog refuses it: the job would rewrite it.
  const std::string locked = games_.Write("locked.jar", "PK");
  fs::permissions(locked, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  frm_->ClearConsole();
  Boxes::QueueFiles({QString::fromStdString(locked)});
  frm_->btnJarClick();
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].kind, BoxKind::kError);
  const QString refusal = QString::fromStdString(*ReadOnlyRefusal(locked));
  EXPECT_EQ(Shown()[0].text, refusal);
  EXPECT_EQ(JobsStarted(), 0);
  EXPECT_FALSE(fs::exists(locked + ".bak"));
  // A drop is refused by the job with the same text, in the Console.
  frm_->settings().ConfirmDrop = false;
  frm_->FilesDropped({locked});
  EXPECT_TRUE(ConsoleLines().join("\n").contains(refusal));
  EXPECT_EQ(test::ReadFile(locked), "PK");
  EXPECT_FALSE(fs::exists(locked + ".bak"));
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

TEST_F(MainWindowTest, ErrorsOfACommandAreShownAndTheWindowGoesOn) {
  const std::string jar = games_.Write("game.jar", "whatever");
  Show();
  platform::FileLock other(JobLockPath(program_.Path()));  // another job holds the lock
  Boxes::QueueFiles({QString::fromStdString(jar)});
  frm_->btnJarClick();
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].kind, BoxKind::kError);
  EXPECT_FALSE(frm_->Busy());
  EXPECT_EQ(test::ReadFile(jar), "whatever");
}

TEST_F(MainWindowTest, DropsTakeOnlyTheFirstExistingJar) {
  const std::string text = games_.Write("readme.txt", "hello");
  const std::string a = games_.Write("a.jar", "a");
  const std::string b = games_.Write("b.jar", "b");
  const std::string upper = games_.Write("C.JAR", "c");
  const std::string folder = games_.MakeDir("folder.jar");
  Show();
  const QString accept = QBuiltin(TextId::kAcceptFile) + "\n";

  struct Case {
    const char* what;
    std::vector<std::string> paths;
    QString asked;  // "" when nothing may be asked
  };
  const std::vector<Case> cases = {
      {"text file, then a JAR", {text, a}, accept + QString::fromStdString(a)},
      {"two JARs", {b, a}, accept + QString::fromStdString(b)},
      {"a folder first", {folder, a}, ""},
      {"a missing file first", {games_ / "gone.jar", a}, ""},
      {"upper-case extension", {upper}, accept + QString::fromStdString(upper)},
      {"no files", {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Shown().clear();
    Boxes::QueueAnswer(false);  // no job: only the question matters here
    frm_->FilesDropped(c.paths);
    if (c.asked.isEmpty()) {
      EXPECT_TRUE(Shown().empty());
      Boxes::Ask(nullptr, "drain");  // use up the queued answer
    } else {
      ASSERT_EQ(Shown().size(), 1u);
      EXPECT_EQ(Shown()[0].kind, BoxKind::kConfirm);
      EXPECT_EQ(Shown()[0].text, c.asked);
    }
  }
  EXPECT_EQ(JobsStarted(), 0);
  // The skipped text file got its line, each time.
  EXPECT_EQ(ConsoleLines().count(QBuiltin(TextId::kNotAJar) + " " + QString::fromStdString(text)),
            1);

  // The same through a real drop event: the question comes once the drop is finished.
  Shown().clear();
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(text)),
                QUrl::fromLocalFile(QString::fromStdString(a))});
  QDropEvent drop(QPointF(300, 80), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  Boxes::QueueAnswer(false);
  static_cast<QObject*>(frm_.get())->event(&drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_TRUE(Shown().empty());
  QCoreApplication::processEvents();
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].text, accept + QString::fromStdString(a));
}

TEST_F(MainWindowTest, ADroppedJarIsProcessedKeepingTheConsole) {
  const std::string jar = CopyGame("dropped", true);
  REQUIRE_GAME(jar);
  const std::string text = games_.Write("notes.txt", "x");
  Show();
  frm_->AddConsoleLine("earlier line");

  // Confirmed: the job runs after the question, without any box of its own.
  Boxes::QueueAnswer(true);
  frm_->FilesDropped({text, jar});
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].kind, BoxKind::kConfirm);
  QStringList lines = ConsoleLines();
  // The Console starts with its empty line; a drop keeps what it holds and sets its job apart.
  ASSERT_GE(lines.size(), 6);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "earlier line");
  EXPECT_EQ(lines[2], QBuiltin(TextId::kNotAJar) + " " + QString::fromStdString(text));
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], QString::fromStdString(jar));
  EXPECT_EQ(lines[5], QBuiltin(TextId::kInitializing));
  EXPECT_EQ(lines.back(), QBuiltin(TextId::kWorkFinished));

  // ConfirmDrop off: processed at once, nothing asked, nothing shown.
  Shown().clear();
  frm_->settings().ConfirmDrop = false;
  frm_->FilesDropped({jar});
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(JobsStarted(), 2);
  EXPECT_EQ(ConsoleLines()[1], "earlier line");
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
  frm.Zip.SetDLLDirectory(KORVEL_PROGRAM_DIR);
  const QString before = frm.mem->toPlainText();
  EXPECT_EQ(frm.ProcessJar(jar, false), JobOutcome::kAdapted);
  EXPECT_EQ(frm.mem->toPlainText(), before);
  EXPECT_EQ(windows.frmBatch->gFile->Progress(), 100);
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
  EXPECT_EQ(frm_->btnJar->Caption(), "Patch JAR...");
  EXPECT_EQ(frm_->btnJar->MnemonicIndex(), 0);
  EXPECT_TRUE(opens([&] { QTest::keyClick(frm_.get(), Qt::Key_P, Qt::AltModifier); }));
  EXPECT_FALSE(opens([&] { QTest::keyClick(frm_.get(), Qt::Key_Q, Qt::AltModifier); }));

  // Tab moves the focus over the commands; focus moved so is drawn.
  frm_->btnBatch->setFocus();
  const QImage unfocused = frm_->btnJar->grab().toImage();
  QTest::keyClick(frm_->btnBatch, Qt::Key_Tab, Qt::ShiftModifier);
  ASSERT_TRUE(frm_->btnJar->hasFocus());
  EXPECT_NE(frm_->btnJar->grab().toImage(), unfocused);
  EXPECT_TRUE(opens([&] { QTest::keyClick(frm_->btnJar, Qt::Key_Return); }));
  EXPECT_TRUE(opens([&] { QTest::keyClick(frm_->btnJar, Qt::Key_Space); }));
  QTest::keyClick(frm_->btnJar, Qt::Key_Tab);
  EXPECT_TRUE(frm_->btnBatch->hasFocus());

  QTest::keyClick(frm_.get(), Qt::Key_E, Qt::AltModifier);  // Exit
  EXPECT_FALSE(frm_->isVisible());
}

// A batch through the main window with a broken JAR between two games: every result stays in the
// list, the broken one with the archive's reason, and the only box is the final one with counts.
TEST_F(MainWindowTest, ABatchWithABrokenJarInTheMiddleReportsEachFile) {
  ProgramWindows windows = CreateProgramWindows();
  Tfrm& frm = *windows.frm;
  frm.SetProgramDirectory(program_.Path());
  frm.Zip.SetDLLDirectory(KORVEL_PROGRAM_DIR);
  const std::string good = CopyGame("good", false);
  REQUIRE_GAME(good);
  const std::string broken = games_.Write("broken.jar", "not a zip");
  const std::string other = CopyGame("other", false);
  QStringList entries;
  QTimer::singleShot(0, [&] {
    TfrmBatch& batch = *windows.frmBatch;
    Boxes::QueueFiles({QString::fromStdString(good), QString::fromStdString(broken),
                       QString::fromStdString(other)});
    batch.btnAddClick();
    batch.btnStartClick();
    for (int i = 0; i < batch.lbFiles->count(); ++i) entries << batch.lbFiles->item(i)->text();
    batch.btnCancelClick();
  });
  frm.btnBatchClick();
  const QString dash = QString::fromUtf8(" — ");
  ASSERT_EQ(entries.size(), 3);
  EXPECT_EQ(entries[0], QString::fromStdString(good) + dash + QBuiltin(TextId::kAdapted));
  const QString failed = QString::fromStdString(broken) + dash + QBuiltin(TextId::kFailed) + ": ";
  EXPECT_TRUE(entries[1].startsWith(failed)) << entries[1].toStdString();
  EXPECT_NE(entries[1], failed + QBuiltin(TextId::kJarNotCreated));  // the archive's own words
  EXPECT_EQ(entries[2], QString::fromStdString(other) + dash + QBuiltin(TextId::kAdapted));
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_TRUE(Shown()[0].text.endsWith(QBuiltin(TextId::kAdaptedCount) + " 2\n" +
                                       QBuiltin(TextId::kFailedCount) + " 1"));
  EXPECT_EQ(test::ReadFile(broken), "not a zip");
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
      for (int i = 0; i < lang.lbLang->count(); ++i) {
        if (lang.LanguagePath(i) == path) lang.lbLang->setCurrentRow(i);
      }
      lang.btnOkClick();
    });
    frm.btnLangClick();
  };

  choose(english);
  EXPECT_EQ(frm.settings().LangFile, english);
  const QString english_caption = frm.btnJar->Caption();
  EXPECT_NE(english_caption, QBuiltin(TextId::kPatchJar));
  EXPECT_EQ(frm.texts()[TextId::kPatchJar], english_caption.toStdString());
  EXPECT_EQ(frm.windowTitle(), "Java game adapter for Virel");
  EXPECT_EQ(windows.frmAbout->windowTitle(), "About Korvel");
  EXPECT_EQ(windows.frmAbout->lblAuthorCapt->text(), "Developed by:");

  choose("");  // "<Default>": the built-in texts come back at once
  EXPECT_EQ(frm.settings().LangFile, "");
  EXPECT_EQ(frm.btnJar->Caption(), QBuiltin(TextId::kPatchJar));
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
  EXPECT_EQ(frm_->btnExit->Caption(), "Quit");  // found in the installed language folder
  frm_->FilesDropped({jar});
  EXPECT_EQ(ConsoleLines().back(), QBuiltin(TextId::kWorkFinished));
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

TEST_F(MainWindowTest, AJobInProgressBlocksEveryOtherCommand) {
  const std::string jar = CopyGame("first", false);
  REQUIRE_GAME(jar);
  const std::string other = CopyGame("second", false);
  Show();
  frm_->settings().ConfirmDrop = false;

  bool tried = false;
  bool closed_during_job = true;
  bool nested_job_refused = false;
  // While the first job writes its first line, try to start everything else.
  QObject::connect(frm_->mem, &QPlainTextEdit::textChanged, frm_.get(), [&] {
    if (tried || !frm_->mem->toPlainText().contains(QBuiltin(TextId::kInitializing))) return;
    tried = true;
    Boxes::QueueFiles({QString::fromStdString(other)});
    frm_->btnJarClick();
    frm_->FilesDropped({other});
    closed_during_job = frm_->close() || !frm_->isVisible();
    try {
      frm_->ProcessJar(other, true);
    } catch (const JobError&) {
      nested_job_refused = true;
    }
  });
  frm_->settings().ResH = 100;
  frm_->FilesDropped({jar});

  ASSERT_TRUE(tried);
  EXPECT_TRUE(nested_job_refused);
  EXPECT_FALSE(closed_during_job);
  EXPECT_EQ(JobsStarted(), 1);
  EXPECT_EQ(Boxes::OpenFile(nullptr, "", ""), QString::fromStdString(other));  // never asked for
  EXPECT_FALSE(fs::exists(other + ".bak"));
  // The refused close was carried out when the job ended: settings written, window gone.
  EXPECT_FALSE(frm_->isVisible());
  EXPECT_EQ(LoadSettings(program_ / "korvel.ini").ResH, 100);
  EXPECT_TRUE(Shown().empty());
}

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
      frm.Zip.SetDLLDirectory(folder);
      Boxes::Shown().clear();
      const bool present = frm.CheckEngineLibraries();
      for (const BoxRecord& box : Boxes::Shown()) {
        std::fprintf(stderr, "box %d %s\n", static_cast<int>(box.kind),
                     qPrintable(QString(box.text).replace('\n', '/')));
      }
      const int status = present || frm.WindowFade->Active() ? 1 : 0;
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

}  // namespace
}  // namespace korvel
