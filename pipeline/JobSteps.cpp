// The patch job's table of steps, and the runner that walks it.
#include "pipeline/JobSteps.h"

#include <array>

namespace korvel {

namespace {

using enum StepRuns;
using namespace steps;

// clang-format off
constexpr std::array kSteps = {
  //      name                    step                  Console before              gauge  runs
  JobStep{"prepare",              Prepare,              TextId::kInitializing,          0, kAlways},
  JobStep{"lock game",            LockGame,             std::nullopt,                  -1, kJobOnly},
  JobStep{"recover",              Recover,              std::nullopt,                  -1, kJobOnly},
  JobStep{"refuse unwritable",    RefuseUnwritable,     std::nullopt,                   5, kAlways},
  JobStep{"remove work folder",   RemoveWorkFolder,     std::nullopt,                  10, kAlways},
  JobStep{"make work folder",     MakeWorkFolder,       std::nullopt,                  15, kAlways},
  JobStep{"unpack",               Unpack,               TextId::kExtractingFiles,      25, kAlways},
  JobStep{"plan keys",            PlanGameKeys,         std::nullopt,                  -1, kAlways},
  JobStep{"stop when adapted",    StopWhenAdapted,      std::nullopt,                  -1, kAlways},
  JobStep{"scan classes",         ScanClasses,          std::nullopt,                  -1, kAlways},
  JobStep{"add Nokia classes",    AddNokiaClasses,      std::nullopt,                  30, kAlways},
  JobStep{"redirect Nokia classes", RedirectNokiaPackage, TextId::kPatchingFiles,      60, kAlways},
  JobStep{"write classes",        WriteClasses,         std::nullopt,                  -1, kAlways},
  JobStep{"end preview",          EndPreview,           std::nullopt,                  -1, kPreviewOnly},
  JobStep{"stop when unchanged",  StopWhenUnchanged,    std::nullopt,                  -1, kJobOnly},
  JobStep{"write canvas classes", WriteCanvasClasses,   TextId::kWritingFullscreenClass, 65, kJobOnly},
  JobStep{"copy descriptor",      CopyDescriptor,       std::nullopt,                  70, kJobOnly},
  JobStep{"filter text files",    FilterTextFiles,      std::nullopt,                  75, kJobOnly},
  JobStep{"pack new JAR",         PackNewJar,           TextId::kCreatingJar,          90, kJobOnly},
  JobStep{"renew descriptor",     RenewDescriptor,      std::nullopt,                  -1, kJobOnly},
  JobStep{"commit",               Commit,               std::nullopt,                  95, kJobOnly},
  JobStep{"clear work folder",    ClearWorkFolder,      TextId::kClearingTempDir,      99, kJobOnly},
};
// clang-format on

bool RunsIn(const JobStep& step, bool preview) {
  return step.runs == kAlways || (step.runs == kPreviewOnly) == preview;
}

}  // namespace

JobOutcome RunJobSteps(JobState& state) {
  for (const JobStep& step : kSteps) {
    if (!RunsIn(step, state.preview)) continue;
    if (step.gauge >= 0) state.gauge_to = step.gauge;
    if (step.console) state.Console(*step.console);
    if (const auto outcome = step.run(state)) return *outcome;
    if (step.gauge >= 0) {
      state.Gauge(step.gauge);
      state.gauge_from = step.gauge;
    }
  }
  return JobOutcome::kAdapted;
}

}  // namespace korvel
