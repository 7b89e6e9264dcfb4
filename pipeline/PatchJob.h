// The patch job: adapts one MIDlet suite in place so that it runs full-screen on the Virel. Its
// steps are a table (pipeline/JobSteps.h) over one JobState (pipeline/JobState.h).
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

#include "pipeline/GameTransaction.h"
#include "pipeline/JobReport.h"
#include "pipeline/KeyPlan.h"
#include "settings/Language.h"
#include "settings/Settings.h"

namespace korvel {

class TEasyFileSearch;
class TmxStorage;
class TArchiver;

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
// job with kFailed and a reason in its report.
class JobError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The work folder below the job's folder.
std::string WorkDirectory(const std::string& program_dir);
// The lock file that lets one job run at a time across windows and processes.
std::string JobLockPath(const std::string& program_dir);

// What one front end asks of its jobs beyond the settings, never saved.
struct JobOptions {
  // The game's key layout for this run, instead of the one its classes show.
  std::optional<GivenGameKeys> game_keys;
};

// The components and state a job works with, made and configured by JobComponents
// (pipeline/JobComponents.h), which the main window and korvel-patch each own.
struct JobContext {
  TArchiver& Zip;          // configured with ApplyPatchJobSettings(TArchiver&)
  TEasyFileSearch& fs;     // configured with ApplyPatchJobSettings(TEasyFileSearch&)
  TmxStorage& storeClass;  // the program's store (payload/ProgramStore.h)
  // The owner's settings, read at the start of each job (corrected, never written).
  const Settings& settings;
  const Language& texts;  // Console lines and reasons
  JobSink& sink;
  // The job's own folder (work folder, lock, staged files; Locations::job_dir): the program
  // directory of a portable copy, the user's cache folder for an installed one. No trailing
  // separator.
  std::string program_dir;
  JobOptions options;
};

class PatchJob {
 public:
  explicit PatchJob(JobContext context);

  // Adapts the JAR at `file_name` (relative to the current folder, which the job never changes)
  // and returns what it did. An interrupted earlier run on the game is finished or rolled back
  // first. kAdapted when the adapted pair is in place; kUnchanged when no class could be
  // redirected (the game is left byte for byte); kAlreadyAdapted when it carries our canvas class
  // at the configured size and keys already (left byte for byte); kFailed when it could not be
  // made, in which case the game is as it was and the report says why. Interactive jobs write
  // Console lines, batch jobs set the gauge. Raises JobError only when another job is running.
  JobReport ProcessJar(const std::string& file_name, bool interactive);

  // What ProcessJar would do with the same settings, without writing beside the game: the same
  // steps through the class redirect, then the JAR a run would make packed in the job's folder
  // for its size (an interrupted earlier run is neither finished nor rolled back). The outcome
  // is the one a run would have. Raises JobError as ProcessJar does.
  JobReport Preview(const std::string& file_name);

  // Called before every step and every change to the user's files; tests end the process here
  // to check that an interrupted job never damages a game.
  JobStepHook OnStep;

 private:
  JobReport Execute(const std::string& file_name, bool interactive, bool preview);

  JobContext context_;
};

}  // namespace korvel
