// The desktop program's start and its Qt services for the archive component.
#include "ui/MainProgram.h"

#include <QCursor>
#include <exception>

#include "archive/ArchiveMessages.h"
#include "ui/AboutDialog.h"
#include "ui/BatchDialog.h"
#include "ui/Boxes.h"
#include "ui/LanguageDialog.h"
#include "ui/MainWindow.h"
#include "ui/OptionsDialog.h"

namespace korvel {

namespace {

ArchiveBoxCapture* g_capture = nullptr;

int ModalResultOf(TArchiveBoxButton button) {
  switch (button) {
    case TArchiveBoxButton::Yes:
      return kArchiveMrYes;
    case TArchiveBoxButton::No:
      return kArchiveMrNo;
    case TArchiveBoxButton::OK:
      return kArchiveMrOk;
    case TArchiveBoxButton::Cancel:
      return kArchiveMrCancel;
    case TArchiveBoxButton::Abort:
      return kArchiveMrAbort;
    case TArchiveBoxButton::Retry:
      return kArchiveMrRetry;
    case TArchiveBoxButton::Ignore:
      return kArchiveMrIgnore;
    case TArchiveBoxButton::CancelAll:
      return kArchiveMrCancelAll;
    case TArchiveBoxButton::NoToAll:
      return kArchiveMrNoToAll;
    case TArchiveBoxButton::YesToAll:
      break;
  }
  return kArchiveMrYesToAll;
}

// The archive component's box as one of the program's boxes. A question offering Yes becomes a
// Yes/No box; any other box shows its text and answers with its first button. The program
// never sets a password, so a password request is cancelled rather than guessed.
int ShowArchiveBox(TArchiveBoxRequest& request) {
  QWidget* parent = QApplication::activeWindow();
  const QString text = QString::fromStdString(request.Message);
  if (request.Kind == TArchiveBoxKind::kPassword) return kArchiveMrCancel;
  const TArchiveBoxButtons& buttons = request.Buttons;
  if (buttons.Contains(TArchiveBoxButton::Yes) || buttons.Contains(TArchiveBoxButton::YesToAll)) {
    if (Boxes::Ask(parent, text)) {
      return buttons.Contains(TArchiveBoxButton::Yes) ? kArchiveMrYes : kArchiveMrYesToAll;
    }
    for (TArchiveBoxButton no :
         {TArchiveBoxButton::No, TArchiveBoxButton::NoToAll, TArchiveBoxButton::Cancel,
          TArchiveBoxButton::CancelAll, TArchiveBoxButton::Abort}) {
      if (buttons.Contains(no)) return ModalResultOf(no);
    }
    return kArchiveMrNo;
  }
  const BoxKind kind = request.Kind == TArchiveBoxKind::kInformation ? BoxKind::kInformation
                       : request.Kind == TArchiveBoxKind::kQuestion  ? BoxKind::kInformation
                                                                     : BoxKind::kError;
  if (g_capture) {
    g_capture->Add(request.Message);
  } else {
    Boxes::Show(parent, kind, text);
  }
  for (int i = 0; i < 10; ++i) {
    const auto button = static_cast<TArchiveBoxButton>(i);
    if (buttons.Contains(button)) return ModalResultOf(button);
  }
  return kArchiveMrOk;
}

}  // namespace

ArchiveBoxCapture::ArchiveBoxCapture() : outer_(g_capture) {
  g_capture = this;
}

ArchiveBoxCapture::~ArchiveBoxCapture() {
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

void InstallArchiveUiHooks() {
  TArchiveUiHooks hooks;
  hooks.ShowDialog = ShowArchiveBox;
  hooks.SetWaitCursor = [](bool wait) {
    if (wait) {
      QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    } else {
      QApplication::restoreOverrideCursor();
    }
  };
  hooks.ProcessMessages = [] { QCoreApplication::processEvents(); };
  hooks.ApplicationTitle = kApplicationTitle;
  SetArchiveUiHooks(std::move(hooks));
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
