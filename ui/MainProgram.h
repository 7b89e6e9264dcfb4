// The desktop program's start: its five windows, the archive hooks in Qt, the application.
#pragma once

#include <QApplication>
#include <memory>
#include <string>
#include <vector>

namespace korvel {

class Tfrm;
class TfrmAbout;
class TfrmBatch;
class TfrmLang;
class TfrmOptions;

inline constexpr const char* kApplicationTitle = "Korvel";

// The five windows. The dialogs are children of the main window and go with it.
struct ProgramWindows {
  std::unique_ptr<Tfrm> frm;
  TfrmAbout* frmAbout = nullptr;
  TfrmOptions* frmOptions = nullptr;
  TfrmBatch* frmBatch = nullptr;
  TfrmLang* frmLang = nullptr;
};

// Creates the main window, then the About box, the Options, batch and language dialogs, and
// hands the dialogs to the main window.
ProgramWindows CreateProgramWindows();

// The archive component's boxes become the program's boxes, its wait cursor the override
// cursor, and at every engine callback pending events are processed.
void InstallArchiveUiHooks();

// While one exists, the archive component's message boxes are kept instead of shown (its
// questions are still asked): a job that fails then says why once, with its file's name, rather
// than in a modal box that stops a batch run. Captures nest; the innermost one keeps the texts.
class ArchiveBoxCapture {
 public:
  ArchiveBoxCapture();
  ~ArchiveBoxCapture();
  ArchiveBoxCapture(const ArchiveBoxCapture&) = delete;
  ArchiveBoxCapture& operator=(const ArchiveBoxCapture&) = delete;

  const std::vector<std::string>& Messages() const { return messages_; }
  void Add(std::string message) { messages_.push_back(std::move(message)); }

 private:
  ArchiveBoxCapture* outer_;
  std::vector<std::string> messages_;
};

// Shows any error that escapes an event handler in an "Error" box and goes on.
class KorvelApplication : public QApplication {
 public:
  KorvelApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace korvel
