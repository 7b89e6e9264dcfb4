// Tests of the jobs started from the main window: the patch command, drops and the batch, with
// their Console lines and boxes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTimer>
#include <QUrl>
#include <sstream>

#include "pipeline/PatchJob.h"
#include "platform/FileLock.h"
#include "tests/ui/MainWindowTestSupport.h"
#include "ui/BatchDialog.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::EnginesBuilt;
using test::MainWindowTest;
using test::QBuiltin;
using test::TempDir;

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
    EXPECT_EQ(lines.mid(lines.size() - 2),
              QStringList({QBuiltin(TextId::kWorkFinished), QBuiltin(TextId::kAdapted)}));
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
  const QStringList lines = ConsoleLines();
  EXPECT_TRUE(lines[lines.size() - 2].startsWith(QBuiltin(TextId::kAlreadyAdapted) + " "));
  EXPECT_EQ(lines.back(), QBuiltin(TextId::kAlreadyAdaptedResult));
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
  EXPECT_EQ(ConsoleLines().mid(ConsoleLines().size() - 2),
            QStringList({QBuiltin(TextId::kNoCanvasFound), QBuiltin(TextId::kUnchanged)}));
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
  EXPECT_TRUE(lines.contains(QString::fromStdString(frm_->LastReport().reason)));
  EXPECT_EQ(lines.back(), QBuiltin(TextId::kFailed));
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown().back().kind, BoxKind::kError);
  // The reason first, then the two failure lines.
  EXPECT_EQ(Shown().back().text, QString::fromStdString(frm_->LastReport().reason) + "\n" +
                                     QBuiltin(TextId::kJarNotCreated) + "\n" +
                                     QBuiltin(TextId::kOriginalFileRecovered));
  EXPECT_FALSE(frm_->LastReport().reason.empty());
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
  const QString refusal = QString::fromStdString(FailureText(*ReadOnlyRefusal(locked), frm_->texts()));
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
  EXPECT_EQ(lines.back(), QBuiltin(TextId::kAdapted));

  // ConfirmDrop off: processed at once, nothing asked, nothing shown.
  Shown().clear();
  frm_->settings().ConfirmDrop = false;
  frm_->FilesDropped({jar});
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(JobsStarted(), 2);
  EXPECT_EQ(ConsoleLines()[1], "earlier line");
}

// A batch through the main window with a broken JAR between two games, a game without a canvas
// and one of the games again (adapted by then): every result stays in the list in the job's
// words, the broken one with the archive's reason, and the only box is the final one with counts.
TEST_F(MainWindowTest, ABatchWithABrokenJarInTheMiddleReportsEachFile) {
  ProgramWindows windows = CreateProgramWindows();
  Tfrm& frm = *windows.frm;
  frm.SetProgramDirectory(program_.Path());
  frm.SetEngineDirectory(KORVEL_PROGRAM_DIR);
  const std::string good = CopyGame("good", false);
  REQUIRE_GAME(good);
  const std::string broken = games_.Write("broken.jar", "not a zip");
  const std::string other = CopyGame("other", false);
  const std::string plain =
      games_.Write("plain.jar", test::ReadFile(test::CorpusFile("opentty-1.1/OpenTTY-1.1.jar")));
  QStringList entries;
  QTimer::singleShot(0, [&] {
    TfrmBatch& batch = *windows.frmBatch;
    Boxes::QueueFiles({QString::fromStdString(good), QString::fromStdString(broken),
                       QString::fromStdString(other), QString::fromStdString(plain),
                       QString::fromStdString(good)});
    batch.btnAddClick();
    batch.btnStartClick();
    const QListWidget* list = batch.ControlsForTest().lbFiles;
    for (int i = 0; i < list->count(); ++i) entries << list->item(i)->text();
    batch.btnCancelClick();
  });
  frm.btnBatchClick();
  const QString dash = QString::fromUtf8(" — ");
  ASSERT_EQ(entries.size(), 5);
  EXPECT_EQ(entries[0], QString::fromStdString(good) + dash + QBuiltin(TextId::kAdapted));
  const QString failed = QString::fromStdString(broken) + dash + QBuiltin(TextId::kFailed) + ": ";
  EXPECT_TRUE(entries[1].startsWith(failed)) << entries[1].toStdString();
  EXPECT_NE(entries[1], failed + QBuiltin(TextId::kJarNotCreated));  // the archive's own words
  EXPECT_EQ(entries[2], QString::fromStdString(other) + dash + QBuiltin(TextId::kAdapted));
  EXPECT_EQ(entries[3], QString::fromStdString(plain) + dash + QBuiltin(TextId::kUnchanged) + ": " +
                            QBuiltin(TextId::kNoCanvasToRedirect));
  EXPECT_EQ(entries[4], QString::fromStdString(good) + dash +
                            QBuiltin(TextId::kAlreadyAdaptedResult) + ": 128x116");
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_TRUE(Shown()[0].text.endsWith(QBuiltin(TextId::kAdaptedCount) + " 2\n" +
                                       QBuiltin(TextId::kSkippedCount) + " 2\n" +
                                       QBuiltin(TextId::kFailedCount) + " 1"))
      << Shown()[0].text.toStdString();
  EXPECT_EQ(test::ReadFile(broken), "not a zip");
}

// One collection through every front end: dropped on the main window, listed in the batch and
// given to korvel-patch. A game, a broken JAR, a game without a canvas and the first game again
// (adapted by then) get the same word everywhere, since each front end renders the job's report.
TEST_F(MainWindowTest, EveryFrontEndGivesEachGameTheSameWord) {
  ASSERT_TRUE(EnginesBuilt()) << "the engines are not built";
  const std::vector<std::string> expected = {"adapted", "failed", "unchanged", "already adapted"};
  const auto collection = [this](const std::string& folder) {
    const std::string good = games_.Write(
        folder + "/good.jar", test::ReadFile(test::CorpusFile("apress-hello/hello.jar")));
    return std::vector<std::string>{
        good, games_.Write(folder + "/broken.jar", "not a zip"),
        games_.Write(folder + "/plain.jar",
                     test::ReadFile(test::CorpusFile("opentty-1.1/OpenTTY-1.1.jar"))),
        good};
  };
  const std::string english = test::SourceFile("lang/English.lng");
  const std::string ini =
      program_.Write("korvel.ini", "[Korvel]\nConfirmDrop=0\nLangFile=" + english + "\n");
  ProgramWindows windows = CreateProgramWindows();
  Tfrm& frm = *windows.frm;
  frm.SetProgramDirectory(program_.Path());
  frm.SetSettingsPath(ini);
  frm.SetEngineDirectory(KORVEL_PROGRAM_DIR);
  frm.show();

  std::vector<std::string> dropped;
  for (const std::string& jar : collection("window")) {
    frm.FilesDropped({jar});
    dropped.push_back(frm.ControlsForTest().mem->toPlainText().split('\n').back().toStdString());
  }
  EXPECT_EQ(dropped, expected);

  std::vector<std::string> listed;
  QTimer::singleShot(0, [&] {
    TfrmBatch& batch = *windows.frmBatch;
    QStringList files;
    for (const std::string& jar : collection("batch")) files << QString::fromStdString(jar);
    Boxes::QueueFiles(files);
    batch.btnAddClick();
    batch.btnStartClick();
    const QListWidget* list = batch.ControlsForTest().lbFiles;
    for (int i = 0; i < list->count(); ++i) {
      const QString word = list->item(i)->text().section(QString::fromUtf8(" — "), 1);
      listed.push_back(word.section(':', 0, 0).toStdString());
    }
    batch.btnCancelClick();
  });
  frm.btnBatchClick();
  EXPECT_EQ(listed, expected);

  // korvel-patch from a program folder of its own, so that its job folder is its own too.
  const TempDir cli;
  const fs::path bin = fs::path(KORVEL_PATCH_EXE).parent_path();
  for (const char* file : {"korvel-patch", "libpackeng.so", "libunpkeng.so"}) {
    fs::copy_file(bin / file, cli / file);
  }
  std::string command = "'" + cli / "korvel-patch" + "' --quiet --lang '" + english + "'";
  for (const std::string& jar : collection("cli")) command += " '" + jar + "'";
  std::string output;
  EXPECT_EQ(test::RunCommand(command, output), 1) << output;  // one failed
  std::vector<std::string> printed;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t at = line.find(": " + games_ / "cli/");
    if (at != std::string::npos) printed.push_back(line.substr(0, at));
  }
  EXPECT_EQ(printed, expected) << output;
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
  QObject::connect(ui_.mem, &QPlainTextEdit::textChanged, frm_.get(), [&] {
    if (tried || !ui_.mem->toPlainText().contains(QBuiltin(TextId::kInitializing))) return;
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

}  // namespace
}  // namespace korvel
