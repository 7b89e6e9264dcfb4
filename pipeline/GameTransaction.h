// The user's files of one game (JAR, JAD, backup) and the one way the patch job changes them: as a
// transaction that a kill, a power loss or a full disk can interrupt at any instant without
// losing the game, even where a folder's changes reach the disk in any order (FAT).
//
// Until the commit, the job writes only files of its own beside the game (their names in
// pipeline/GameFiles.h):
//   GAME.jar.korvel-new     the new JAR, packed, flushed and read back
//   GAME.jad.korvel-new     the new JAD, written in full and flushed
//   GAME.jar.korvel-keep    the input JAR under a second name (a flushed copy where the file
//                           system has no second names)
//   GAME.jad.korvel-keep    the same for the input JAD when a backup is wanted (empty for a game
//                           that had no JAD)
// The commit flushes the folder (those names are on the disk), writes and flushes the journal
// GAME.jar.korvel-commit (pipeline/Journal.h) and the folder, renames the new JAR and the new JAD
// into place and flushes the folder; when the journal says so, the keep copies become
// GAME.jad.bak and GAME.jar.bak, flushed; then the leftovers and the journal go, unflushed.
//
// Recovery, at the start of the next run on the game (and of a restore): a whole journal means
// the new pair was complete, so the commit is finished; a restore's journal
// (GAME.jar.korvel-restore) that the restore is finished; then the job's own files are removed,
// the journals last. A journal without its end line was cut short before anything relied on it.
//
// One party at a time works on a game: the job, a restore, another copy of the program. Each
// takes the game's lock (Lock) before it recovers or changes anything; the lock is a file in the
// job's folder, so that nothing is added to the game's folder (which may be read-only, or FAT)
// and nothing keeps readers away from the JAR.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "pipeline/JobFailure.h"
#include "pipeline/Journal.h"
#include "settings/Language.h"

namespace korvel {

namespace platform {
class FileLock;
}

// Raised by GameTransaction::Lock when another party holds the game's lock: nothing was touched.
// Its failure is TextId::kGameBusy with the JAR's file name.
class GameBusy : public JobFailure {
 public:
  using JobFailure::JobFailure;
};

// Called before each change to the game's files, with a short name of the change.
using JobStepHook = std::function<void(std::string_view step)>;

// Puts the backup of `jar` (absolute) back, the game locked in `lock_folder`:
// GameTransaction::Lock, then Restore. Raises GameBusy and JobFailure.
std::string RestoreBackup(const std::string& jar, const std::string& lock_folder,
                          const Language& texts);

class GameTransaction {
 public:
  // `jar` is an absolute path. `step` may be empty.
  GameTransaction(std::string jar, const JobStepHook& step);
  ~GameTransaction();
  GameTransaction(const GameTransaction&) = delete;
  GameTransaction& operator=(const GameTransaction&) = delete;

  const std::string& Jar() const { return jar_; }
  // The descriptor beside the JAR, found whatever the letter case of its name; the usual name
  // (the JAR's with ".jad") when there is none.
  const std::string& Descriptor() const { return descriptor_; }
  bool HasDescriptor() const { return has_descriptor_; }
  // Where the new JAR is to be packed.
  std::string NewJar() const;

  // Takes the game's lock, held until this transaction ends, in `lock_folder` (the job's folder,
  // which must exist; GameLockPath). Call it before Recover, Commit or Restore. Raises GameBusy
  // when another party holds it, JobFailure (kCannotLockGame) when the lock file cannot be made.
  // Taking it again is a no-op.
  void Lock(const std::string& lock_folder);
  bool Locked() const { return lock_ != nullptr; }

  // Finishes the commit (or the restore) of an interrupted run, or removes the files an
  // interrupted run left. Returns one line in `texts`' words that says which, or nothing when
  // there was nothing to do. Raises JobFailure when a commit cannot be finished.
  std::string Recover(const Language& texts);

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
  // restore cut short is finished by the next run of any kind. Returns the lines, in `texts`'
  // words, saying what was done; when the recovery itself finished a restore, that is all.
  // Raises JobFailure, the files as they were, when there is no GAME.jar.bak.
  std::string Restore(const Language& texts);

 private:
  // What a recovery found and did.
  enum class Recovery { kNothing, kCommitCompleted, kRestoreCompleted, kLeftoversRemoved };

  Recovery RecoverRun();
  std::string RecoveryLine(Recovery recovery, const Language& texts) const;
  void Step(std::string_view what) const;
  // The journal of `kind` at `path`; nothing when there is none, or none to act on. Raises
  // JobFailure when it cannot be read.
  std::optional<Journal> ReadJournal(const std::string& path, JournalKind kind) const;
  // The JAD a journal names, in this folder; "" for none.
  std::string JournalDescriptor(const Journal& journal) const;
  // Writes a journal whole and flushes it and the folder.
  void WriteJournal(const std::string& path, const Journal& journal) const;
  void FinishCommit(const Journal& journal);
  void FinishRestore(const Journal& journal) const;
  // The input's bytes kept beside the game under second names, for the commit.
  void KeepInput(bool backup) const;
  // The two renames of the commit, after its journal.
  void PutNewPairInPlace(const std::string& descriptor) const;
  // Renames, failing with the system's reason.
  void Replace(const std::string& from, const std::string& to) const;
  void SyncFolder() const;
  // The keep copies become the backups, or go.
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
  std::unique_ptr<platform::FileLock> lock_;
};

}  // namespace korvel
