// The patch job as a table of steps over one JobState. A job runs the steps in order; a preview
// runs the same table without the steps that touch anything beside the game, and stops at its
// own end step. Each step is one function here; a new piece of the job is a new row.
#pragma once

#include <optional>
#include <string_view>

#include "pipeline/JobReport.h"
#include "pipeline/JobState.h"
#include "settings/Language.h"

namespace korvel {

// A step: nothing when the job goes on, else the outcome it ends with. A failure raises
// (JobFailure, FileError, ...) and ends the job as failed.
using StepFunction = std::optional<JobOutcome> (*)(JobState& state);

enum class StepRuns { kAlways, kJobOnly, kPreviewOnly };

struct JobStep {
  std::string_view name;
  StepFunction run;
  // The Console line written before the step runs, if any.
  std::optional<TextId> console;
  // The batch gauge once the step has run (-1: unchanged). A long step moves the gauge from the
  // previous value towards this one.
  int gauge;
  StepRuns runs;
};

// Runs the table's steps for a job or a preview (state.preview): the outcome of the step that
// ended it, or kAdapted when every step ran.
JobOutcome RunJobSteps(JobState& state);

// The steps, in the table's order.
namespace steps {

// The job folder's leftovers from an interrupted job removed.
std::optional<JobOutcome> Prepare(JobState& state);
// The game's lock taken (GameTransaction::Lock): a restore or another copy of the program
// working on the same game makes the job fail before it touches anything.
std::optional<JobOutcome> LockGame(JobState& state);
// An interrupted earlier run on the game finished or rolled back.
std::optional<JobOutcome> Recover(JobState& state);
// A read-only JAR refused, and a read-only JAD the job would have to rewrite.
std::optional<JobOutcome> RefuseUnwritable(JobState& state);
// What an earlier job left in the work folder removed.
std::optional<JobOutcome> RemoveWorkFolder(JobState& state);
// The work folder made anew, empty.
std::optional<JobOutcome> MakeWorkFolder(JobState& state);
// The game unpacked into the work folder, and how its JAR lists folders noted.
std::optional<JobOutcome> Unpack(JobState& state);
// With a handset layout set, or key canvases in the game: the game's keys read and planned
// (pipeline/KeyPlan.h), and the plan reported.
std::optional<JobOutcome> PlanGameKeys(JobState& state);
// kAlreadyAdapted when the game is what this run would make: this size, these keys, and a JAD
// (when the job renews JADs) that matches its JAR.
std::optional<JobOutcome> StopWhenAdapted(JobState& state);
// Every class read once (if the key step has not): tested for the Nokia API and, outside the
// Nokia package, redirected, in memory.
std::optional<JobOutcome> ScanClasses(JobState& state);
// With the Nokia option: the Nokia classes added when some class uses the Nokia API.
std::optional<JobOutcome> AddNokiaClasses(JobState& state);
// The classes of the Nokia package redirected too, and the redirect reported.
std::optional<JobOutcome> RedirectNokiaPackage(JobState& state);
// The classes the steps changed or added written into the work folder.
std::optional<JobOutcome> WriteClasses(JobState& state);
// A preview's end: what the manifest and the JAD would lose and, when a run would adapt the
// game, the size of the JAR it would make (packed in the job's folder).
std::optional<JobOutcome> EndPreview(JobState& state);
// kUnchanged, the game left as it came, when nothing would draw full-screen.
std::optional<JobOutcome> StopWhenUnchanged(JobState& state);
// Our classes that some class builds on written at the configured size and keys; a copy of
// one that none builds on any more, from an earlier adaptation, removed.
std::optional<JobOutcome> WriteCanvasClasses(JobState& state);
// The descriptor copied into the job's folder (or made from the manifest) to be rewritten.
std::optional<JobOutcome> CopyDescriptor(JobState& state);
// With the filter option: the descriptor's copy and the manifest lose the filtered attributes.
std::optional<JobOutcome> FilterTextFiles(JobState& state);
// The new JAR packed beside the game and read back.
std::optional<JobOutcome> PackNewJar(JobState& state);
// The descriptor's copy updated for the new JAR and staged beside the game.
std::optional<JobOutcome> RenewDescriptor(JobState& state);
// JAR and JAD put in place together (GameTransaction::Commit).
std::optional<JobOutcome> Commit(JobState& state);
// The work folder removed.
std::optional<JobOutcome> ClearWorkFolder(JobState& state);

}  // namespace steps

}  // namespace korvel
