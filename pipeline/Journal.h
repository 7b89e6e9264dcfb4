// The journals of the game's transaction, as values with their file format.
//
// A commit's journal (GAME.jar.korvel-commit) says that the new pair beside the game is complete,
// so that recovery finishes putting it in place; a restore's (GAME.jar.korvel-restore) that the
// backups are to go back. Version 2 of the commit's and version 1 of the restore's are lines
//   korvel-commit 2 | korvel-restore 1
//   jad=<the JAD's file name in hexadecimal, empty for none>
//   backup=0|1      | nojad=0|1
//   end
// The name is kept in hexadecimal so that any byte survives (a line break, a name that is not
// UTF-8), and without its folder so that a folder that moves (a memory card mounted elsewhere) is
// still recovered. A journal without its end line was cut short before anything relied on it.
// Version 1 of the commit's, written by earlier releases, has the JAD's absolute path and no end
// line; it is still finished.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvel {

enum class JournalKind { kCommit, kRestore };

// The versions this release writes.
inline constexpr int kCommitJournalVersion = 2;
inline constexpr int kRestoreJournalVersion = 1;

struct Journal {
  JournalKind kind = JournalKind::kCommit;
  int version = kCommitJournalVersion;
  // The JAD's file name in the game's folder; "" for a pair without one. Nothing when the journal
  // does not say (a version 1 journal cut short in that line): then it is the JAD found beside
  // the JAR.
  std::optional<std::string> descriptor = std::string();
  // A commit's: the keep copies become the backups (there were none before).
  bool backup = false;
  // A restore's: the game had no JAD, so the one the run made goes, with its empty backup.
  bool no_descriptor = false;

  bool operator==(const Journal&) const = default;
};

// The journal's text, in the version this release writes for its kind (`version` is not read).
std::string FormatJournal(const Journal& journal);

// The journal of `kind` that `text` holds; nothing when it holds none, or one cut short before
// anything relied on it. A JAD name that is not a plain file name reads as none.
std::optional<Journal> ParseJournal(std::string_view text, JournalKind kind);

}  // namespace korvel
