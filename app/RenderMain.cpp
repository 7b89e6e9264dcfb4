// korvel-render OUTPUT_DIR: draws each window to OUTPUT_DIR/<class>.png for a look by eye.
#include <QDir>
#include <QPixmap>
#include <QWidget>
#include <cstdio>
#include <vector>

#include "ui/AboutDialog.h"
#include "ui/BatchDialog.h"
#include "ui/LanguageDialog.h"
#include "ui/MainProgram.h"
#include "ui/MainWindow.h"
#include "ui/OptionsDialog.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: korvel-render OUTPUT_DIR\n");
    return 2;
  }
  // Rendering needs no display; a platform chosen by the caller (xcb under Xvfb) is kept.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  korvel::KorvelApplication app(argc, argv);
  const QString out_dir = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(out_dir)) {
    std::fprintf(stderr, "korvel-render: cannot create %s\n", argv[1]);
    return 1;
  }
  korvel::ProgramWindows windows = korvel::CreateProgramWindows();
  // The built-in texts, whatever korvel.ini beside the program says.
  windows.frm->ApplyLanguage("");
  const std::vector<std::pair<const char*, QWidget*>> targets = {
      {"Tfrm", windows.frm.get()},         {"TfrmAbout", windows.frmAbout},
      {"TfrmOptions", windows.frmOptions}, {"TfrmBatch", windows.frmBatch},
      {"TfrmLang", windows.frmLang},
  };
  int failures = 0;
  for (const auto& [name, window] : targets) {
    const QString file = QDir(out_dir).filePath(QString::fromLatin1(name) + ".png");
    window->ensurePolished();
    if (!window->grab().save(file)) {
      std::fprintf(stderr, "korvel-render: cannot write %s\n", qPrintable(file));
      ++failures;
      continue;
    }
    std::printf("%s\n", qPrintable(file));
  }
  return failures == 0 ? 0 : 1;
}
