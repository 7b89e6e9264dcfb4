// TfrmBatch: the batch dialog, adapting a list of JARs in one run.
#include "ui/BatchDialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <QUrl>
#include <exception>

#include "pipeline/JobComponents.h"
#include "platform/Files.h"
#include "ui/Boxes.h"
#include "ui/Look.h"
#include "ui/MainShape.h"
#include "ui/controls/ControlTypes.h"
#include "ui/controls/FlatButton.h"
#include "ui/controls/GradientGauge.h"
#include "ui/controls/WindowFade.h"

namespace korvel {

namespace {

// What a list entry holds besides its text: the file's path, and whether a run has given it a
// result.
constexpr int kPathRole = Qt::UserRole;
constexpr int kResultRole = Qt::UserRole + 1;
enum Result { kPending = 0, kDone };

const QColor kGaugeFill = BgrColor(15195083);  // #CBDBE7

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// File names are the platform's bytes; the list shows them as text.
std::string FileNameOf(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

// The gauges take a format text; anything else shown in them must keep its "%" signs as they
// are, so they are doubled.
QString Literal(const QString& text) {
  QString escaped = text;
  escaped.replace(QLatin1Char('%'), QLatin1String("%%"));
  return escaped;
}

QString DisplayName(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

// The dialog's panels and the outlines on them.
TPanelShape* MakeShape(QWidget* parent, const char* name, QRect geometry) {
  auto* shape = new TPanelShape(parent, kPanel, kAccent);
  shape->setObjectName(QString::fromLatin1(name));
  shape->setGeometry(geometry);
  return shape;
}

TSelButton* MakeButton(QWidget* parent, const char* name, QRect geometry, bool bold) {
  return MakeFlatButton(parent, name, geometry, taCenter, WindowFont(bold));
}

// A flat gauge filled in one colour, its text in the accent colour.
TjsCoolGauge* MakeGauge(QWidget* parent, const char* name, QRect geometry) {
  auto* gauge = new TjsCoolGauge(parent);
  gauge->setObjectName(QString::fromLatin1(name));
  gauge->setGeometry(geometry);
  gauge->SetBorderStyle(bsNone);
  gauge->SetFrame(false);
  gauge->SetBackColor(kPanel);
  gauge->SetForeColor1(kGaugeFill);
  gauge->SetForeColor2(kGaugeFill);
  gauge->SetStyle(sSolid);
  gauge->SetFont(WindowFont(true));
  gauge->SetFontColor(kAccent);
  return gauge;
}

}  // namespace

TfrmBatch::TfrmBatch(QWidget* parent) : QDialog(parent, kDialogFlags) {
  static const Language kBuiltIn;
  texts_ = &kBuiltIn;

  PrepareWindow(this, "frmBatch", 437, 384);
  CentreAndDefaultOk(this);
  setAcceptDrops(true);

  shpFilesBg = MakeShape(this, "shpFilesBg", {8, 8, 421, 255});
  btnAdd = MakeButton(this, "btnAdd", {8, 8, 141, 20}, false);
  btnDel = MakeButton(this, "btnDel", {148, 8, 141, 20}, false);
  btnClear = MakeButton(this, "btnClear", {288, 8, 141, 20}, false);

  lbFiles = new QListWidget(this);
  lbFiles->setObjectName(QStringLiteral("lbFiles"));
  lbFiles->setGeometry(14, 34, 409, 223);
  lbFiles->setFrameShape(QFrame::NoFrame);
  lbFiles->setSelectionMode(QAbstractItemView::SingleSelection);
  lbFiles->setUniformItemSizes(true);
  lbFiles->setItemDelegate(new FixedItemHeightDelegate(14, lbFiles));
  QPalette list_palette = lbFiles->palette();
  list_palette.setColor(QPalette::Base, kPanel);
  lbFiles->setPalette(list_palette);

  shpStatBg = MakeShape(this, "shpStatBg", {8, 271, 421, 75});
  // The outlines sit on the panel, so their inside is the panel's colour.
  shpGFileBrdr = MakeShape(this, "shpGFileBrdr", {16, 280, 404, 24});
  gFile = MakeGauge(this, "gFile", {18, 282, 400, 20});
  shpGBatchBrdr = MakeShape(this, "shpGBatchBrdr", {16, 313, 404, 24});
  gBatch = MakeGauge(this, "gBatch", {18, 315, 400, 20});
  btnStart = MakeButton(this, "btnStart", {138, 354, 141, 22}, true);
  btnCancel = MakeButton(this, "btnCancel", {288, 354, 141, 22}, false);

  btnAdd->OnClick = [this] { btnAddClick(); };
  btnDel->OnClick = [this] { btnDelClick(); };
  btnClear->OnClick = [this] { btnClearClick(); };
  btnStart->OnClick = [this] { btnStartClick(); };
  btnCancel->OnClick = [this] { btnCancelClick(); };

  WindowFade = MakeWindowFade(this);

  ApplyLanguage(kBuiltIn);
}

void TfrmBatch::ApplyLanguage(const Language& texts) {
  texts_ = &texts;
  for (const LanguageCaption& caption : kLanguageCaptions) {
    if (caption.window != LanguageWindow::kBatch) continue;
    const QString text = Q(texts.Text(caption.text));
    if (caption.control == kWindowTitle) {
      setWindowTitle(text);
      continue;
    }
    QObject* control = findChild<QObject*>(
        QString::fromLatin1(caption.control.data(), static_cast<qsizetype>(caption.control.size())),
        Qt::FindDirectChildrenOnly);
    if (auto* button = qobject_cast<TSelButton*>(control)) {
      button->SetCaption(text);
    } else if (auto* gauge = qobject_cast<TjsCoolGauge*>(control)) {
      // Only the appended ": %d%%" is a format; the language's own text is shown as it is.
      gauge->SetText(Literal(text) +
                     QString::fromLatin1(caption.suffix.data(),
                                         static_cast<qsizetype>(caption.suffix.size())));
    }
  }
  if (running_) {
    btnCancel->SetCaption(Q(Texts()[TextId::kStop]));
  }
}

void TfrmBatch::Execute(const Settings& settings, ProcessJarFn process_jar) {
  confirm_drop_ = settings.ConfirmDrop;
  process_jar_ = std::move(process_jar);
  exec();
  process_jar_ = nullptr;
}

void TfrmBatch::SetFileGauge(int percent) {
  gFile->SetProgress(percent);
}

void TfrmBatch::btnAddClick() {
  if (running_) return;
  const QStringList files =
      Boxes::OpenFiles(this, Q(Texts()[TextId::kAddJarsTitle]), JarFileFilter(Texts()));
  for (const QString& file : files) AddEntry(file);
}

void TfrmBatch::AddEntry(const QString& path) {
  auto* item = new QListWidgetItem(path, lbFiles);
  item->setData(kPathRole, path);
  item->setData(kResultRole, kPending);
}

void TfrmBatch::SetResult(QListWidgetItem* item, const JobReport& report) {
  const QString path = item->data(kPathRole).toString();
  item->setData(kResultRole, kDone);
  const QString text = path + QStringLiteral(" \u2014 ") +
                       Q(OutcomeLine(Texts(), report)).replace(QLatin1Char('\n'), QLatin1Char(' '));
  item->setText(text);
  item->setToolTip(text);
  if (report.outcome == JobOutcome::kFailed) item->setForeground(QColor(0xB0, 0x00, 0x00));
}

void TfrmBatch::btnDelClick() {
  if (running_) return;
  const QList<QListWidgetItem*> selected = lbFiles->selectedItems();
  if (selected.isEmpty()) {
    Boxes::Show(this, BoxKind::kError, Q(Texts()[TextId::kNothingSelected]));
    return;
  }
  delete lbFiles->takeItem(lbFiles->row(selected.front()));
}

void TfrmBatch::btnClearClick() {
  if (running_) return;
  lbFiles->clear();
}

void TfrmBatch::btnCancelClick() {
  if (running_) {
    stop_ = true;  // seen between two files
    return;
  }
  QDialog::reject();
}

void TfrmBatch::reject() {
  if (running_) return;
  QDialog::reject();
}

void TfrmBatch::closeEvent(QCloseEvent* event) {
  // The file being adapted must finish first; the user may have the run stop after it and the
  // dialog close then.
  if (running_) {
    event->ignore();
    if (!stop_ && Boxes::Ask(this, Q(Texts()[TextId::kStopAfterCurrent]))) {
      stop_ = true;
      close_after_run_ = true;
    }
    return;
  }
  QDialog::closeEvent(event);
}

void TfrmBatch::btnStartClick() {
  if (running_ || !process_jar_) return;
  const std::vector<QListWidgetItem*> pending = PendingEntries();
  if (pending.empty()) return;
  running_ = true;
  stop_ = false;
  close_after_run_ = false;
  btnCancel->SetCaption(Q(Texts()[TextId::kStop]));
  btnStart->SetEnabled(false);

  // The list cannot change during the run (its commands and drops are ignored).
  const int count = static_cast<int>(pending.size());
  gBatch->SetMaxValue(count);
  int adapted = 0;
  int failed = 0;
  int skipped = 0;
  for (int i = 0; i < count && !stop_; ++i) {
    const JobOutcome outcome = RunEntry(pending[i]);
    ++(outcome == JobOutcome::kAdapted  ? adapted
       : outcome == JobOutcome::kFailed ? failed
                                        : skipped);
    gBatch->SetProgress(i + 1);
    QCoreApplication::processEvents();  // the close button's stop is seen here
  }
  ResetGauges();
  if (!stop_) ShowCounts(adapted, failed, skipped);
  const bool close_now = close_after_run_;
  FinishRun();
  if (close_now) QDialog::reject();
}

std::vector<QListWidgetItem*> TfrmBatch::PendingEntries() const {
  // Entries with a result stay as they are until the list is cleared; a run takes the others.
  std::vector<QListWidgetItem*> pending;
  for (int i = 0; i < lbFiles->count(); ++i) {
    if (lbFiles->item(i)->data(kResultRole).toInt() == kPending)
      pending.push_back(lbFiles->item(i));
  }
  return pending;
}

JobOutcome TfrmBatch::RunEntry(QListWidgetItem* item) {
  const std::string file = FileNameOf(item->data(kPathRole).toString());
  gFile->SetText(Literal(DisplayName(platform::FileNamePart(file))));
  JobReport report;
  try {
    report = process_jar_(file, false);
    if (report.outcome == JobOutcome::kFailed && report.reason.empty())
      report.reason = Texts()[TextId::kJarNotCreated];
  } catch (const std::exception& error) {
    report.reason = error.what();
  } catch (...) {
    ResetGauges();
    FinishRun();
    throw;
  }
  // One file's failure is its own: it is shown in its entry and the run goes on.
  SetResult(item, report);
  return report.outcome;
}

void TfrmBatch::ShowCounts(int adapted, int failed, int skipped) {
  // Games left as they were (no canvas, adapted before) are counted apart when there are any.
  std::string counts = Texts()[TextId::kProcessingFinished] + "\n" +
                       Texts()[TextId::kAdaptedCount] + " " + std::to_string(adapted) + "\n";
  if (skipped > 0) counts += Texts()[TextId::kSkippedCount] + " " + std::to_string(skipped) + "\n";
  counts += Texts()[TextId::kFailedCount] + " " + std::to_string(failed);
  Boxes::Show(this, failed ? BoxKind::kError : BoxKind::kInformation, Q(counts));
}

void TfrmBatch::ResetGauges() {
  gFile->SetText(Literal(Q(Texts()[TextId::kFile])));
  gFile->SetProgress(0);
  gBatch->SetProgress(0);
  gBatch->SetMaxValue(100);
}

void TfrmBatch::FinishRun() {
  running_ = false;
  stop_ = false;
  close_after_run_ = false;
  btnCancel->SetCaption(Q(Texts()[TextId::kClose]));
  btnStart->SetEnabled(true);
}

void TfrmBatch::FilesDropped(const std::vector<std::string>& paths) {
  if (running_) return;
  if (confirm_drop_ && !Boxes::Ask(this, Q(Texts()[TextId::kAcceptFiles]))) return;
  for (const std::string& path : paths) {
    if (IsGameFileName(path) && platform::FileExists(path)) AddEntry(DisplayName(path));
  }
}

void TfrmBatch::dragEnterEvent(QDragEnterEvent* event) {
  if (!running_ && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TfrmBatch::dragMoveEvent(QDragMoveEvent* event) {
  if (!running_ && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TfrmBatch::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths.push_back(FileNameOf(url.toLocalFile()));
  }
  event->acceptProposedAction();
  // The question box must not open inside the desktop's drag and drop, so the drop is finished
  // first and the files are taken right after.
  QMetaObject::invokeMethod(
      this, [this, paths = std::move(paths)] { FilesDropped(paths); }, Qt::QueuedConnection);
}

TfrmBatch::Controls TfrmBatch::ControlsForTest() const {
  return {.btnAdd = btnAdd,
          .btnDel = btnDel,
          .btnClear = btnClear,
          .lbFiles = lbFiles,
          .gFile = gFile,
          .gBatch = gBatch,
          .btnStart = btnStart,
          .btnCancel = btnCancel};
}

}  // namespace korvel
