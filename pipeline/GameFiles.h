// The files that go with a game's JAR: its backup and its descriptor.
#pragma once

#include <string>

namespace korvel {

// game.jar -> game.jar.bak
std::string BackupPath(const std::string& jar);
// game.jar -> game.jad; the extension runs from the last dot of the name, and a name without one
// gets ".jad" appended.
std::string DescriptorPath(const std::string& jar);
// The descriptor beside `jar` as it is on disk, whatever the letter case of its name;
// DescriptorPath(jar) when there is none.
std::string FindDescriptor(const std::string& jar);
// Whether the descriptor `jad` gives the size of the JAR at `jar` as its MIDlet-Jar-Size (what a
// handset checks before it installs the pair). False when either cannot be read.
bool DescriptorMatches(const std::string& jad, const std::string& jar);

}  // namespace korvel
