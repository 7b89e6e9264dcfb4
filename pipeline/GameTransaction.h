// The user's files of one game (JAR, JAD, backup) and the one way the patch job changes them: as a
// transaction that a kill, a power loss or a full disk can interrupt at any instant without
// losing the game, even where a folder's changes reach the disk in any order (FAT).
//
// Until the commit, the job writes only files of its own beside the game:
//   GAME.jar.korvel-new     the new JAR, packed, flushed and read back
//   GAME.jad.korvel-new     the new JAD, written in full and flushed
//   GAME.jar.korvel-keep    the input JAR under a second name (a flushed copy where the file
//                           system has no second names)
//   GAME.jad.korvel-keep    the same for the input JAD when a backup is wanted (empty for a game
//                           that had no JAD)
// The commit flushes the folder (those names are on the disk), writes and flushes the journal
// GAME.jar.korvel-commit and the folder, renames the new JAR and the new JAD into place and
// flushes the folder; when the journal says so, the keep copies become GAME.jad.bak and
// GAME.jar.bak, flushed; then the leftovers and the journal go, unflushed.
//
// Recovery, at the start of the next run on the game (and of a restore): a whole journal means
// the new pair was complete, so the commit is finished; a restore's journal
// (GAME.jar.korvel-restore) that the restore is finished; then the job's own files are removed,
// the journals last. A journal without its end line was cut short before anything relied on it.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace korvel {

// A failure that ends a job, in words a user understands. The game stays as it was.
class JobFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Called before each change to the game's files, with a short name of the change.
using JobStepHook = std::function<void(std::string_view step)>;

// Puts the backup of `jar` (absolute) back: GameTransaction::Restore.
std::string RestoreBackup(const std::string& jar);

class GameTransaction {
 public:
  // `jar` is an absolute path. `step` may be empty.
  GameTransaction(std::string jar, const JobStepHook& step);

  const std::string& Jar() const { return jar_; }
  // The descriptor beside the JAR, found whatever the letter case of its name; the usual name
  // (the JAR's with ".jad") when there is none.
  const std::string& Descriptor() const { return descriptor_; }
  bool HasDescriptor() const { return has_descriptor_; }
  // Where the new JAR is to be packed.
  std::string NewJar() const;

  // Finishes the commit of an interrupted run, or removes the files an interrupted run left.
  // Returns one line that says which, or nothing when there was nothing to do. Raises JobFailure
  // when a commit cannot be finished.
  std::string Recover();

  // Writes the descriptor's new text beside it, flushed; it takes the descriptor's place at the
  // commit. Raises JobFailure.
  void StageDescriptor(std::string_view text);

  // Puts the new JAR (and the staged descriptor) in place. `backup`: leave a copy of the input
  // as GAME.jar.bak when there is none; an existing one is never touched. Raises JobFailure;
  // the game is then as it was, or, when even that could not be restored, the next run finishes
  // the commit.
  void Commit(bool backup);

  // Removes the files this run made beside the game; for a run that ends before its commit.
  void Discard();

  // Puts the backup back, after recovering an interrupted run: GAME.jad.bak over the JAD (an
  // empty one, which a run leaves for a game that had no JAD, removes the JAD instead), then
  // GAME.jar.bak over the JAR. A journal (GAME.jar.korvel-restore) is on the disk first, so a
  // restore cut short is finished by the next run of any kind. Returns the lines saying what was
  // done. Raises JobFailure, the files as they were, when there is no GAME.jar.bak.
  std::string Restore();

 private:
  void Step(std::string_view what) const;
  std::string Journal() const;
  std::string RestoreJournal() const;
  // A journal's text; nothing when there is none. Raises JobFailure when it cannot be read.
  std::optional<std::string> ReadJournal(const std::string& path) const;
  // The JAD a journal names, in this folder; "" for none.
  std::string JournalDescriptor(const std::string& text) const;
  // Writes a journal whole and flushes it and the folder.
  void WriteJournal(const std::string& path, const std::string& text) const;
  void FinishRestore(const std::string& journal) const;
  std::string Keep() const;
  std::string KeepDescriptor() const;
  std::string Backup() const;
  std::string StagedDescriptor(const std::string& descriptor) const;
  // Renames, failing with the system's reason.
  void Replace(const std::string& from, const std::string& to) const;
  void SyncFolder() const;
  // The keep copy becomes the backup, or goes.
  void SettleBackup(bool backup) const;
  // Removes the job's own files beside the game, the journals last; true when any was there.
  bool RemoveLeftovers() const;
  void RestoreOriginal() const;

  std::string jar_;
  std::string folder_;
  std::string descriptor_;
  bool has_descriptor_ = false;
  bool staged_descriptor_ = false;
  JobStepHook step_;  // a copy: callers may pass a temporary
};

}  // namespace korvel
