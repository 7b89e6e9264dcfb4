// The patch job: adapts one MIDlet suite in place so that it runs full-screen on the Virel.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/FullScreenClass.h"
#include "pipeline/GameFiles.h"
#include "pipeline/GameTransaction.h"
#include "pipeline/JobReport.h"
#include "pipeline/KeyCanvasClasses.h"
#include "pipeline/KeyHandlers.h"
#include "settings/Language.h"
#include "settings/Settings.h"

namespace korvel {

class OpenedClassFile;
class TEasyFileSearch;
class TmxStorage;
class TArchiver;
struct TFileInformations;

// Where a job reports its progress.
class JobSink {
 public:
  virtual ~JobSink() = default;
  // Interactive jobs: one line appended to the Console.
  virtual void ConsoleLine(const std::string& line) = 0;
  // Batch jobs: the per-file gauge, in percent.
  virtual void SetGauge(int percent) = 0;
  // Interactive jobs: how far a long step (unpacking, packing) has come. Each call replaces the
  // previous one of the same step, so a Console shows it as one changing line.
  virtual void ConsoleProgress(const std::string& line) { (void)line; }
};

// Raised when a job cannot start: another job holds the lock. Every failure after that ends the
// job with kFailed and a reason in its report (PatchJob::Report).
class JobError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What unpacking may write: in all, and as a multiple of the archive's size (above a small
// floor, so that tiny archives of repetitive data pass).
inline constexpr std::uint64_t kUnpackCeiling = 512ull << 20;
inline constexpr std::uint64_t kUnpackRatioLimit = 200;
inline constexpr std::uint64_t kUnpackRatioFloor = 16ull << 20;

// The work folder below the program directory.
std::string WorkDirectory(const std::string& program_dir);
// The lock file that lets one job run at a time across windows and processes.
std::string JobLockPath(const std::string& program_dir);

// The components and state a job works with, made and configured by JobComponents
// (pipeline/JobComponents.h), which the main window and korvel-patch each own.
struct JobContext {
  TArchiver& Zip;          // configured with ApplyPatchJobSettings(TArchiver&)
  TEasyFileSearch& fs;     // configured with ApplyPatchJobSettings(TEasyFileSearch&)
  TmxStorage& storeClass;  // holds "FullCn.class" and "Nokia.zip"
  Settings& settings;      // ResW and ResH are corrected in place
  const Language& texts;   // Console lines
  JobSink& sink;
  // The job's own folder (work folder, lock, staged files; Locations::job_dir): the program
  // directory of a portable copy, the user's cache folder for an installed one. No trailing
  // separator.
  std::string program_dir;
};

class PatchJob {
 public:
  // Installs the job's handler as the search's OnFileFound.
  explicit PatchJob(JobContext context);

  // Adapts the JAR at `file_name` (relative to the current folder, which the job never changes):
  // unpack, Nokia classes, canvas redirect, full-screen class, manifest and JAD, pack, JAD update,
  // then JAR and JAD replaced together (GameTransaction), cleanup. An interrupted earlier run on
  // the game is finished or rolled back first. kAdapted when the adapted pair is in place;
  // kUnchanged when no class could be redirected (the game is left byte for byte);
  // kAlreadyAdapted when it carries our canvas class at the configured size already (left byte
  // for byte; another size is adapted again); kFailed when
  // it could not be made, in which case the game is as it was and Report() says why.
  // Interactive jobs write Console lines, batch jobs set the gauge. Raises JobError only when
  // another job is running.
  JobOutcome ProcessJar(const std::string& file_name, bool interactive);

  // What ProcessJar would do with the same settings, without writing beside the game: the job
  // runs in its work folder through the class step, packs the JAR a run would make in the job's
  // folder and stops (an interrupted earlier run is neither finished nor rolled back). Returns
  // the outcome a run would have; kFailed when it would fail. Raises JobError as ProcessJar does.
  JobOutcome Preview(const std::string& file_name);

  // Everything the last job or preview did, for a front end to render: the reason of a failure,
  // the classes redirected, the Nokia classes, the sizes, the warnings.
  const JobReport& Report() const { return report_; }

  // Called before every step and every change to the user's files; tests end the process here
  // to check that an interrupted job never damages a game.
  JobStepHook OnStep;

  // Removes a folder with everything in it; true on success.
  static bool DeleteDirTree(const std::string& folder);

 private:
  // What each file a scan of the work folder reports gets.
  enum class ScanAction {
    kNone,
    // The canvas redirect: counted when redirected; a class that cannot be read is named on the
    // Console and left as it is.
    kRedirect,
    // Read once for both looks: with the Nokia option, tested for the Nokia API (hits counted in
    // nokia_users_); then redirected as above, except classes in the Nokia package, which wait
    // until the Nokia classes have been added over them.
    kClasses,
    // Read for the keys (KeyPlan): what each class tells about its key handling.
    kKeyFacts,
  };
  // What the job does about keys, found right after unpacking.
  struct KeyPlan {
    // The game's canvases go onto the key canvases: a mapping is wanted, or an earlier
    // adaptation gave the game key canvases (whose renamed handlers need them).
    bool active = false;
    KeyMapCodes map;                 // what KeyMap carries when active
    std::set<std::string> canvases;  // the classes whose key handlers are renamed
  };
  // The descriptor and manifest a job rewrites, handed from step to step.
  struct TextFiles {
    std::string staged_jad;  // the descriptor's copy in the job's folder
    bool have_jad = false;   // the copy is there: the game has a JAD, or one is made for it
    std::optional<std::string> manifest;  // the work folder's manifest, when there is one
  };

  void Console(TextId id) { ConsoleText(context_.texts.Text(id)); }
  void Step(std::string_view what) const {
    if (OnStep) OnStep(what);
  }
  void ConsoleText(const std::string& line);
  void Gauge(int percent);
  // `folder` with a separator at its end.
  static std::string WithSeparator(const std::string& folder);
  // Reports every file below `folder` matching `mask` to fsFileFound for `action`.
  void Scan(ScanAction action, std::string_view mask, const std::string& folder);
  void fsFileFound(const TFileInformations& file);
  // Unpacks every entry of `archive` below `folder`; false when the archive is not a zip, is
  // damaged, holds no files, would unpack to more than the ceiling allows or not every file
  // could be written. archive_failure_ then says why.
  bool Unpack(const std::string& archive, const std::string& folder);
  // Packs the work folder into `target`, taking from the game's JAR `original` the compressed
  // bytes of files the job left as they were where those are smaller, and giving folders entries
  // as `original` does (folder_entries_). Then reads it back: every file of the work folder must
  // be in it and test good. archive_failure_ says why not.
  bool PackAndVerify(const std::string& target, const std::string& original);
  bool PackAndVerifyWatched(const std::string& target, const std::string& original);
  // Notes how the game's JAR, unpacked last, lists its folders.
  void NoteFolderEntries(const std::string& jar);
  // Listens to the archive component while it works: the first error becomes the reason, the
  // unpacked bytes are counted against `byte_limit` (0: no limit), each progress step is a step.
  // Progress goes to the Console's progress line and moves the gauge from `gauge_from` towards
  // `gauge_to`.
  void WatchArchive(std::uint64_t byte_limit, int gauge_from = 0, int gauge_to = 0);
  // One archive entry done of `total`; reported at most every kProgressIntervalMs, and always for
  // the last one.
  void EntryDone(int done, int total, int gauge_from, int gauge_to);
  void StopWatchingArchive();
  // A job's or a preview's steps on the game; any failure raises.
  using Steps = JobOutcome (PatchJob::*)(GameTransaction& game);
  // Runs `steps` on the game at `file_name` under the job lock, then ends the job: its last
  // Console lines, the failure lines, the report.
  JobOutcome Execute(const std::string& file_name, bool interactive, Steps steps);
  // The job: an interrupted earlier run finished or rolled back, then RunSteps; a game left as
  // it was, or a failure, keeps nothing of the run beside it.
  JobOutcome RunJob(GameTransaction& game);
  // The steps up to the commit. kUnchanged when no class could be redirected, in which case
  // nothing was committed.
  JobOutcome RunSteps(GameTransaction& game);
  // A preview: the same steps as far as the redirect, then EndPreview; nothing beside the game
  // is touched, an interrupted earlier run included.
  JobOutcome RunPreview(GameTransaction& game);
  // The steps in the work folder that both take: nothing when they went through, else the
  // outcome they end with (kAlreadyAdapted).
  std::optional<JobOutcome> RunWorkFolderSteps(GameTransaction& game);
  // The steps in order. First the settings corrected and the job folder's leftovers removed.
  void Prepare();
  // Unwritable files refused and a fresh work folder made.
  void PrepareWorkFolder(const GameTransaction& game);
  // The game unpacked into the work folder and its keys planned; true when it is adapted for
  // this size and these keys already, its JAD (when the job renews JADs) matching.
  bool UnpackGame(const GameTransaction& game);
  // With a handset layout set, or key canvases in the game: the game's layout found (or given),
  // the keys reported, and the plan made.
  void PlanKeys();
  // Every class read once: tested for the Nokia API and, outside the Nokia package, redirected.
  void ScanClasses();
  // With the Nokia option: the Nokia classes added when some class uses the Nokia API.
  void AddNokiaClassesWhenUsed();
  // The classes of the Nokia package redirected as well (ours when added, else the game's), and
  // the redirect reported.
  void RedirectCanvasClasses();
  // The Nokia package's folder in the work folder.
  std::string NokiaPackageFolder() const;
  void ScanClass(const std::string& path);
  // Our canvas classes that some class builds on written into the work folder at the configured
  // size; a copy of one that none builds on any more, from an earlier adaptation, removed.
  void WriteCanvasClasses();
  // The descriptor copied into the job's folder (or made from the manifest) to be rewritten.
  TextFiles CopyDescriptor(const GameTransaction& game);
  // With the filter option: the descriptor's copy and the manifest lose the filtered attributes.
  void FilterTextFiles(const GameTransaction& game, const TextFiles& files);
  // The new JAR packed beside the game and read back.
  void PackNewJar(const GameTransaction& game);
  // The descriptor's copy updated for the new JAR and staged beside the game.
  void RenewDescriptor(GameTransaction& game, const TextFiles& files);
  // The game left as it came: nothing would draw full-screen.
  JobOutcome LeaveUnchanged();
  // The end of a preview, after the class step: what the manifest and descriptor would lose and,
  // when a run would adapt the game, the size of its JAR (packed in the job's folder); the work
  // folder cleared. kAdapted when a run would adapt the game.
  JobOutcome EndPreview(const GameTransaction& game);
  // Refuses a read-only JAR, and a read-only JAD the job would have to rewrite.
  void RefuseUnwritable(const GameTransaction& game) const;
  // Removes what an interrupted job left in the program directory.
  void RemoveProgramLeftovers();
  // Ends a failed job: the job folder's files removed, the reason and the failure lines written.
  JobOutcome Fail(const std::string& reason);
  void AddNokiaClasses();
  void RedirectCanvas(const std::string& path, OpenedClassFile& file);
  void ClearWorkDirectory();

  JobContext context_;
  // The scan under way: what each file gets, and how many files it counted.
  ScanAction ScanMode = ScanAction::kNone;
  int ScanCount = 0;
  // Classes that use the Nokia API. The Console lines for classes that could not be read wait in
  // the report's warnings until the redirect is reported.
  int nokia_users_ = 0;
  KeyPlan keys_;
  // Filled by a kKeyFacts scan: every class's key facts, and whether some class outside the
  // Nokia package uses the Nokia UI API, or any refers to the Nokia package.
  std::vector<ClassKeyFacts> key_facts_;
  bool nokia_ui_user_ = false;
  bool nokia_package_user_ = false;
  // Set by the redirect: some class builds on FullCn or FullGameCn, now or from an earlier
  // adaptation.
  bool UsesFullCanvas = false;
  bool UsesFullGameCanvas = false;
  // How the game's JAR lists its folders, which the new one follows: with an entry for each
  // folder (`listed`) but those it has files in and no entry for (`unlisted`, "a/b/"), or with
  // none.
  struct FolderEntries {
    bool listed = false;
    std::vector<std::string> unlisted;
  } folder_entries_;
  bool interactive_ = true;
  std::string work_dir_;
  std::string archive_failure_;
  std::uint32_t last_progress_ms_ = 0;
  // Filled as the job goes: what it found and did, its reason when it fails.
  JobReport report_;
  // The report completed for a job that ended with `outcome` on `jar`.
  void EndReport(JobOutcome outcome, const std::string& jar);
};

}  // namespace korvel
