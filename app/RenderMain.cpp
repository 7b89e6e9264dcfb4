// korvel-render [--lang FILE] OUTPUT_DIR: draws each window to OUTPUT_DIR/<class>.png as a
// freshly started program shows it (default settings), in the built-in texts or those of FILE
// (a name in the program directory, as korvel.ini's LangFile).
#include <QDir>
#include <QPixmap>
#include <QWidget>
#include <cstdio>
#include <string>
#include <vector>

#include "ui/AboutDialog.h"
#include "ui/BatchDialog.h"
#include "ui/LanguageDialog.h"
#include "ui/MainProgram.h"
#include "ui/MainWindow.h"
#include "ui/OptionsDialog.h"

int main(int argc, char** argv) {
  std::string lang_file;
  if (argc == 4 && std::string(argv[1]) == "--lang") {
    lang_file = argv[2];
  } else if (argc != 2) {
    std::fprintf(stderr, "Usage: korvel-render [--lang FILE] OUTPUT_DIR\n");
    return 2;
  }
  // Rendering needs no display; a platform chosen by the caller (xcb under Xvfb) is kept.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  korvel::KorvelApplication app(argc, argv);
  const QString out_dir = QString::fromLocal8Bit(argv[argc - 1]);
  if (!QDir().mkpath(out_dir)) {
    std::fprintf(stderr, "korvel-render: cannot create %s\n", argv[argc - 1]);
    return 1;
  }
  korvel::ProgramWindows windows = korvel::CreateProgramWindows();
  // The chosen texts and the default settings, whatever korvel.ini beside the program says;
  // the language list holds the installed language files.
  korvel::Tfrm& frm = *windows.frm;
  frm.ApplyLanguage(lang_file);
  korvel::Settings settings;
  settings.LangFile = lang_file;
  windows.frmOptions->Load(settings);
  windows.frmLang->FillList(frm.locations().language_dirs, lang_file);
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
