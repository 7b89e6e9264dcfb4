// korvel: the desktop program's main(): windows, engine check, event loop.
#include "platform/Time.h"
#include "ui/MainProgram.h"
#include "ui/MainWindow.h"

int main(int argc, char** argv) {
  korvel::platform::PinLocalTimeZone();
  korvel::KorvelApplication app(argc, argv);
  app.setApplicationVersion(QStringLiteral(KORVEL_VERSION));
  korvel::InstallArchiveUiHooks();
  korvel::ProgramWindows windows = korvel::CreateProgramWindows();
  // Before the first show, so the texts are still the built-in ones.
  if (!windows.frm->CheckEngineLibraries()) return 1;
  windows.frm->show();
  return app.exec();
}
