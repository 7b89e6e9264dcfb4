// Tfrm: the main window, its Console, and the settings, texts and components the job uses.
// The commands, the job they run and dropped files are in MainWindowCommands.cpp.
#include "ui/MainWindow.h"

#include <QCloseEvent>
#include <QFile>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTextCursor>
#include <exception>

#include "pipeline/JobComponents.h"
#include "pipeline/PatchJob.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "ui/AboutDialog.h"
#include "ui/BatchDialog.h"
#include "ui/Boxes.h"
#include "ui/Look.h"
#include "ui/MainShape.h"
#include "ui/OptionsDialog.h"
#include "ui/controls/ControlTypes.h"
#include "ui/controls/FlatButton.h"
#include "ui/controls/WindowFade.h"

namespace korvel {

namespace {

constexpr const char* kMainTitle = "Программа для подстройки JAVA-игр под Virel";

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// The upload tool's start.
bool StartDetached(const std::string& program, const std::string& argument) {
  // One argument keeps a JAD path with blanks whole, as the double quotes do on Windows.
  return QProcess::startDetached(QFile::decodeName(program.c_str()),
                                 {QFile::decodeName(argument.c_str())});
}

}  // namespace

// The job's progress: Console lines for interactive jobs, the batch dialog's file gauge for
// batch jobs.
class Tfrm::ConsoleSink : public JobSink {
 public:
  explicit ConsoleSink(Tfrm& frm) : frm_(frm) {}
  void ConsoleLine(const std::string& line) override {
    frm_.AddConsoleLine(QString::fromStdString(line));
  }
  void SetGauge(int percent) override {
    if (frm_.frmBatch_) frm_.frmBatch_->SetFileGauge(percent);
  }
  void ConsoleProgress(const std::string& line) override {
    frm_.SetConsoleProgressLine(QString::fromStdString(line));
  }

 private:
  Tfrm& frm_;
};

Tfrm::Tfrm(QWidget* parent)
    : QWidget(parent), locations_(FindLocations()), sink_(std::make_unique<ConsoleSink>(*this)) {
  setWindowTitle(QString::fromUtf8(kMainTitle));
  // Single fixed border, system menu and minimise box, no maximise.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  PrepareWindow(this, "frm", 617, 170);
  CreateCommands();
  CreateConsole();
  ConnectCommands();
  WindowFade = MakeWindowFade(this);
  StartUploadTool = StartDetached;
  if (const QScreen* screen = this->screen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  RebuildJob();
}

// Created in z-order: the panels under the controls they frame.
void Tfrm::CreateCommands() {
  shpBtnsBg = new TPanelShape(this, kPanel, kAccent);
  shpBtnsBg->setObjectName(QStringLiteral("shpBtnsBg"));
  shpBtnsBg->setGeometry(8, 8, 153, 151);
  btnJar = MakeButton("btnJar", 14, 15, 141, 20);
  btnBatch = MakeButton("btnBatch", 14, 41, 141, 20);
  shpMenuLine1 = new TPanelShape(this, kAccent, kAccent);
  shpMenuLine1->setObjectName(QStringLiteral("shpMenuLine1"));
  shpMenuLine1->setGeometry(8, 67, 153, 1);
  btnOptions = MakeButton("btnOptions", 14, 74, 141, 20);
  shpMenuLine2 = new TPanelShape(this, kAccent, kAccent);
  shpMenuLine2->setObjectName(QStringLiteral("shpMenuLine2"));
  shpMenuLine2->setGeometry(8, 100, 153, 1);
  btnAbout = MakeButton("btnAbout", 14, 107, 141, 20);
  btnExit = MakeButton("btnExit", 14, 133, 141, 20);
}

void Tfrm::CreateConsole() {
  shpConsoleBg = new TPanelShape(this, kPanel, kAccent);
  shpConsoleBg->setObjectName(QStringLiteral("shpConsoleBg"));
  shpConsoleBg->setGeometry(167, 8, 442, 151);

  mem = new QPlainTextEdit(this);
  mem->setObjectName(QStringLiteral("mem"));
  // The Console leaves room at the foot of its panel for the language command.
  mem->setGeometry(172, 13, 432, 114);
  mem->setFrameShape(QFrame::NoFrame);
  mem->setReadOnly(true);
  mem->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mem->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  mem->setFont(WindowFont());
  QPalette mem_palette = mem->palette();
  mem_palette.setColor(QPalette::Base, kPanel);
  mem_palette.setColor(QPalette::Text, Qt::black);
  mem->setPalette(mem_palette);
  mem->setPlainText(QString());  // one empty line
  // Files dropped on the Console are the window's.
  mem->setAcceptDrops(false);
  mem->viewport()->setAcceptDrops(false);

  // The language command: a button like the others at the foot of the Console panel. Its
  // caption is fixed, like the language dialog's, so a user who cannot read the current language
  // still finds it.
  btnLang = MakeButton("btnLang", 463, 133, 141, 20);
  btnLang->SetCaption(QStringLiteral("Language"));
}

void Tfrm::ConnectCommands() {
  btnJar->OnClick = [this] { btnJarClick(); };
  btnBatch->OnClick = [this] { btnBatchClick(); };
  btnOptions->OnClick = [this] { btnOptionsClick(); };
  btnAbout->OnClick = [this] { btnAboutClick(); };
  btnExit->OnClick = [this] { btnExitClick(); };
  btnLang->OnClick = [this] { btnLangClick(); };

  // Keyboard use: Tab runs down the commands, Alt and a caption's first letter press a button,
  // Ctrl+O opens a JAR.
  for (TSelButton* button : {btnJar, btnBatch, btnOptions, btnAbout, btnExit, btnLang}) {
    button->SetMnemonic(true);
  }
  QWidget::setTabOrder(btnJar, btnBatch);
  QWidget::setTabOrder(btnBatch, btnOptions);
  QWidget::setTabOrder(btnOptions, btnAbout);
  QWidget::setTabOrder(btnAbout, btnExit);
  QWidget::setTabOrder(btnExit, btnLang);
  mem->setFocusPolicy(Qt::ClickFocus);
  auto* open_shortcut = new QShortcut(QKeySequence::Open, this);
  connect(open_shortcut, &QShortcut::activated, this, [this] { btnJarClick(); });
}

Tfrm::~Tfrm() = default;

Tfrm::Controls Tfrm::ControlsForTest() const {
  return {.mem = mem,
          .btnJar = btnJar,
          .btnBatch = btnBatch,
          .btnOptions = btnOptions,
          .btnAbout = btnAbout,
          .btnExit = btnExit,
          .btnLang = btnLang,
          .WindowFade = WindowFade};
}

TSelButton* Tfrm::MakeButton(const char* name, int x, int y, int w, int h) {
  return MakeFlatButton(this, name, QRect(x, y, w, h), taLeftJustify, WindowFont());
}

void Tfrm::SetDialogs(TfrmAbout* about, TfrmOptions* options, TfrmBatch* batch, TfrmLang* lang) {
  frmAbout_ = about;
  frmOptions_ = options;
  frmBatch_ = batch;
  frmLang_ = lang;
}

void Tfrm::SetLocations(Locations locations) {
  locations_ = std::move(locations);
  RebuildJob();
}

void Tfrm::SetProgramDirectory(const std::string& dir) {
  Locations beside = LocationsBeside(dir);
  beside.settings_file = locations_.settings_file;
  SetLocations(std::move(beside));
}

void Tfrm::RebuildJob() {
  job_ = components_.MakeJob(*sink_, locations_.job_dir);
}

void Tfrm::LoadSettings() {
  settings_ = korvel::LoadSettings(locations_.settings_file);
  last_folder_ = platform::ProfileFile(locations_.settings_file)
                     .ReadString(kSettingsSection, kLastFolderKey, "");
}

void Tfrm::SaveSettings() {
  PrepareSettingsDirectory(locations_);
  korvel::SaveSettings(settings_, locations_.settings_file);
  // The open dialog's folder is this window's own: it is kept beside the settings.
  platform::ProfileFile file(locations_.settings_file);
  file.WriteString(kSettingsSection, kLastFolderKey, last_folder_);
  file.Save();
}

std::string Tfrm::LanguagePath(const std::string& lang_file) const {
  return LanguageFilePath(locations_, lang_file);
}

std::string Tfrm::LocaleLanguageFile(const QLocale& locale) const {
  if (locale.language() == QLocale::C) return {};
  // Language files are named after their language in English: English.lng, German.lng...
  const std::string name = QLocale::languageToString(locale.language()).toStdString() + ".lng";
  return platform::FileExists(LanguagePath(name)) ? name : std::string();
}

void Tfrm::ApplyLanguage(const std::string& lang_file) {
  texts_.Load(LanguagePath(lang_file));
  setWindowTitle(Q(texts_[TextId::kMainCaption]));
  for (const LanguageCaption& caption : kLanguageCaptions) {
    if (caption.window != LanguageWindow::kMain) continue;
    auto* button =
        findChild<TSelButton*>(QString::fromLatin1(caption.control.data(), caption.control.size()));
    if (button) button->SetCaption(Q(CaptionText(caption, texts_)));
  }
  if (frmAbout_) frmAbout_->ApplyLanguage(texts_);
  if (frmBatch_) frmBatch_->ApplyLanguage(texts_);
  if (frmOptions_) frmOptions_->ApplyLanguage(texts_);
}

bool Tfrm::CheckEngineLibraries() {
  const std::vector<std::string> missing = components_.LoadEngines();
  if (missing.empty()) return true;
  components_.UnloadEngines();
  std::string text = texts_[TextId::kReqFilesNotFound];
  for (const std::string& name : missing) text += "\n" + name;
  ShowBox(BoxKind::kError, text);
  WindowFade->SetActive(false);
  return false;
}

void Tfrm::ShowBox(BoxKind kind, const std::string& text) {
  Boxes::Show(this, kind, Q(text));
}

// --- Console -----------------------------------------------------------------------------------

void Tfrm::ClearConsole() {
  mem->clear();
  console_blank_ = true;
  progress_line_ = false;
}

void Tfrm::AddConsoleLine(const QString& line) {
  QTextCursor cursor(mem->document());
  cursor.movePosition(QTextCursor::End);
  if (!console_blank_) cursor.insertBlock();
  console_blank_ = false;
  progress_line_ = false;
  cursor.insertText(line);
  mem->verticalScrollBar()->setValue(mem->verticalScrollBar()->maximum());
}

void Tfrm::SetConsoleProgressLine(const QString& line) {
  if (!progress_line_) {
    AddConsoleLine(line);
    progress_line_ = true;
    return;
  }
  QTextCursor cursor(mem->document());
  cursor.movePosition(QTextCursor::End);
  cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
  cursor.insertText(line);
  mem->verticalScrollBar()->setValue(mem->verticalScrollBar()->maximum());
}

void Tfrm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_once_) return;
  shown_once_ = true;
  FormShow();
}

void Tfrm::FormShow() {
  LoadSettings();
  // On the first start (no language chosen yet) the system's language is taken when a file
  // for it is installed.
  if (!platform::ProfileFile(locations_.settings_file).Find(kSettingsSection, "LangFile")) {
    settings_.LangFile = LocaleLanguageFile(QLocale());
  }
  ApplyLanguage(settings_.LangFile);
  setAcceptDrops(true);
}

void Tfrm::closeEvent(QCloseEvent* event) {
  bool can_close = true;
  FormCloseQuery(can_close);
  if (can_close) {
    event->accept();
  } else {
    event->ignore();
  }
}

void Tfrm::FormCloseQuery(bool& can_close) {
  if (Busy()) {
    close_pending_ = true;
    can_close = false;
    return;
  }
  // A failed write is reported, but the user still gets to quit.
  try {
    SaveSettings();
  } catch (const std::exception& e) {
    ShowBox(BoxKind::kError, e.what());
  }
  components_.UnloadEngines();
  can_close = true;
}

}  // namespace korvel
