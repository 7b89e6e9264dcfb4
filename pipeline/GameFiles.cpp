// The files that go with a game's JAR.
#include "pipeline/GameFiles.h"

#include <cstdint>
#include <filesystem>
#include <system_error>

#include "platform/FileError.h"
#include "platform/Files.h"

namespace korvel {

std::string DescriptorPath(const std::string& jar) {
  const std::size_t name_start = jar.rfind(platform::kPathSeparator) + 1;  // npos + 1 == 0
  const std::size_t dot = jar.rfind('.');
  if (dot == std::string::npos || dot < name_start) return jar + ".jad";
  return jar.substr(0, dot) + ".jad";
}

std::string FindDescriptor(const std::string& jar) {
  const std::string usual = DescriptorPath(jar);
  if (platform::FileExists(usual)) return usual;
  const auto found =
      platform::ResolvePathIgnoringCase(platform::FolderPart(usual), platform::FileNamePart(usual));
  return found && platform::FileExists(*found) ? *found : usual;
}

bool DescriptorMatches(const std::string& jad, const std::string& jar) {
  const std::int64_t size = platform::FileSizeOf(jar);
  std::string text;
  try {
    text = platform::ReadWholeFile(jad);
  } catch (const FileError&) {
    return false;
  }
  constexpr std::string_view kKey = "midlet-jar-size:";
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + start, end - start);
    start = end + 1;
    if (line.size() < kKey.size()) continue;
    bool key = true;
    for (std::size_t i = 0; i < kKey.size() && key; ++i) {
      const char c = line[i];
      key = (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) == kKey[i];
    }
    if (!key) continue;
    std::string_view value = line.substr(kKey.size());
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
      value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    return size >= 0 && value == std::to_string(size);
  }
  return false;
}

std::string BackupPath(const std::string& file) {
  return file + ".bak";
}

std::string NewJarPath(const std::string& jar) {
  return jar + std::string(kOwnFileMark) + "new";
}

std::string StagedDescriptorPath(const std::string& jad) {
  return jad + std::string(kOwnFileMark) + "new";
}

std::string KeepPath(const std::string& file) {
  return file + std::string(kOwnFileMark) + "keep";
}

std::string CommitJournalPath(const std::string& jar) {
  return jar + std::string(kOwnFileMark) + "commit";
}

std::string RestoreJournalPath(const std::string& jar) {
  return jar + std::string(kOwnFileMark) + "restore";
}

std::string GameLockPath(const std::string& lock_folder, const std::string& jar) {
  const std::string folder = platform::FolderPart(platform::AbsolutePath(jar));
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(folder, error);
  std::string key = error ? folder : resolved.string();
  key += platform::kPathSeparator;
  for (char c : platform::FileNamePart(DescriptorPath(jar))) {
    key += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  // FNV-1a: two games share a lock only when their keys collide in 64 bits.
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : key) hash = (hash ^ c) * 1099511628211ull;
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string name(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) name[static_cast<std::size_t>(i)] = kDigits[hash & 15];
  return platform::JoinPath(platform::JoinPath(lock_folder, "locks"), name + ".lock");
}

}  // namespace korvel
