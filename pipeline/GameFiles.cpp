// The files that go with a game's JAR.
#include "pipeline/GameFiles.h"

#include "platform/Files.h"

namespace korvel {

std::string BackupPath(const std::string& jar) {
  return jar + ".bak";
}

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

}  // namespace korvel
