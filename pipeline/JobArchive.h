// The patch job's archive work through the archive component: unpacking a game, packing the work
// folder and reading the result back. While the component works, its first error becomes the
// reason, progress reaches the Console or the gauge, and the unpacked bytes are counted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "pipeline/JobFailure.h"
#include "pipeline/JobState.h"

namespace korvel {

// What unpacking may write: in all, and as a multiple of the archive's size (above a small
// floor, so that tiny archives of repetitive data pass).
inline constexpr std::uint64_t kUnpackCeiling = 512ull << 20;
inline constexpr std::uint64_t kUnpackRatioLimit = 200;
inline constexpr std::uint64_t kUnpackRatioFloor = 16ull << 20;

// Unpacks every entry of `archive` below `folder`. The failure when the archive is not a zip, is
// damaged, holds no files, would unpack to more than the ceiling allows or not every file could
// be written; nothing when it went through.
std::optional<Failure> UnpackArchive(JobState& state, const std::string& archive,
                                     const std::string& folder);

// How the JAR `jar`, unpacked last, lists its folders.
FolderEntries ReadFolderEntries(JobState& state, const std::string& jar);

// Packs the work folder into `target`, taking from the game's JAR `original` the compressed bytes
// of files the job left as they were where those are smaller, and giving folders entries as
// `original` does (state.folder_entries). Then reads it back: every file of the work folder must
// be in it and test good. The failure when not; nothing when it went through.
std::optional<Failure> PackWorkFolder(JobState& state, const std::string& target,
                                      const std::string& original);

}  // namespace korvel
