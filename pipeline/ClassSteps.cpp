// The job's steps over the game's classes (pipeline/GameClasses.h): keys, the already-adapted
// check, the Nokia test and the canvas redirect, the Nokia classes, and the classes written.
#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "pipeline/GameClasses.h"
#include "pipeline/GameFiles.h"
#include "pipeline/JobFolders.h"
#include "pipeline/JobSteps.h"
#include "platform/Files.h"

namespace korvel::steps {

namespace {

// Every class file of the work folder, relative to it with "/" between the parts.
std::vector<std::string> ClassPaths(const JobState& state) {
  const std::string root = WithSeparator(state.work_dir);
  std::vector<std::string> paths;
  for (std::string path : FindFiles(state, state.work_dir, "*.class")) {
    path.erase(0, root.size());
    std::replace(path.begin(), path.end(), platform::kPathSeparator, '/');
    paths.push_back(std::move(path));
  }
  return paths;
}

GameClasses& Classes(JobState& state) {
  if (!state.classes) state.classes = GameClasses::Read(state.work_dir, ClassPaths(state));
  return *state.classes;
}

AdaptOptions Options(const JobState& state) {
  return {state.settings.Nokia, state.keys.active, state.key_canvases};
}

}  // namespace

std::optional<JobOutcome> PlanGameKeys(JobState& state) {
  state.handset_keys = state.settings.HandsetKeys;
  if (!KeysConsidered(state.handset_keys, CarriesKeyClasses(state.work_dir))) return std::nullopt;
  const ClassKeyEvidence found = Classes(state).KeyEvidence();
  const KeyEvidence evidence{found.key_classes, found.nokia_ui, found.compared};
  state.keys = PlanKeys(state.handset_keys, evidence, state.context.options.game_keys);
  if (state.keys.active) {
    state.key_canvases = found.Canvases(state.settings.Nokia && found.nokia_package);
  }
  state.report.keys = JobReport::Keys{state.keys.game ? state.keys.game->name : "",
                                      KeyLayoutName(state.handset_keys), state.keys.translated};
  state.ConsoleText(KeyPlanLine(state.context.texts, state.handset_keys, state.keys));
  return std::nullopt;
}

std::optional<JobOutcome> StopWhenAdapted(JobState& state) {
  const Settings& settings = state.settings;
  const GameTransaction& game = state.game;
  // Read from the folder: a game adapted already is never opened for writing.
  state.report.adapted_size = InjectedCanvasSize(state.work_dir);
  const std::optional<KeyMapCodes> wanted_keys =
      state.keys.active ? std::optional(state.keys.map) : std::nullopt;
  // A JAD that does not match the JAR (a restore cut short by an older version, a JAD edited by
  // hand) is renewed by running on, so the pair is never called adapted as it is.
  const bool descriptor_matches =
      !settings.Jad || !game.HasDescriptor() || DescriptorMatches(game.Descriptor(), game.Jar());
  if (state.report.adapted_size &&
      *state.report.adapted_size == CanvasSize{settings.ResW, settings.ResH} &&
      InjectedKeyMap(state.context.storeClass, state.work_dir) == wanted_keys &&
      descriptor_matches) {
    ClearWorkFolderTree(state);
    return JobOutcome::kAlreadyAdapted;
  }
  return std::nullopt;
}

std::optional<JobOutcome> ScanClasses(JobState& state) {
  state.adapted = Classes(state).Adapt(Options(state));
  return std::nullopt;
}

std::optional<JobOutcome> AddNokiaClasses(JobState& state) {
  if (!state.settings.Nokia) return std::nullopt;
  if (state.adapted.NokiaUsers() == 0) {
    state.Console(TextId::kNokiaFunctionsNotUsed);
    return std::nullopt;
  }
  state.Console(TextId::kWritingNokiaClasses);
  try {
    Classes(state).AddStandInPackage(state.context.storeClass, kNokiaPackage);
  } catch (const std::exception& e) {
    throw JobFailure(Failure{TextId::kNokiaNotUnpacked, {}, 0, e.what(), nullptr});
  }
  state.report.nokia = true;
  return std::nullopt;
}

std::optional<JobOutcome> RedirectNokiaPackage(JobState& state) {
  if (state.settings.Nokia) {
    Classes(state).AdaptStandInPackage(kNokiaPackage, Options(state), state.adapted);
  }
  state.report.classes_redirected = state.adapted.redirected;
  for (const ClassWarning& warning : state.adapted.warnings) {
    state.report.warnings.push_back(state.Text(TextId::kClassNotRead) + " " + warning.path + " (" +
                                    warning.error + ")");
    state.ConsoleText(state.report.warnings.back());
  }
  state.ConsoleText(state.Text(TextId::kFilesPatchedCount) + " " +
                    std::to_string(state.report.classes_redirected));
  return std::nullopt;
}

std::optional<JobOutcome> WriteClasses(JobState& state) {
  Classes(state).Write(state.work_dir);
  return std::nullopt;
}

}  // namespace korvel::steps
