// The job's steps over the game's classes: keys, the already-adapted check, the Nokia test, the
// canvas redirect and the Nokia classes.
#include <string>
#include <vector>

#include "payload/ProgramStore.h"
#include "pipeline/ClassFile.h"
#include "pipeline/ClassPatcher.h"
#include "pipeline/FullScreenClass.h"
#include "pipeline/GameFiles.h"
#include "pipeline/JobArchive.h"
#include "pipeline/JobFolders.h"
#include "pipeline/JobSteps.h"
#include "pipeline/KeyHandlers.h"
#include "platform/Files.h"
#include "store/StoredItems.h"

namespace korvel::steps {

namespace {

bool HasKeyCanvases(const JobState& state) {
  for (std::string_view path : {kFullKeyCanvasPath, kFullKeyGameCanvasPath, kKeyMapPath}) {
    if (platform::FileExists(platform::JoinPath(state.work_dir, std::string(path)))) return true;
  }
  return false;
}

// What the game's classes tell about keys, and every class's key facts.
struct KeyReading {
  KeyEvidence evidence;
  bool nokia_package_user = false;  // some class refers to the Nokia package
  std::vector<ClassKeyFacts> facts;
};

KeyReading ReadKeys(const JobState& state) {
  KeyReading reading;
  reading.evidence.key_canvases = HasKeyCanvases(state);
  for (const std::string& path : FindFiles(state, state.work_dir, "*.class")) {
    OpenedClassFile opened(path);
    const std::string& bytes = opened.Bytes();
    opened.Close();
    if (bytes.find(kNokiaPackagePrefix) != std::string::npos) reading.nokia_package_user = true;
    try {
      ClassKeyFacts facts = ReadClassKeyFacts(bytes);
      if (facts.name.rfind(kNokiaPackagePrefix, 0) != 0 &&
          bytes.find("com/nokia/mid/ui/") != std::string::npos) {
        reading.evidence.nokia_ui = true;
      }
      reading.facts.push_back(std::move(facts));
    } catch (const ClassFormatError&) {
      // The redirect names it on the Console and leaves it as it is.
    }
  }
  reading.evidence.compared = LayoutFromComparedCodes(KeyHandlerComparisons(reading.facts));
  return reading;
}

// One class redirected (and its key handlers renamed) as the key plan says; a class that cannot
// be read is named in the report's warnings and left as it is.
void RedirectClass(JobState& state, const std::string& path, OpenedClassFile& file) {
  try {
    const CanvasKind kind = file.Redirect(state.keys.active);
    if (state.keys.active) file.RenameKeyHandlers(state.key_canvases);
    ClassScan& scan = state.scan;
    if (kind == CanvasKind::kCanvas || kind == CanvasKind::kGameCanvas) {
      ++state.report.classes_redirected;
    }
    if (kind == CanvasKind::kCanvas || kind == CanvasKind::kFullCanvas) {
      scan.uses_full_canvas = true;
    }
    if (kind == CanvasKind::kGameCanvas || kind == CanvasKind::kFullGameCanvas) {
      scan.uses_full_game_canvas = true;
    }
  } catch (const ClassFormatError& e) {
    const std::string root = WithSeparator(state.work_dir);
    const std::string name = path.rfind(root, 0) == 0 ? path.substr(root.size()) : path;
    state.report.warnings.push_back(state.Text(TextId::kClassNotRead) + " " + name + " (" +
                                    e.what() + ")");
  }
}

void RedirectClasses(JobState& state, const std::string& folder, bool skip_nokia_package) {
  const std::string nokia_folder = WithSeparator(NokiaPackageFolder(state));
  for (const std::string& path : FindFiles(state, folder, "*.class")) {
    OpenedClassFile opened(path);
    if (state.settings.Nokia && opened.Contains(kNokiaPackagePrefix) && skip_nokia_package) {
      ++state.scan.nokia_users;
    }
    // The Nokia classes may yet be added over a class of their package; it is redirected once
    // they are in.
    if (!skip_nokia_package || path.rfind(nokia_folder, 0) != 0) RedirectClass(state, path, opened);
    opened.Close();
  }
}

}  // namespace

std::optional<JobOutcome> PlanGameKeys(JobState& state) {
  state.handset_keys = state.settings.HandsetKeys;
  if (!KeysConsidered(state.handset_keys, HasKeyCanvases(state))) return std::nullopt;
  const KeyReading reading = ReadKeys(state);
  state.keys = PlanKeys(state.handset_keys, reading.evidence, state.context.options.game_keys);
  if (state.keys.active) {
    state.key_canvases =
        CanvasDescendants(reading.facts, state.settings.Nokia && reading.nokia_package_user);
  }
  state.report.keys = JobReport::Keys{state.keys.game ? state.keys.game->name : "",
                                      KeyLayoutName(state.handset_keys), state.keys.translated};
  state.ConsoleText(KeyPlanLine(state.context.texts, state.handset_keys, state.keys));
  return std::nullopt;
}

std::optional<JobOutcome> StopWhenAdapted(JobState& state) {
  const Settings& settings = state.settings;
  const GameTransaction& game = state.game;
  // Rewriting a game that is already what this run would make only risks it.
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
  state.scan = {};
  state.report.classes_redirected = 0;
  RedirectClasses(state, state.work_dir, state.settings.Nokia);
  return std::nullopt;
}

std::optional<JobOutcome> AddNokiaClasses(JobState& state) {
  if (!state.settings.Nokia) return std::nullopt;
  if (state.scan.nokia_users == 0) {
    state.Console(TextId::kNokiaFunctionsNotUsed);
    return std::nullopt;
  }
  state.Console(TextId::kWritingNokiaClasses);
  const std::string archive =
      platform::JoinPath(state.context.program_dir, std::string(kNokiaArchiveItem));
  SaveStoredItem(state.context.storeClass, kNokiaArchiveItem, archive);
  const auto failure = UnpackArchive(state, archive, state.work_dir);
  platform::DeleteFile(archive);
  if (failure) {
    throw JobFailure("The Nokia compatibility classes could not be unpacked: " + *failure);
  }
  state.report.nokia = true;
  return std::nullopt;
}

std::optional<JobOutcome> RedirectNokiaPackage(JobState& state) {
  if (state.settings.Nokia && platform::DirectoryExists(NokiaPackageFolder(state))) {
    RedirectClasses(state, NokiaPackageFolder(state), false);
  }
  for (const std::string& line : state.report.warnings) state.ConsoleText(line);
  state.ConsoleText(state.Text(TextId::kFilesPatchedCount) + " " +
                    std::to_string(state.report.classes_redirected));
  return std::nullopt;
}

}  // namespace korvel::steps
