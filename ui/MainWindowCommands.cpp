// Tfrm's commands: its buttons, the jobs they run, and files dropped on the window.
#include "ui/MainWindow.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QUrl>
#include <exception>

#include "pipeline/GameFiles.h"
#include "pipeline/JobComponents.h"
#include "pipeline/PatchJob.h"
#include "platform/Files.h"
#include "ui/AboutDialog.h"
#include "ui/BatchDialog.h"
#include "ui/Boxes.h"
#include "ui/LanguageDialog.h"
#include "ui/Look.h"
#include "ui/MainProgram.h"
#include "ui/OptionsDialog.h"

namespace korvel {

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// File names are the platform's bytes; Qt hands them over as text.
std::string FileNameOf(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

}  // namespace

JobReport Tfrm::ProcessJar(const std::string& file_name, bool interactive) {
  // The work folder and the scan state allow one job at a time.
  if (job_running_) throw JobError("Another job is running; wait until it has finished.");
  job_running_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{job_running_};
  // The archive component's boxes would stop a job with a modal window; the job tells its own
  // reasons, and what the component said on the way is kept.
  const ArchiveBoxCapture capture;
  last_report_ = job_->ProcessJar(file_name, interactive);
  if (last_report_.outcome != JobOutcome::kFailed && interactive) {
    for (const std::string& message : capture.Messages()) AddConsoleLine(Q(message));
  }
  return last_report_;
}

JobReport Tfrm::RunConsoleJob(const std::string& jar) {
  // Jobs are told apart by an empty line and the name of the file each one works on.
  if (!console_blank_ && !mem->document()->lastBlock().text().isEmpty()) AddConsoleLine({});
  AddConsoleLine(QFile::decodeName(jar.c_str()));
  JobReport report;
  try {
    report = ProcessJar(jar, true);  // a failed job's Console lines end with its reason
  } catch (const std::exception& e) {
    AddConsoleLine(QString::fromUtf8(e.what()));
    throw;
  }
  // The job's word, as the batch list and korvel-patch give it; its reason is on the lines above.
  AddConsoleLine(Q(texts_[OutcomeText(report.outcome)]));
  return report;
}

// --- Commands ----------------------------------------------------------------------------------

void Tfrm::RunCommand(const std::function<void()>& command) {
  if (Busy()) return;
  busy_ = true;
  try {
    command();
  } catch (const std::exception& e) {
    ShowBox(BoxKind::kError, e.what());
  } catch (...) {
    ShowBox(BoxKind::kError, "Unknown error");
  }
  busy_ = false;
  // A close asked for meanwhile was refused, not forgotten.
  if (close_pending_) {
    close_pending_ = false;
    close();
  }
}

void Tfrm::btnJarClick() {
  RunCommand([this] {
    const QString chosen =
        Boxes::OpenFile(this, Q(texts_[TextId::kOpenJarTitle]), JarFileFilter(texts_),
                        QString::fromStdString(last_folder_));
    if (chosen.isEmpty()) return;
    last_folder_ = FileNameOf(QFileInfo(chosen).absolutePath());
    const std::string jar = FileNameOf(chosen);
    // The open dialog refuses read-only files at once, with the text every route gives.
    if (const auto refusal = ReadOnlyRefusal(jar)) {
      ShowBox(BoxKind::kError, FailureText(*refusal, texts_));
      return;
    }
    ClearConsole();
    const JobReport report = RunConsoleJob(jar);
    const JobOutcome outcome = report.outcome;
    if (outcome == JobOutcome::kFailed) {
      ShowBox(BoxKind::kError, report.reason + "\n" + texts_[TextId::kJarNotCreated] + "\n" +
                                   texts_[TextId::kOriginalFileRecovered]);
      return;
    }
    if (outcome == JobOutcome::kUnchanged) {
      ShowBox(BoxKind::kInformation, texts_[TextId::kNoCanvasFound]);
      return;
    }
    if (outcome == JobOutcome::kAlreadyAdapted) {
      ShowBox(BoxKind::kInformation, texts_[TextId::kAlreadyAdapted]);
      return;
    }
    ShowBox(BoxKind::kInformation, texts_[TextId::kFinished]);
    const std::string jad = FindDescriptor(jar);
    if (!settings_.AskMidway || !platform::FileExists(jad)) return;
    // The offer makes sense only with a tool set up; without one a success stays a success.
    if (settings_.Midway.empty() || !platform::FileExists(settings_.Midway)) return;
    if (Boxes::Ask(this, Q(texts_[TextId::kUploadToPhone]))) {
      StartUploadTool(settings_.Midway, jad);  // what the tool does is its own affair
    }
  });
}

void Tfrm::btnBatchClick() {
  RunCommand([this] {
    if (!frmBatch_) return;
    frmBatch_->Execute(settings_, [this](const std::string& file_name, bool interactive) {
      return ProcessJar(file_name, interactive);
    });
  });
}

void Tfrm::btnOptionsClick() {
  RunCommand([this] {
    if (frmOptions_) frmOptions_->Execute(settings_);
  });
}

void Tfrm::btnAboutClick() {
  RunCommand([this] {
    if (frmAbout_) frmAbout_->exec();
  });
}

void Tfrm::btnExitClick() {
  close();
}

void Tfrm::btnLangClick() {
  RunCommand([this] {
    if (!frmLang_) return;
    const std::optional<std::string> chosen =
        frmLang_->Execute(locations_.language_dirs, settings_.LangFile);
    if (!chosen) return;
    settings_.LangFile = *chosen;
    ApplyLanguage(settings_.LangFile);
  });
}

// --- Dropped files -----------------------------------------------------------------------------

void Tfrm::FilesDropped(const std::vector<std::string>& paths) {
  RunCommand([&] {
    for (const std::string& path : paths) {
      if (!platform::FileExists(path)) return;  // a folder or a vanished file ends the drop
      if (!IsGameFileName(path)) {
        AddConsoleLine(Q(texts_[TextId::kNotAJar]) + QLatin1Char(' ') +
                       QFile::decodeName(path.c_str()));
        continue;
      }
      // Only the first JAR of a drop is taken. Without confirmation it is processed at once.
      if (settings_.ConfirmDrop && !Boxes::Ask(this, Q(texts_[TextId::kAcceptFile]) + "\n" +
                                                         QFile::decodeName(path.c_str())))
        return;
      RunConsoleJob(path);  // the job's Console lines report the outcome
      return;
    }
  });
}

void Tfrm::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && !Busy()) event->acceptProposedAction();
}

void Tfrm::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls() && !Busy()) event->acceptProposedAction();
}

void Tfrm::dropEvent(QDropEvent* event) {
  if (!event->mimeData()->hasUrls()) return;
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    // Anything that is not a local file ends the drop as a missing file does.
    paths.push_back(url.isLocalFile() ? FileNameOf(url.toLocalFile()) : std::string());
  }
  event->acceptProposedAction();
  // The drop is finished before any question is asked or a job runs.
  QMetaObject::invokeMethod(
      this, [this, paths] { FilesDropped(paths); }, Qt::QueuedConnection);
}

}  // namespace korvel
