// One job's state, and the places it works in.
#include "pipeline/JobState.h"

#include "pipeline/JobFolders.h"
#include "platform/Files.h"
#include "search/EasyFileSearch.h"

namespace korvel {

JobState::JobState(const JobContext& job_context, GameTransaction& transaction, bool is_interactive,
                   bool is_preview, const JobStepHook& step_hook)
    : context(job_context),
      settings(CorrectedSettings(job_context.settings)),
      game(transaction),
      work_dir(WorkDirectory(job_context.program_dir)),
      interactive(is_interactive),
      preview(is_preview),
      on_step(step_hook) {
  report.preview = is_preview;
}

void JobState::ConsoleText(const std::string& line) const {
  if (interactive) context.sink.ConsoleLine(line);
}

void JobState::Gauge(int percent) const {
  Step("gauge");
  if (!interactive) context.sink.SetGauge(percent);
}

std::string WithSeparator(const std::string& folder) {
  return folder.empty() || folder.back() == platform::kPathSeparator
             ? folder
             : folder + platform::kPathSeparator;
}

std::string StagedJadPath(const JobState& state) {
  return platform::JoinPath(state.context.program_dir, std::string(kStagedJadName));
}

std::optional<std::string> WorkManifest(const JobState& state) {
  auto manifest = platform::ResolvePathIgnoringCase(state.work_dir, "Meta-inf/Manifest.mf");
  if (manifest && !platform::FileExists(*manifest)) manifest.reset();
  return manifest;
}

std::vector<std::string> FindFiles(const JobState& state, const std::string& folder,
                                   std::string_view mask) {
  TEasyFileSearch& fs = state.context.fs;
  std::vector<std::string> found;
  fs.OnFileFound = [&found](const TFileInformations& file) {
    found.push_back(file.Path + file.Name);
  };
  fs.SetRootPath(WithSeparator(folder));
  fs.FileNames().clear();
  fs.FileNames().emplace_back(mask);
  try {
    fs.Search();
  } catch (...) {
    fs.OnFileFound = nullptr;
    throw;
  }
  fs.OnFileFound = nullptr;
  return found;
}

void ClearWorkFolderTree(const JobState& state) {
  state.Console(TextId::kClearingTempDir);
  // One walk removes files and folders alike.
  platform::RemoveTree(state.work_dir);
}

}  // namespace korvel
