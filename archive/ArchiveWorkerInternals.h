// What TArchiveWorker's source files share and nobody else uses: the command records with the
// strings they point at, and a few text helpers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/ArchiveWorker.h"
#include "archive/EngineRecords.h"

namespace korvel {

// The most password prompts an engine is allowed, and the most repeats it is told of.
inline constexpr std::uint32_t kMaxPasswordRepeats = 15;

// `name` with "/" turned into the platform's separator.
std::string PlatformSeparators(std::string name);

// `s` without leading and trailing spaces.
std::string Trim(std::string_view s);

// An unpack command record and what it points at; lives until the engine returns.
struct TArchiveWorker::UnpackCommand {
  UnpackCommandRecord record;
  std::string base_dir;
  std::vector<UnpackFileSpec> specs;
};

// A pack command record and what it points at; lives until the engine returns.
struct TArchiveWorker::PackCommand {
  PackCommandRecord record;
  std::string archive;
  std::string password;
  std::string suffixes;
  std::string root;
  std::string reference;
  std::vector<std::string> texts;  // what the pattern entries point at; reserved, never moved
  std::vector<PackFileSpec> specs;
  std::vector<const char*> excludes;
};

}  // namespace korvel
