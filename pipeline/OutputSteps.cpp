// The job's steps that make the adapted game: our classes written, the descriptor and manifest
// rewritten, the new JAR packed, and JAR and JAD put in place together. And a preview's end.
#include <cerrno>

#include "pipeline/InjectedClasses.h"
#include "pipeline/JobArchive.h"
#include "pipeline/JobFolders.h"
#include "pipeline/JobSteps.h"
#include "pipeline/ManifestRewrite.h"
#include "platform/Files.h"

namespace korvel::steps {

namespace {

// Our classes that the game builds on written at the configured size and keys; a class of ours
// from an earlier adaptation that none builds on any more removed, unless a class could not be
// read (it might still build on it).
void WriteOurClasses(const JobState& state) {
  const CanvasSize size{state.settings.ResW, state.settings.ResH};
  WriteInjectedClasses(state.context.storeClass, state.work_dir,
                       state.adapted.Use(state.keys.active), size, state.keys.map,
                       state.report.warnings.empty());
}

// What the manifest and the descriptor would lose in a run.
void ReportDroppedAttributes(JobState& state) {
  const Settings& settings = state.settings;
  const GameTransaction& game = state.game;
  if (const auto manifest = WorkManifest(state)) {
    state.report.manifest_dropped = DroppedAttributes(*manifest, settings.FilterAttr, false);
  }
  if (game.HasDescriptor()) {
    state.report.signed_suite = !DroppedAttributes(game.Descriptor(), false, true).empty();
    if (settings.Jad || settings.FilterAttr) {
      state.report.jad_dropped =
          DroppedAttributes(game.Descriptor(), settings.FilterAttr, settings.Jad);
    }
  }
}

}  // namespace

std::optional<JobOutcome> EndPreview(JobState& state) {
  ReportDroppedAttributes(state);
  const bool adapts = state.adapted.Adapts();
  if (adapts) {
    // The JAR a run would make, as it would make it, but in the job's own folder.
    WriteOurClasses(state);
    if (const auto manifest = WorkManifest(state); manifest && state.settings.FilterAttr) {
      FilterAttributes(*manifest);
    }
    const std::string jar =
        platform::JoinPath(state.context.program_dir, std::string(kPreviewJarName));
    const auto failure = PackWorkFolder(state, jar, state.game.Jar());
    state.report.size_after = failure ? -1 : platform::FileSizeOf(jar);
    platform::DeleteFile(jar);
    if (failure) throw JobFailure(*failure);
  }
  ClearWorkFolderTree(state);
  return adapts ? JobOutcome::kAdapted : JobOutcome::kUnchanged;
}

std::optional<JobOutcome> StopWhenUnchanged(JobState& state) {
  if (state.adapted.Adapts()) return std::nullopt;
  ClearWorkFolderTree(state);
  return JobOutcome::kUnchanged;
}

std::optional<JobOutcome> WriteCanvasClasses(JobState& state) {
  WriteOurClasses(state);
  return std::nullopt;
}

std::optional<JobOutcome> CopyDescriptor(JobState& state) {
  // The descriptor is prepared on a copy in the job's folder and staged beside the game only
  // when complete.
  const Settings& settings = state.settings;
  const GameTransaction& game = state.game;
  TextFiles& files = state.text_files;
  files.staged_jad = StagedJadPath(state);
  files.manifest = WorkManifest(state);
  if (game.HasDescriptor() && (settings.Jad || settings.FilterAttr)) {
    if (!platform::CopyFileNoOverwrite(game.Descriptor(), files.staged_jad)) {
      throw JobFailure(
          Failure{TextId::kCannotReadDescriptor, {game.Descriptor()}, errno, {}, nullptr});
    }
    files.have_jad = true;
  } else if (!game.HasDescriptor() && settings.Jad && files.manifest) {
    if (!platform::CopyFileNoOverwrite(*files.manifest, files.staged_jad)) {
      throw JobFailure(Failure{TextId::kCannotMakeDescriptor, {}, errno, {}, nullptr});
    }
    files.have_jad = true;
  }
  return std::nullopt;
}

std::optional<JobOutcome> FilterTextFiles(JobState& state) {
  if (!state.settings.FilterAttr) return std::nullopt;
  const TextFiles& files = state.text_files;
  if (files.have_jad && !FilterAttributes(files.staged_jad)) {
    throw JobFailure(
        Failure{TextId::kCannotFilterDescriptor, {state.game.Descriptor()}, 0, {}, nullptr});
  }
  if (files.manifest && !FilterAttributes(*files.manifest)) {
    throw JobFailure(Failure{TextId::kCannotFilterManifest, {}, 0, {}, nullptr});
  }
  return std::nullopt;
}

std::optional<JobOutcome> PackNewJar(JobState& state) {
  // The new JAR is made beside the old one and read back whole before anything is replaced.
  const GameTransaction& game = state.game;
  if (const auto failure = PackWorkFolder(state, game.NewJar(), game.Jar())) {
    throw JobFailure(*failure);
  }
  return std::nullopt;
}

std::optional<JobOutcome> RenewDescriptor(JobState& state) {
  GameTransaction& game = state.game;
  const TextFiles& files = state.text_files;
  if (state.settings.Jad) {
    if (files.have_jad) {
      state.Console(TextId::kCreatingJad);
      if (!UpdateDescriptor(files.staged_jad, GetFileSizeOf(game.NewJar()),
                            platform::FileNamePart(game.Jar()))) {
        throw JobFailure(
            Failure{TextId::kCannotUpdateDescriptor, {game.Descriptor()}, 0, {}, nullptr});
      }
    } else {
      state.Console(TextId::kCouldNotCreateJad);
    }
  }
  if (files.have_jad) {
    game.StageDescriptor(platform::ReadWholeFile(files.staged_jad));
    platform::DeleteFile(files.staged_jad);
  }
  return std::nullopt;
}

std::optional<JobOutcome> Commit(JobState& state) {
  state.game.Commit(state.settings.Backup);
  return std::nullopt;
}

std::optional<JobOutcome> ClearWorkFolder(JobState& state) {
  // The table writes the Console line before this step.
  platform::RemoveTree(state.work_dir);
  return std::nullopt;
}

}  // namespace korvel::steps
