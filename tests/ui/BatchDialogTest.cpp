// Tests of the batch dialog: the list, drops, runs with their gauges, stops and job errors.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>

#include "pipeline/JobComponents.h"
#include "pipeline/PatchJob.h"
#include "platform/Files.h"
#include "support/TempDir.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/BatchDialog.h"
#include "ui/controls/FlatButton.h"
#include "ui/controls/GradientGauge.h"

namespace korvel {
namespace {

using test::TempDir;
using test::WhenShown;

QStringList Entries(const TfrmBatch& dialog) {
  QStringList entries;
  const QListWidget* list = dialog.ControlsForTest().lbFiles;
  for (int i = 0; i < list->count(); ++i) entries << list->item(i)->text();
  return entries;
}

QString T(TextId id) {
  static const Language built_in;
  return QString::fromStdString(built_in[id]);
}

JobReport Report(JobOutcome outcome, std::string reason = {}) {
  JobReport report;
  report.outcome = outcome;
  report.reason = std::move(reason);
  return report;
}

QString Adapted(const QString& path) {
  return path + QString::fromUtf8(" — ") + T(TextId::kAdapted);
}

QString Failed(const QString& path, const QString& reason) {
  return path + QString::fromUtf8(" — ") + T(TextId::kFailed) + ": " + reason;
}

QString FinalBox(int adapted, int failed) {
  return T(TextId::kProcessingFinished) + "\n" + T(TextId::kAdaptedCount) + " " +
         QString::number(adapted) + "\n" + T(TextId::kFailedCount) + " " + QString::number(failed);
}

class BatchDialogTest : public testing::Test {
 protected:
  // Adds `files` through the add button's open dialog.
  void AddFiles(const QStringList& files) {
    Boxes::QueueFiles(files);
    QTest::mouseClick(ui_.btnAdd, Qt::LeftButton);
  }

  // Runs the dialog: `during` acts on the shown dialog, which is then closed.
  void Run(TfrmBatch::ProcessJarFn process_jar, std::function<void()> during) {
    WhenShown(dialog_, std::move(during));
    dialog_.Execute(settings_, std::move(process_jar));
  }

  void ExpectIdleAndReset() {
    EXPECT_FALSE(dialog_.Running());
    EXPECT_EQ(ui_.gBatch->ShownText(), "Пакет: 0%");
    EXPECT_EQ(ui_.gBatch->MaxValue(), 100);
    EXPECT_EQ(ui_.gFile->ShownText(), T(TextId::kFile));
    EXPECT_EQ(ui_.gFile->Progress(), 0);
    EXPECT_EQ(ui_.btnCancel->Caption(), T(TextId::kClose));
    EXPECT_TRUE(ui_.btnStart->Enabled());
  }

  test::BoxesReset boxes_;
  TempDir games_;
  Settings settings_;
  TfrmBatch dialog_;
  const TfrmBatch::Controls ui_ = dialog_.ControlsForTest();
};

TEST_F(BatchDialogTest, IsBuiltByItsConstructorWithTheBuiltInCaptions) {
  EXPECT_EQ(dialog_.size(), QSize(437, 384));
  EXPECT_EQ(dialog_.windowTitle(), T(TextId::kBatchProcessCaption));
  EXPECT_EQ(ui_.btnAdd->Caption(), T(TextId::kAddFiles));
  EXPECT_EQ(ui_.btnStart->Caption(), T(TextId::kStart));
  EXPECT_EQ(ui_.gBatch->ShownText(), "Пакет: 0%");
  EXPECT_EQ(ui_.gFile->geometry(), QRect(18, 282, 400, 20));
  const QImage image = dialog_.grab().toImage();
  EXPECT_EQ(image.pixelColor(20, 250), QColor(0xE8, 0xEF, 0xF4));      // the list's panel
  EXPECT_EQ(image.pixelColor(8, 270 + 40), QColor(0x0D, 0x54, 0x9B));  // shpStatBg's outline
}

TEST_F(BatchDialogTest, LanguageCaptionsKeepPercentSignsOfTheirOwn) {
  TempDir dir;
  const std::string lng = dir.Write("x.lng", "[Batch]\nBatch=50%d\nFile=A%dB\n");
  const Language texts = Language::FromFile(lng);
  dialog_.ApplyLanguage(texts);
  EXPECT_EQ(ui_.gBatch->ShownText(), "50%d: 0%");
  EXPECT_EQ(ui_.gFile->ShownText(), "A%dB");
}

TEST_F(BatchDialogTest, AddRemoveAndClear) {
  Run(nullptr, [&] {
    AddFiles({"/x/b.jar", "/x/a.jar", "/x/b.jar"});  // no checks, duplicates kept, order kept
    EXPECT_EQ(Entries(dialog_), QStringList({"/x/b.jar", "/x/a.jar", "/x/b.jar"}));
    AddFiles({});  // cancelled
    EXPECT_EQ(ui_.lbFiles->count(), 3);

    QTest::mouseClick(ui_.btnDel, Qt::LeftButton);
    ASSERT_EQ(Boxes::Shown().size(), 1u);
    EXPECT_EQ(Boxes::Shown().front().kind, BoxKind::kError);
    EXPECT_EQ(Boxes::Shown().front().text, T(TextId::kNothingSelected));
    EXPECT_EQ(ui_.lbFiles->count(), 3);

    ui_.lbFiles->setCurrentRow(1);
    QTest::mouseClick(ui_.btnDel, Qt::LeftButton);
    EXPECT_EQ(Entries(dialog_), QStringList({"/x/b.jar", "/x/b.jar"}));

    QTest::mouseClick(ui_.btnClear, Qt::LeftButton);
    EXPECT_EQ(ui_.lbFiles->count(), 0);
    QTest::mouseClick(ui_.btnCancel, Qt::LeftButton);
    EXPECT_FALSE(dialog_.isVisible());
  });
}

TEST_F(BatchDialogTest, StartWithAnEmptyListDoesNothing) {
  int calls = 0;
  Run(
      [&](const std::string&, bool) {
        ++calls;
        return Report(JobOutcome::kAdapted);
      },
      [&] {
        QTest::mouseClick(ui_.btnStart, Qt::LeftButton);
        EXPECT_FALSE(dialog_.Running());
        EXPECT_EQ(ui_.btnCancel->Caption(), T(TextId::kClose));
        AddFiles({"/x/a.jar"});  // the list buttons still work
        EXPECT_EQ(ui_.lbFiles->count(), 1);
        QTest::mouseClick(ui_.btnCancel, Qt::LeftButton);
        EXPECT_FALSE(dialog_.isVisible());
      });
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(Boxes::Shown().empty());
}

// A run over three files, one of them twice and one with "%" in its name: the batch gauge after
// each file, the file gauge's name during each job, the reset and the final box.
TEST_F(BatchDialogTest, RunShowsEachStepThenResetsAndKeepsTheResults) {
  const QString odd = QString::fromStdString(games_ / "50%d.jar");
  std::vector<std::string> called;
  QStringList file_texts;
  QStringList batch_texts;
  std::vector<int> file_percents;
  auto job = [&](const std::string& file, bool interactive) {
    EXPECT_FALSE(interactive);
    EXPECT_TRUE(dialog_.Running());
    EXPECT_EQ(ui_.btnCancel->Caption(), T(TextId::kStop));
    EXPECT_FALSE(ui_.btnStart->Enabled());
    called.push_back(file);
    file_texts << ui_.gFile->ShownText();
    dialog_.SetFileGauge(100);
    file_percents.push_back(dialog_.ControlsForTest().gFile->Percent());
    // Runs in the pause the dialog makes after the file, once the batch gauge has moved.
    QTimer::singleShot(0, &dialog_, [&] { batch_texts << ui_.gBatch->ShownText(); });
    return Report(JobOutcome::kAdapted);
  };
  Run(job, [&] {
    AddFiles({"/g/a.jar", odd, "/g/a.jar"});
    QTest::mouseClick(ui_.btnStart, Qt::LeftButton);
    ExpectIdleAndReset();
    EXPECT_TRUE(dialog_.isVisible());
    EXPECT_EQ(Entries(dialog_),
              QStringList({Adapted("/g/a.jar"), Adapted(odd), Adapted("/g/a.jar")}));
    QTest::mouseClick(ui_.btnStart, Qt::LeftButton);  // nothing left to adapt
  });
  EXPECT_EQ(called, (std::vector<std::string>{"/g/a.jar", odd.toStdString(), "/g/a.jar"}));
  EXPECT_EQ(file_texts, QStringList({"a.jar", "50%d.jar", "a.jar"}));
  EXPECT_EQ(file_percents, (std::vector<int>{100, 100, 100}));
  EXPECT_EQ(batch_texts, QStringList({"Пакет: 33%", "Пакет: 67%", "Пакет: 100%"}));
  ASSERT_EQ(Boxes::Shown().size(), 1u);
  EXPECT_EQ(Boxes::Shown().front().kind, BoxKind::kInformation);
  EXPECT_EQ(Boxes::Shown().front().text, FinalBox(3, 0));
}

// The close button pressed while the second file is being adapted: the dialog stays, the
// second file is finished, the third stays in the list to do, and no box is shown. Meanwhile
// nothing else of the dialog reacts.
TEST_F(BatchDialogTest, StopDuringTheSecondFileSkipsTheThirdWithoutABox) {
  std::vector<std::string> called;
  auto job = [&](const std::string& file, bool) {
    called.push_back(file);
    if (called.size() == 2) {
      // The job lets pending events through, as the archive component does.
      QTimer::singleShot(0, &dialog_, [&] {
        QTest::mouseClick(ui_.btnCancel, Qt::LeftButton);
        QTest::mouseClick(ui_.btnStart, Qt::LeftButton);  // no second run
        Boxes::QueueFiles({"/x/late.jar"});
        QTest::mouseClick(ui_.btnAdd, Qt::LeftButton);
        QTest::mouseClick(ui_.btnClear, Qt::LeftButton);
        EXPECT_FALSE(dialog_.close());
      });
      QCoreApplication::processEvents();
      EXPECT_TRUE(dialog_.isVisible());
      EXPECT_EQ(ui_.lbFiles->count(), 3);
    }
    // A failed file does not stop the run either.
    return Report(called.size() != 2 ? JobOutcome::kAdapted : JobOutcome::kFailed);
  };
  Run(job, [&] {
    AddFiles({"/g/1.jar", "/g/2.jar", "/g/3.jar"});
    QTest::mouseClick(ui_.btnStart, Qt::LeftButton);
    ExpectIdleAndReset();
    EXPECT_TRUE(dialog_.isVisible());
    EXPECT_EQ(Entries(dialog_),
              QStringList({Adapted("/g/1.jar"), Failed("/g/2.jar", T(TextId::kJarNotCreated)),
                           "/g/3.jar"}));
  });
  EXPECT_EQ(called, (std::vector<std::string>{"/g/1.jar", "/g/2.jar"}));
  EXPECT_TRUE(Boxes::Shown().empty());
}

// Each file's entry names its outcome in the user's language, with the job's reason; the final
// box counts the games left as they were apart.
TEST_F(BatchDialogTest, EachFileShowsItsOutcomeAndTheJobsReason) {
  const std::map<std::string, JobReport> reports = {
      {"/g/1.jar", Report(JobOutcome::kAdapted)},
      {"/g/bad.jar", Report(JobOutcome::kFailed, "x.class: damaged (checksum)")},
      {"/g/plain.jar",
       Report(JobOutcome::kUnchanged, T(TextId::kNoCanvasToRedirect).toStdString())},
      {"/g/done.jar", Report(JobOutcome::kAlreadyAdapted, "128x116")}};
  auto job = [&](const std::string& file, bool) { return reports.at(file); };
  const QString dash = QString::fromUtf8(" — ");
  WhenShown(dialog_, [&] {
    AddFiles({"/g/1.jar", "/g/bad.jar", "/g/plain.jar", "/g/done.jar"});
    QTest::mouseClick(ui_.btnStart, Qt::LeftButton);
    ExpectIdleAndReset();
    EXPECT_EQ(Entries(dialog_),
              QStringList({Adapted("/g/1.jar"), Failed("/g/bad.jar", "x.class: damaged (checksum)"),
                           "/g/plain.jar" + dash + T(TextId::kUnchanged) + ": " +
                               T(TextId::kNoCanvasToRedirect),
                           "/g/done.jar" + dash + T(TextId::kAlreadyAdaptedResult) + ": 128x116"}));
  });
  dialog_.Execute(settings_, job);
  ASSERT_EQ(Boxes::Shown().size(), 1u);
  EXPECT_EQ(Boxes::Shown().front().text,
            T(TextId::kProcessingFinished) + "\n" + T(TextId::kAdaptedCount) + " 1\n" +
                T(TextId::kSkippedCount) + " 2\n" + T(TextId::kFailedCount) + " 1");
}

// Closing the window during a run asks; yes stops after the current file, then closes.
TEST_F(BatchDialogTest, ACloseDuringARunAsksToStopAfterTheCurrentFile) {
  std::vector<std::string> called;
  auto job = [&](const std::string& file, bool) {
    called.push_back(file);
    Boxes::QueueAnswer(called.size() == 2);
    EXPECT_FALSE(dialog_.close());
    EXPECT_TRUE(dialog_.isVisible());
    return Report(JobOutcome::kAdapted);
  };
  Run(job, [&] {
    AddFiles({"/g/1.jar", "/g/2.jar", "/g/3.jar"});
    QTest::mouseClick(ui_.btnStart, Qt::LeftButton);
    EXPECT_FALSE(dialog_.isVisible());
  });
  EXPECT_EQ(called, (std::vector<std::string>{"/g/1.jar", "/g/2.jar"}));
  ASSERT_EQ(Boxes::Shown().size(), 2u);  // the two questions, no final box
  EXPECT_EQ(Boxes::Shown().back().text, T(TextId::kStopAfterCurrent));
}

TEST_F(BatchDialogTest, AFailedFileIsListedWithItsReasonAndTheRunGoesOn) {
  std::vector<std::string> called;
  auto job = [&](const std::string& file, bool) {
    called.push_back(file);
    if (file == "/g/2.jar") throw std::runtime_error("Cannot open file \"/g/2.jar\". 100% wrong");
    return Report(JobOutcome::kAdapted);
  };
  Run(job, [&] {
    AddFiles({"/g/1.jar", "/g/2.jar", "/g/3.jar"});
    QTest::mouseClick(ui_.btnStart, Qt::LeftButton);
    ExpectIdleAndReset();
    EXPECT_EQ(Entries(dialog_),
              QStringList({Adapted("/g/1.jar"),
                           Failed("/g/2.jar", "Cannot open file \"/g/2.jar\". 100% wrong"),
                           Adapted("/g/3.jar")}));
    ASSERT_EQ(Boxes::Shown().size(), 1u);
    EXPECT_EQ(Boxes::Shown().front().kind, BoxKind::kError);
    EXPECT_EQ(Boxes::Shown().front().text, FinalBox(2, 1));

    // A new run takes only the new file; the dialog then closes.
    AddFiles({"/g/4.jar"});
    QTest::mouseClick(ui_.btnStart, Qt::LeftButton);
    ASSERT_EQ(Boxes::Shown().size(), 2u);
    EXPECT_EQ(Boxes::Shown().back().text, FinalBox(1, 0));
    QTest::mouseClick(ui_.btnCancel, Qt::LeftButton);
    EXPECT_FALSE(dialog_.isVisible());
  });
  EXPECT_EQ(called, (std::vector<std::string>{"/g/1.jar", "/g/2.jar", "/g/3.jar", "/g/4.jar"}));
}

class BatchDropTest : public BatchDialogTest {
 protected:
  void Drop(const std::vector<std::string>& paths) {
    QList<QUrl> urls;
    for (const std::string& path : paths) urls << QUrl::fromLocalFile(QString::fromStdString(path));
    QMimeData data;
    data.setUrls(urls);
    // As the desktop delivers it: the drop reaches only a widget that accepted the drag.
    QDragEnterEvent enter(QPoint(200, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dialog_, &enter);
    QDropEvent drop(QPointF(200, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dialog_, &drop);
    QCoreApplication::processEvents();  // the files are taken once the drop is finished
  }

  void SetUp() override {
    folder_ = games_.MakeDir("folder.jar");
    text_ = games_.Write("notes.txt", "text");
    upper_ = games_.Write("GAME.JAR", "x");
    jar_ = games_.Write("game.jar", "x");
  }

  std::string folder_, text_, upper_, jar_;
};

TEST_F(BatchDropTest, OnlyExistingFilesEndingInJarAreAdded) {
  settings_.ConfirmDrop = false;
  Run(nullptr, [&] {
    Drop({folder_, text_, upper_, games_ / "missing.jar", jar_});
    EXPECT_EQ(Entries(dialog_),
              QStringList({QString::fromStdString(upper_), QString::fromStdString(jar_)}));
  });
  EXPECT_TRUE(Boxes::Shown().empty());
}

TEST_F(BatchDropTest, TheQuestionComesFirstWhenConfirmDropIsOn) {
  settings_.ConfirmDrop = true;
  Run(nullptr, [&] {
    Boxes::QueueAnswer(false);
    Drop({jar_});
    EXPECT_EQ(ui_.lbFiles->count(), 0);

    Drop({folder_, text_});  // asked although nothing will be added
    EXPECT_EQ(ui_.lbFiles->count(), 0);

    Drop({folder_, jar_, jar_});
    EXPECT_EQ(ui_.lbFiles->count(), 2);
  });
  ASSERT_EQ(Boxes::Shown().size(), 3u);
  for (const BoxRecord& box : Boxes::Shown()) {
    EXPECT_EQ(box.kind, BoxKind::kConfirm);
    EXPECT_EQ(box.text, T(TextId::kAcceptFiles));
  }
}

TEST_F(BatchDropTest, DropsAreIgnoredDuringARun) {
  settings_.ConfirmDrop = true;
  auto job = [&](const std::string&, bool) {
    Drop({jar_});
    EXPECT_EQ(ui_.lbFiles->count(), 1);
    return Report(JobOutcome::kAdapted);
  };
  Run(job, [&] {
    AddFiles({QString::fromStdString(jar_)});
    QTest::mouseClick(ui_.btnStart, Qt::LeftButton);
  });
  ASSERT_EQ(Boxes::Shown().size(), 1u);  // only the final box, no question
  EXPECT_EQ(Boxes::Shown().front().kind, BoxKind::kInformation);
}

// The real patch job, wired as the main window wires it, over three sample suites.
class JobSinkToDialog : public JobSink {
 public:
  explicit JobSinkToDialog(TfrmBatch& dialog) : dialog_(dialog) {}
  void ConsoleLine(const std::string& line) override { lines.push_back(line); }
  void SetGauge(int percent) override {
    dialog_.SetFileGauge(percent);
    percents.push_back(dialog_.ControlsForTest().gFile->Percent());
  }
  std::vector<std::string> lines;
  std::vector<int> percents;

 private:
  TfrmBatch& dialog_;
};

TEST_F(BatchDialogTest, RealJobsOverThreeSampleSuites) {
  const std::vector<std::string> sources = {test::CorpusFile("apress-hello/hello.jar"),
                                            test::CorpusFile("sokoban/Sokoban.jar"),
                                            test::CorpusFile("saymond-systeminfo/SystemInfo.jar")};
  QStringList jars;
  std::vector<std::string> originals;
  for (const std::string& source : sources) {
    const std::string copy = games_ / platform::FileNamePart(source);
    std::filesystem::copy_file(source, copy);
    jars << QString::fromStdString(copy);
    originals.push_back(platform::ReadWholeFile(copy));
  }

  const std::string saved_cwd = platform::CurrentDirectory();
  TempDir program;
  Settings job_settings;
  const Language texts;
  JobComponents components(job_settings, texts);
  components.SetEngineDirectory(KORVEL_PROGRAM_DIR);
  JobSinkToDialog sink(dialog_);
  const std::unique_ptr<PatchJob> job = components.MakeJob(sink, program.Path());

  std::vector<bool> results;
  QStringList batch_texts;
  auto process_jar = [&](const std::string& file, bool interactive) {
    JobReport report = job->ProcessJar(file, interactive);
    results.push_back(report.outcome == JobOutcome::kAdapted);
    QTimer::singleShot(0, &dialog_, [&] { batch_texts << ui_.gBatch->ShownText(); });
    return report;
  };
  Run(process_jar, [&] {
    AddFiles(jars);
    QTest::mouseClick(ui_.btnStart, Qt::LeftButton);
    ExpectIdleAndReset();
  });
  platform::SetCurrentDirectory(saved_cwd);

  EXPECT_EQ(results, (std::vector<bool>{true, true, true}));
  EXPECT_EQ(batch_texts, QStringList({"Пакет: 33%", "Пакет: 67%", "Пакет: 100%"}));
  EXPECT_TRUE(sink.lines.empty());  // batch jobs write no Console lines
  ASSERT_FALSE(sink.percents.empty());
  EXPECT_EQ(sink.percents.back(), 100);
  for (int i = 0; i < 3; ++i) {
    const std::string adapted = platform::ReadWholeFile(jars[i].toStdString());
    EXPECT_NE(adapted, originals[i]) << jars[i].toStdString();
    EXPECT_NE(adapted.find("FullCn.class"), std::string::npos) << jars[i].toStdString();
  }
  ASSERT_EQ(Boxes::Shown().size(), 1u);
  EXPECT_EQ(Boxes::Shown().front().text, FinalBox(3, 0));
}

}  // namespace
}  // namespace korvel
