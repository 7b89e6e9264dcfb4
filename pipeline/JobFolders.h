// The places a job works in and the files it keeps there, shared by the job's steps.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/JobState.h"

namespace korvel {

// The descriptor is prepared under this name in the job's folder.
inline constexpr std::string_view kStagedJadName = "staged.jad";
// A preview packs the JAR a run would make under this name there, to learn its size.
inline constexpr std::string_view kPreviewJarName = "preview.jar";

// `folder` with a separator at its end.
std::string WithSeparator(const std::string& folder);

// The staged descriptor's path in the job's folder.
std::string StagedJadPath(const JobState& state);

// The work folder's manifest, whatever the letter case of its path; nothing when there is none.
std::optional<std::string> WorkManifest(const JobState& state);

// Every file below `folder` whose name matches `mask`, in the order the file search reports
// them, as full paths. The search's handler is the job's only while it runs.
std::vector<std::string> FindFiles(const JobState& state, const std::string& folder,
                                   std::string_view mask);

// The work folder removed, with the Console line that says so.
void ClearWorkFolderTree(const JobState& state);

}  // namespace korvel
