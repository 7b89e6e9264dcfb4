// The desktop program's start and its Qt services for the archive component.
#include "ui/MainProgram.h"

#include <QCursor>
#include <exception>

#include "archive/ZipMsg.h"
#include "ui/AboutDialog.h"
#include "ui/BatchDialog.h"
#include "ui/Boxes.h"
#include "ui/LanguageDialog.h"
#include "ui/MainWindow.h"
#include "ui/OptionsDialog.h"

namespace korvel {

namespace {

ZipBoxCapture* g_capture = nullptr;

int ModalResultOf(TZipDlgButton button) {
  switch (button) {
    case TZipDlgButton::Yes:
      return kZipMrYes;
    case TZipDlgButton::No:
      return kZipMrNo;
    case TZipDlgButton::OK:
      return kZipMrOk;
    case TZipDlgButton::Cancel:
      return kZipMrCancel;
    case TZipDlgButton::Abort:
      return kZipMrAbort;
    case TZipDlgButton::Retry:
      return kZipMrRetry;
    case TZipDlgButton::Ignore:
      return kZipMrIgnore;
    case TZipDlgButton::CancelAll:
      return kZipMrCancelAll;
    case TZipDlgButton::NoToAll:
      return kZipMrNoToAll;
    case TZipDlgButton::YesToAll:
      break;
  }
  return kZipMrYesToAll;
}

// The archive component's box as one of the program's boxes. A question offering Yes becomes a
// Yes/No box; any other box shows its text and answers with its first button. The program
// never sets a password, so a password request is cancelled rather than guessed.
int ShowZipDialog(TZipDialogRequest& request) {
  QWidget* parent = QApplication::activeWindow();
  const QString text = QString::fromStdString(request.Message);
  if (request.Kind == TZipDlgKind::kPassword) return kZipMrCancel;
  const TZipDlgButtons& buttons = request.Buttons;
  if (buttons.Contains(TZipDlgButton::Yes) || buttons.Contains(TZipDlgButton::YesToAll)) {
    if (Boxes::Ask(parent, text)) {
      return buttons.Contains(TZipDlgButton::Yes) ? kZipMrYes : kZipMrYesToAll;
    }
    for (TZipDlgButton no : {TZipDlgButton::No, TZipDlgButton::NoToAll, TZipDlgButton::Cancel,
                             TZipDlgButton::CancelAll, TZipDlgButton::Abort}) {
      if (buttons.Contains(no)) return ModalResultOf(no);
    }
    return kZipMrNo;
  }
  const BoxKind kind = request.Kind == TZipDlgKind::kInformation ? BoxKind::kInformation
                       : request.Kind == TZipDlgKind::kQuestion  ? BoxKind::kInformation
                                                                 : BoxKind::kError;
  if (g_capture) {
    g_capture->Add(request.Message);
  } else {
    Boxes::Show(parent, kind, text);
  }
  for (int i = 0; i < 10; ++i) {
    const auto button = static_cast<TZipDlgButton>(i);
    if (buttons.Contains(button)) return ModalResultOf(button);
  }
  return kZipMrOk;
}

}  // namespace

ZipBoxCapture::ZipBoxCapture() : outer_(g_capture) {
  g_capture = this;
}

ZipBoxCapture::~ZipBoxCapture() {
  g_capture = outer_;
}

ProgramWindows CreateProgramWindows() {
  ProgramWindows windows;
  windows.frm = std::make_unique<Tfrm>();
  Tfrm* frm = windows.frm.get();
  windows.frmAbout = new TfrmAbout(frm);
  windows.frmOptions = new TfrmOptions(frm);
  windows.frmBatch = new TfrmBatch(frm);
  windows.frmLang = new TfrmLang(frm);
  frm->SetDialogs(windows.frmAbout, windows.frmOptions, windows.frmBatch, windows.frmLang);
  return windows;
}

void InstallZipUiHooks() {
  TZipUiHooks hooks;
  hooks.ShowDialog = ShowZipDialog;
  hooks.SetWaitCursor = [](bool wait) {
    if (wait) {
      QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    } else {
      QApplication::restoreOverrideCursor();
    }
  };
  hooks.ProcessMessages = [] { QCoreApplication::processEvents(); };
  hooks.ApplicationTitle = kApplicationTitle;
  SetZipUiHooks(std::move(hooks));
}

KorvelApplication::KorvelApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // Not the display name: Qt would append that to every window title.
  setApplicationName(QString::fromLatin1(kApplicationTitle));
}

bool KorvelApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    Boxes::Show(activeWindow(), BoxKind::kError, QString::fromStdString(e.what()));
  } catch (...) {
    Boxes::Show(activeWindow(), BoxKind::kError, QStringLiteral("Unknown error"));
  }
  return false;
}

}  // namespace korvel
