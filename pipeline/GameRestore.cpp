// The game's lock, and the restore of its backup.
#include <cerrno>
#include <memory>
#include <vector>

#include "pipeline/GameFiles.h"
#include "pipeline/GameTransaction.h"
#include "platform/FileError.h"
#include "platform/FileLock.h"
#include "platform/Files.h"

namespace korvel {

void GameTransaction::Lock(const std::string& lock_folder) {
  if (lock_) return;
  const std::string path = GameLockPath(lock_folder, jar_);
  const std::string folder = platform::FolderPart(path);
  if (!platform::DirectoryExists(folder)) {
    try {
      platform::CreateDirectory(folder);
    } catch (const FileError& error) {
      // Another party may have made it just now.
      if (!platform::DirectoryExists(folder)) {
        throw JobFailure(Failure{TextId::kCannotLockGame, {path}, 0, error.what(), nullptr});
      }
    }
  }
  auto lock = std::make_unique<platform::FileLock>(path);
  if (!lock->Held()) {
    const int err = errno;
    // The file is there when only the lock was refused.
    if (!platform::FileExists(path)) {
      throw JobFailure(Failure{TextId::kCannotLockGame, {path}, err, {}, nullptr});
    }
    throw GameBusy(Failure{TextId::kGameBusy, {platform::FileNamePart(jar_)}, 0, {}, nullptr});
  }
  lock_ = std::move(lock);
}

void GameTransaction::FinishRestore(const Journal& journal) const {
  // Each step may have landed already; what is still there is done.
  const std::string descriptor = JournalDescriptor(journal);
  if (!descriptor.empty()) {
    if (journal.no_descriptor) {
      // The game had no JAD: the one the run made goes, with the marker that said so.
      Step("rename");
      platform::DeleteFile(descriptor);
      platform::DeleteFile(BackupPath(descriptor));
    } else if (platform::FileExists(BackupPath(descriptor))) {
      Replace(BackupPath(descriptor), descriptor);
    }
  }
  if (platform::FileExists(BackupPath(jar_))) Replace(BackupPath(jar_), jar_);
  SyncFolder();
}

std::string GameTransaction::Restore(const Language& texts) {
  const Recovery recovery = RecoverRun();
  const std::string recovered = RecoveryLine(recovery, texts);
  if (!platform::FileExists(BackupPath(jar_))) {
    // A restore cut short, finished just now: the game is restored.
    if (recovery == Recovery::kRestoreCompleted) return recovered;
    throw JobFailure(
        Failure{TextId::kNoBackup, {platform::FileNamePart(BackupPath(jar_))}, 0, {}, nullptr});
  }
  const std::string descriptor = FindDescriptor(jar_);
  const bool has_descriptor_backup = platform::FileExists(BackupPath(descriptor));
  Journal journal;
  journal.kind = JournalKind::kRestore;
  journal.version = kRestoreJournalVersion;
  journal.descriptor = platform::FileNamePart(descriptor);
  journal.no_descriptor =
      has_descriptor_backup && platform::FileSizeOf(BackupPath(descriptor)) == 0;
  WriteJournal(RestoreJournalPath(jar_), journal);
  FinishRestore(journal);
  Step("end");
  platform::DeleteFile(RestoreJournalPath(jar_));

  std::vector<std::string> names = {platform::FileNamePart(jar_)};
  TextId restored = TextId::kRestored;
  if (journal.no_descriptor) {
    restored = TextId::kRestoredJadRemoved;
  } else if (has_descriptor_backup) {
    restored = TextId::kRestoredWithJad;
    names.push_back(platform::FileNamePart(descriptor));
  }
  const std::string line = FormatText(texts[restored], names);
  return recovered.empty() ? line : recovered + "\n" + line;
}

std::string RestoreBackup(const std::string& jar, const std::string& lock_folder,
                          const Language& texts) {
  GameTransaction game(jar, {});
  game.Lock(lock_folder);
  return game.Restore(texts);
}

}  // namespace korvel
