// The files that go with a game's JAR, each name formed here only: the descriptor, the backups,
// the files a run writes beside the game before its commit, the journals, and the game's lock.
#pragma once

#include <string>
#include <string_view>

namespace korvel {

// game.jar -> game.jad; the extension runs from the last dot of the name, and a name without one
// gets ".jad" appended.
std::string DescriptorPath(const std::string& jar);
// The descriptor beside `jar` as it is on disk, whatever the letter case of its name;
// DescriptorPath(jar) when there is none.
std::string FindDescriptor(const std::string& jar);
// Whether the descriptor `jad` gives the size of the JAR at `jar` as its MIDlet-Jar-Size (what a
// handset checks before it installs the pair). False when either cannot be read.
bool DescriptorMatches(const std::string& jad, const std::string& jar);

// The backup of the JAR or of its JAD: game.jar -> game.jar.bak, game.jad -> game.jad.bak.
std::string BackupPath(const std::string& file);

// Every file of a run beside the game starts with the JAR's or the JAD's name and this mark.
inline constexpr std::string_view kOwnFileMark = ".korvel-";
// game.jar -> game.jar.korvel-new: where the new JAR is packed.
std::string NewJarPath(const std::string& jar);
// game.jad -> game.jad.korvel-new: the renewed descriptor, until the commit.
std::string StagedDescriptorPath(const std::string& jad);
// game.jar -> game.jar.korvel-keep (and the same for the JAD): the input under a second name.
std::string KeepPath(const std::string& file);
// game.jar -> game.jar.korvel-commit: the commit's journal.
std::string CommitJournalPath(const std::string& jar);
// game.jar -> game.jar.korvel-restore: the restore's journal.
std::string RestoreJournalPath(const std::string& jar);

// The lock file of the game at `jar` in the folder `lock_folder` (the job's folder), under a name
// made from the game's folder, symbolic links resolved, and its JAD's name in lower case: every
// path to the game, and every JAR that shares the JAD, gives the same file.
std::string GameLockPath(const std::string& lock_folder, const std::string& jar);

}  // namespace korvel
