// The patch job: its lock, its steps run over one state, its end and its report.
#include "pipeline/PatchJob.h"

#include "pipeline/GameFiles.h"
#include "pipeline/InjectedClasses.h"
#include "pipeline/JobFolders.h"
#include "pipeline/JobState.h"
#include "pipeline/JobSteps.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "settings/Locations.h"

namespace korvel {

namespace {

// The steps of a job or a preview; a job that leaves the game as it was, or fails, keeps
// nothing of the run beside it.
JobOutcome RunSteps(JobState& state) {
  if (state.preview) return RunJobSteps(state);
  try {
    const JobOutcome outcome = RunJobSteps(state);
    if (outcome != JobOutcome::kAdapted) state.game.Discard();
    return outcome;
  } catch (...) {
    // Without the game's lock the files beside it may be another party's.
    if (state.game.Locked()) state.game.Discard();
    throw;
  }
}

// Ends a failed job: the job folder's files removed, the reason and the failure lines written.
void Fail(JobState& state, const std::string& reason) {
  platform::DeleteFile(StagedJadPath(state));
  if (platform::DirectoryExists(state.work_dir)) ClearWorkFolderTree(state);
  state.report.reason = reason;
  state.ConsoleText(reason);
  state.Console(TextId::kJarNotCreated);
  state.Console(TextId::kOriginalFileRecovered);
}

void EndLines(JobState& state, JobOutcome outcome) {
  if (outcome == JobOutcome::kUnchanged) {
    state.Console(TextId::kNoCanvasFound);
  } else if (outcome == JobOutcome::kAlreadyAdapted) {
    state.ConsoleText(state.Text(TextId::kAlreadyAdapted) + " " +
                      SizeText(*state.report.adapted_size));
  } else if (outcome != JobOutcome::kFailed) {
    state.Console(TextId::kWorkFinished);
  }
  state.Gauge(100);
}

// The report completed for a job that ended with `outcome` on `jar`.
JobReport EndReport(JobState& state, JobOutcome outcome, const std::string& jar) {
  JobReport& report = state.report;
  report.outcome = outcome;
  if (outcome == JobOutcome::kUnchanged) {
    report.reason = state.Text(TextId::kNoCanvasToRedirect);
  } else if (outcome == JobOutcome::kAlreadyAdapted) {
    report.reason = SizeText(*report.adapted_size);
  }
  // A job tells the size it left; a preview the size a run would leave, which is the size now
  // unless it packed the JAR a run would make.
  if (!report.preview) report.size_after = platform::FileSizeOf(jar);
  if (report.preview && report.size_after < 0) report.size_after = report.size_before;
  if (platform::FileExists(BackupPath(jar))) report.backup = BackupPath(jar);
  return report;
}

}  // namespace

std::string WorkDirectory(const std::string& program_dir) {
  return platform::JoinPath(program_dir, "temp");
}

std::string JobLockPath(const std::string& program_dir) {
  return platform::JoinPath(program_dir, "korvel.lock");
}

PatchJob::PatchJob(JobContext context) : context_(std::move(context)) {}

JobReport PatchJob::ProcessJar(const std::string& file_name, bool interactive) {
  return Execute(file_name, interactive, false);
}

JobReport PatchJob::Preview(const std::string& file_name) {
  return Execute(file_name, true, true);
}

JobReport PatchJob::Execute(const std::string& file_name, bool interactive, bool preview) {
  const std::string& program_dir = context_.program_dir;
  // Every front end's jobs start here, so the job's folder is made here.
  PrepareJobDirectory(program_dir);
  // The work folder and the temporary names are the program's own: one job at a time.
  platform::FileLock lock(JobLockPath(program_dir));
  if (!lock.Held()) {
    throw JobError(context_.texts[TextId::kAnotherJobRunning]);
  }
  // Every path is fixed here, once: the job never changes the current folder.
  const std::string jar = platform::AbsolutePath(file_name);
  GameTransaction game(jar, OnStep);
  JobState state(context_, game, interactive, preview, OnStep);
  state.report.size_before = platform::FileSizeOf(jar);
  JobOutcome outcome = JobOutcome::kFailed;
  try {
    outcome = RunSteps(state);
  } catch (const JobFailure& failure) {
    Fail(state, FailureText(failure.failure(), context_.texts));
  } catch (const std::exception& error) {
    Fail(state, error.what());
  }
  EndLines(state, outcome);
  return EndReport(state, outcome, jar);
}

}  // namespace korvel
