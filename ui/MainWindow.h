// Tfrm: the main window, its Console, and the settings, texts and components the job uses.
#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/Archiver.h"
#include "pipeline/JobComponents.h"
#include "pipeline/PatchJob.h"
#include "search/EasyFileSearch.h"
#include "settings/Language.h"
#include "settings/Locations.h"
#include "settings/Settings.h"
#include "store/StoredItems.h"
#include "ui/Boxes.h"

class QLocale;
class QPlainTextEdit;

namespace korvel {

class TAlphaShowHide;
class TSelButton;
class TfrmAbout;
class TfrmBatch;
class TfrmLang;
class TfrmOptions;
class TPanelShape;

// The korvel.ini key (in the settings' section) of the folder the open dialog starts in.
inline constexpr const char* kLastFolderKey = "LastFolder";

class Tfrm : public QWidget {
  Q_OBJECT
 public:
  explicit Tfrm(QWidget* parent = nullptr);
  ~Tfrm() override;

  // The dialogs, created by the program after this window; they are read and called only
  // through their headers. Any may be missing (nullptr): its command then does nothing.
  void SetDialogs(TfrmAbout* about, TfrmOptions* options, TfrmBatch* batch, TfrmLang* lang);

  // --- Where things live (FindLocations() by default) ---------------------------------------
  const Locations& locations() const { return locations_; }
  void SetLocations(Locations locations);
  // Everything beside `dir`, as in a portable copy; the settings file keeps its path.
  void SetProgramDirectory(const std::string& dir);
  const std::string& SettingsPath() const { return locations_.settings_file; }
  void SetSettingsPath(std::string path) { locations_.settings_file = std::move(path); }

  // --- State the dialogs read ---------------------------------------------------------------
  Settings& settings() { return settings_; }
  const Language& texts() const { return texts_; }

  // --- Operations ------------------------------------------------------------------------------
  // The patch job on one JAR. Interactive jobs write Console lines, batch jobs drive the batch
  // dialog's file gauge. Errors of the job reach the caller.
  JobReport ProcessJar(const std::string& file_name, bool interactive);
  // What the last job the window ran did.
  const JobReport& LastReport() const { return last_report_; }
  // Reads the settings file into the record (and the open dialog's last folder).
  void LoadSettings();
  // Writes the record and the last folder; raises FileError when the file cannot be written.
  void SaveSettings();
  // Reads the texts from `lang_file` ("" for the built-in ones; a relative name is looked up in
  // the language folders) and sets the captions of this window and of the dialogs.
  void ApplyLanguage(const std::string& lang_file);
  // Checks that both engine libraries can be loaded; when one is missing, shows the error box
  // naming it, stops the fade and returns false (the program then ends).
  bool CheckEngineLibraries();

  // True while a job runs or a command of this window (a dialog, a box) is under way.
  bool Busy() const { return busy_ || job_running_; }

  // --- Event handlers ----------------------------------------------------------------------
  void FormShow();
  // Decides whether a close request may go on; saves the settings and unloads the engines.
  void FormCloseQuery(bool& can_close);
  void btnJarClick();
  void btnBatchClick();
  void btnOptionsClick();
  void btnAboutClick();
  void btnExitClick();
  void btnLangClick();
  // Files dropped on the window, in the order the desktop gave them.
  void FilesDropped(const std::vector<std::string>& paths);

  // Starts the upload tool with one argument; replaceable for tests. Returns whether it started.
  std::function<bool(const std::string& program, const std::string& argument)> StartUploadTool;

  // The folder the archive engines are loaded from; by default the program's own.
  void SetEngineDirectory(const std::string& dir) { components_.SetEngineDirectory(dir); }

  // The Console: empties it, or appends one line.
  void ClearConsole();
  void AddConsoleLine(const QString& line);
  // The line that shows how far a long step has come: replaced by the next such line, ended by
  // the next ordinary one.
  void SetConsoleProgressLine(const QString& line);

  // --- Test hooks --------------------------------------------------------------------------
  // The controls the tests drive and read, by their design names.
  struct Controls {
    QPlainTextEdit* mem;
    TSelButton* btnJar;
    TSelButton* btnBatch;
    TSelButton* btnOptions;
    TSelButton* btnAbout;
    TSelButton* btnExit;
    TSelButton* btnLang;
    TAlphaShowHide* WindowFade;
  };
  Controls ControlsForTest() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  class ConsoleSink;

  // The constructor's steps, in z-order: the command panel, the Console with the language
  // command, then the commands' handlers and keys.
  void CreateCommands();
  void CreateConsole();
  void ConnectCommands();
  TSelButton* MakeButton(const char* name, int x, int y, int w, int h);
  void RebuildJob();
  // Runs one user command: refused while another is under way, its errors shown in an error
  // box, and a close asked for meanwhile carried out when it ends.
  void RunCommand(const std::function<void()>& command);
  void ShowBox(BoxKind kind, const std::string& text);
  // An interactive job started from this window: the Console names the file first and ends
  // with the reason of a failure. Errors of the job reach the caller.
  JobReport RunConsoleJob(const std::string& jar);
  std::string LanguagePath(const std::string& lang_file) const;
  // The installed language file for `locale` (a name in a language folder), or "".
  std::string LocaleLanguageFile(const QLocale& locale) const;

  // --- Controls (children of this window) ----------------------------------------------------
  TPanelShape* shpBtnsBg = nullptr;
  TSelButton* btnJar = nullptr;
  TSelButton* btnBatch = nullptr;
  TPanelShape* shpMenuLine1 = nullptr;
  TSelButton* btnOptions = nullptr;
  TPanelShape* shpMenuLine2 = nullptr;
  TSelButton* btnAbout = nullptr;
  TSelButton* btnExit = nullptr;
  TPanelShape* shpConsoleBg = nullptr;
  QPlainTextEdit* mem = nullptr;
  TSelButton* btnLang = nullptr;
  TAlphaShowHide* WindowFade = nullptr;

  Settings settings_;
  Language texts_;
  Locations locations_;
  // The archive component `Zip`, the file search `fs` and the store `storeClass` the job works
  // with, and the job made with them.
  JobComponents components_{settings_, texts_};
  std::unique_ptr<ConsoleSink> sink_;
  std::unique_ptr<PatchJob> job_;
  JobReport last_report_;
  std::string last_folder_;  // where the open dialog starts

  TfrmAbout* frmAbout_ = nullptr;
  TfrmOptions* frmOptions_ = nullptr;
  TfrmBatch* frmBatch_ = nullptr;
  TfrmLang* frmLang_ = nullptr;

  bool shown_once_ = false;
  bool busy_ = false;
  bool job_running_ = false;
  bool close_pending_ = false;
  bool console_blank_ = false;  // the Console holds no line at all (after a clear)
  bool progress_line_ = false;  // the Console's last line is a progress line
};

}  // namespace korvel
