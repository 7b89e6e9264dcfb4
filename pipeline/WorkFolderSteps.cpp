// The job's first steps: its folder prepared, an earlier run recovered, the game checked and
// unpacked into a fresh work folder.
#include "pipeline/InjectedClasses.h"
#include "pipeline/JobArchive.h"
#include "pipeline/JobComponents.h"
#include "pipeline/JobFolders.h"
#include "pipeline/JobSteps.h"
#include "platform/Directory.h"
#include "platform/Files.h"

namespace korvel::steps {

namespace {

// Removes what an interrupted job left in the job's folder.
void RemoveProgramLeftovers(const std::string& program_dir) {
  platform::DeleteFile(platform::JoinPath(program_dir, std::string(kNokiaPackage.item)));
  platform::DirectoryReader reader(program_dir);
  platform::DirEntry entry;
  while (reader.Next(entry)) {
    // The staged descriptor and the temporary files of its rewrites; the preview JAR, and the
    // packing engine's temporary files beside it.
    if (entry.Name == kStagedJadName ||
        entry.Name.rfind("." + std::string(kStagedJadName), 0) == 0 ||
        entry.Name.rfind(kPreviewJarName, 0) == 0) {
      platform::DeleteFile(platform::JoinPath(program_dir, entry.Name));
    }
  }
}

}  // namespace

std::optional<JobOutcome> Prepare(JobState& state) {
  RemoveProgramLeftovers(state.context.program_dir);
  return std::nullopt;
}

std::optional<JobOutcome> LockGame(JobState& state) {
  state.game.Lock(state.context.program_dir);
  return std::nullopt;
}

std::optional<JobOutcome> Recover(JobState& state) {
  const std::string recovered = state.game.Recover(state.context.texts);
  if (!recovered.empty()) state.ConsoleText(recovered);
  return std::nullopt;
}

std::optional<JobOutcome> RefuseUnwritable(JobState& state) {
  const GameTransaction& game = state.game;
  if (auto refusal = ReadOnlyRefusal(game.Jar())) throw JobFailure(*refusal);
  const Settings& settings = state.settings;
  if (game.HasDescriptor() && (settings.Jad || settings.FilterAttr) &&
      platform::IsReadOnly(game.Descriptor())) {
    throw JobFailure(Failure{TextId::kDescriptorReadOnly, {game.Descriptor()}, 0, {}, nullptr});
  }
  return std::nullopt;
}

std::optional<JobOutcome> RemoveWorkFolder(JobState& state) {
  if (platform::DirectoryExists(state.work_dir) || platform::FileExists(state.work_dir)) {
    platform::RemoveTree(state.work_dir);
  }
  return std::nullopt;
}

std::optional<JobOutcome> MakeWorkFolder(JobState& state) {
  platform::CreateDirectory(state.work_dir);
  return std::nullopt;
}

std::optional<JobOutcome> Unpack(JobState& state) {
  const std::string& jar = state.game.Jar();
  if (const auto failure = UnpackArchive(state, jar, state.work_dir)) throw JobFailure(*failure);
  state.folder_entries = ReadFolderEntries(state, jar);
  return std::nullopt;
}

}  // namespace korvel::steps
