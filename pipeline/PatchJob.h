// The patch job: adapts one MIDlet suite in place so that it runs full-screen on the Virel.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "settings/Language.h"
#include "settings/Settings.h"

namespace korvel {

class TEasyFileSearch;
class TmxStorage;
class TZipMaster;
struct TFileInformations;

// Where a job reports its progress.
class JobSink {
 public:
  virtual ~JobSink() = default;
  // Interactive jobs: one line appended to the Console.
  virtual void ConsoleLine(const std::string& line) = 0;
  // Batch jobs: the per-file gauge, in percent.
  virtual void SetGauge(int percent) = 0;
};

// Raised when a job cannot run or cannot go on (another job holds the lock, the compatibility
// classes cannot be added). File and store errors reach the caller as they are.
class JobError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// game.jar -> game.jar.bak
std::string BackupPath(const std::string& jar);
// game.jar -> game.jad; the extension runs from the last dot of the name, and a name without one
// gets ".jad" appended.
std::string DescriptorPath(const std::string& jar);
// The work folder below the program directory.
std::string WorkDirectory(const std::string& program_dir);
// The lock file that lets one job run at a time across windows and processes.
std::string JobLockPath(const std::string& program_dir);

// How a job ended.
enum class JobOutcome {
  kAdapted,    // the adapted JAR stands at the path given
  kUnchanged,  // no class could be redirected: JAR and JAD are left byte for byte as they were
  kFailed,     // the adapted JAR could not be made; the JAR is as it was
};

// The file search settings the job relies on: subfolders walked, every kind of file reported.
void ApplyPatchJobSettings(TEasyFileSearch& fs);

// The components and state a job works with; the main window (or korvel-patch) owns them.
struct JobContext {
  TZipMaster& Zip;         // configured with ApplyPatchJobSettings(TZipMaster&)
  TEasyFileSearch& fs;     // configured with ApplyPatchJobSettings(TEasyFileSearch&)
  TmxStorage& storeClass;  // holds "FullCn.class" and "Nokia.zip"
  Settings& settings;      // ResW and ResH are corrected in place
  const Language& texts;   // Console lines
  JobSink& sink;
  std::string program_dir;  // the executable's folder, no trailing separator
};

class PatchJob {
 public:
  // Installs fsFileFound as the search's OnFileFound.
  explicit PatchJob(JobContext context);

  // Adapts the JAR at `file_name`: backup, unpack, Nokia classes, class patch, full-screen
  // class, manifest and JAD, pack, JAD update, cleanup. Interactive jobs write Console lines,
  // batch jobs set the gauge.
  JobOutcome ProcessJar(const std::string& file_name, bool interactive);

  // What each file the search reports gets: 1 deleted, 2 canvas redirect (counted when
  // redirected; a class that cannot be read is named on the Console and left as it is), 3 tested
  // for the Nokia API (counted on a hit).
  void fsFileFound(const TFileInformations& file);
  int ScanMode = 0;
  int ScanCount = 0;
  // Set by the redirect: some class builds on FullCn or FullGameCn, now or from an earlier
  // adaptation.
  bool UsesFullCanvas = false;
  bool UsesFullGameCanvas = false;

  // Removes a folder with everything in it; true on success.
  static bool DeleteDirTree(const std::string& folder);

 private:
  void Console(TextId id) { ConsoleText(context_.texts.Text(id)); }
  void ConsoleText(const std::string& line);
  void Gauge(int percent);
  void Scan(int mode, std::string_view mask);
  // Unpacks every entry of `archive` below `folder`; false when the archive is not a zip, is
  // damaged, holds no files or not every file could be written.
  bool Unpack(const std::string& archive, const std::string& folder);
  // Packs the work folder into `target`, and reads it back: every file of the work folder must
  // be in it and test good.
  bool PackAndVerify(const std::string& target);
  void AddNokiaClasses();
  void RedirectCanvas(const std::string& path);
  void ClearWorkDirectory();

  JobContext context_;
  bool interactive_ = true;
  std::string work_dir_;
};

}  // namespace korvel
