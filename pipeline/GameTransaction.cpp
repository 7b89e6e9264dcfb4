// The game's files changed as one transaction, and the recovery of an interrupted one.
#include "pipeline/GameTransaction.h"

#include <cerrno>
#include <optional>
#include <vector>

#include "pipeline/GameFiles.h"
#include "platform/Directory.h"
#include "platform/FileError.h"
#include "platform/FileLock.h"
#include "platform/Files.h"

namespace korvel {

namespace {

[[noreturn]] void Fail(TextId what, const std::string& path, int err) {
  throw JobFailure(Failure{what, {path}, err, {}, nullptr});
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Makes `to` hold the bytes of `from`: a second name for the same file where the file system has
// them (nothing is copied; the bytes are as safe on the disk as the input itself is), else a copy,
// flushed. The new name itself is flushed with the folder before the journal. errno says why not.
bool KeepBytes(const std::string& from, const std::string& to) {
  if (platform::LinkFile(from, to)) return true;
  if (errno == EEXIST || errno == ENOENT) return false;
  return platform::CopyFileNoOverwrite(from, to) && platform::SyncPath(to);
}

}  // namespace

GameTransaction::GameTransaction(std::string jar, const JobStepHook& step)
    : jar_(std::move(jar)), folder_(platform::FolderPart(jar_)), step_(step) {
  descriptor_ = FindDescriptor(jar_);
  has_descriptor_ = platform::FileExists(descriptor_);
}

GameTransaction::~GameTransaction() = default;

std::string GameTransaction::NewJar() const {
  return NewJarPath(jar_);
}

void GameTransaction::Step(std::string_view what) const {
  if (step_) step_(what);
}

void GameTransaction::Replace(const std::string& from, const std::string& to) const {
  Step("rename");
  if (!platform::ReplaceFile(from, to)) Fail(TextId::kCannotReplaceFile, to, errno);
}

void GameTransaction::SyncFolder() const {
  if (!platform::SyncPath(folder_)) Fail(TextId::kCannotFlushFolder, folder_, errno);
}

std::optional<Journal> GameTransaction::ReadJournal(const std::string& path,
                                                    JournalKind kind) const {
  if (!platform::FileExists(path)) return std::nullopt;
  try {
    return ParseJournal(platform::ReadWholeFile(path), kind);
  } catch (const FileError& error) {
    throw JobFailure(Failure{TextId::kCannotReadJournal, {}, 0, error.what(), nullptr});
  }
}

std::string GameTransaction::JournalDescriptor(const Journal& journal) const {
  if (!journal.descriptor) return FindDescriptor(jar_);
  return journal.descriptor->empty() ? std::string()
                                     : platform::JoinPath(folder_, *journal.descriptor);
}

std::string GameTransaction::Recover(const Language& texts) {
  return RecoveryLine(RecoverRun(), texts);
}

GameTransaction::Recovery GameTransaction::RecoverRun() {
  Recovery recovery = Recovery::kNothing;
  if (const auto commit = ReadJournal(CommitJournalPath(jar_), JournalKind::kCommit)) {
    FinishCommit(*commit);
    recovery = Recovery::kCommitCompleted;
  } else if (const auto restore = ReadJournal(RestoreJournalPath(jar_), JournalKind::kRestore)) {
    FinishRestore(*restore);
    recovery = Recovery::kRestoreCompleted;
  }
  // A journal cut short was never acted on (nothing is renamed before it is whole on the disk),
  // so it goes with the other files of the interrupted run.
  const bool removed = RemoveLeftovers();
  descriptor_ = FindDescriptor(jar_);
  has_descriptor_ = platform::FileExists(descriptor_);
  if (recovery == Recovery::kNothing && removed) recovery = Recovery::kLeftoversRemoved;
  return recovery;
}

std::string GameTransaction::RecoveryLine(Recovery recovery, const Language& texts) const {
  const std::vector<std::string> game = {platform::FileNamePart(jar_)};
  switch (recovery) {
    case Recovery::kCommitCompleted:
      return FormatText(texts[TextId::kCommitCompleted], game);
    case Recovery::kRestoreCompleted:
      return FormatText(texts[TextId::kRestoreCompleted], game);
    case Recovery::kLeftoversRemoved:
      return FormatText(texts[TextId::kLeftoversRemoved], game);
    case Recovery::kNothing:
      break;
  }
  return {};
}

void GameTransaction::FinishCommit(const Journal& journal) {
  // The new pair was complete when the journal was written: finish putting it in place.
  if (platform::FileExists(NewJar())) Replace(NewJar(), jar_);
  const std::string descriptor = JournalDescriptor(journal);
  if (!descriptor.empty() && platform::FileExists(StagedDescriptorPath(descriptor))) {
    Replace(StagedDescriptorPath(descriptor), descriptor);
  }
  SyncFolder();
  if (!descriptor.empty()) descriptor_ = descriptor;
  SettleBackup(journal.backup);
}

bool GameTransaction::RemoveLeftovers() const {
  // Our own names: GAME.jar.korvel-*, GAME.jad.korvel-* and the hidden temporary files of
  // descriptor writes, .GAME.jad.korvel-*, for the descriptor in any letter case. The journals
  // go last, once everything they protect is settled.
  const std::string mark(kOwnFileMark);
  std::vector<std::string> prefixes = {platform::FileNamePart(jar_) + mark};
  for (const std::string& jad :
       {platform::FileNamePart(descriptor_), platform::FileNamePart(DescriptorPath(jar_))}) {
    prefixes.push_back(jad + mark);
    prefixes.push_back("." + jad + mark);
  }
  const std::string journals[] = {CommitJournalPath(jar_), RestoreJournalPath(jar_)};
  const std::string journal_names[] = {platform::FileNamePart(journals[0]),
                                       platform::FileNamePart(journals[1])};
  bool removed = false;
  platform::DirectoryReader reader(folder_);
  platform::DirEntry entry;
  while (reader.Next(entry)) {
    if ((entry.Attributes & platform::kAttrDirectory) || entry.Name == journal_names[0] ||
        entry.Name == journal_names[1]) {
      continue;
    }
    for (const std::string& prefix : prefixes) {
      if (!StartsWith(entry.Name, prefix)) continue;
      Step("remove leftover");
      removed |= platform::DeleteFile(platform::JoinPath(folder_, entry.Name));
      break;
    }
  }
  // Lost removals are done again by the next run, which finds the same names; a journal that
  // comes back only has that run settle what is settled already.
  for (const std::string& journal : journals) {
    if (!platform::FileExists(journal)) continue;
    Step("end");
    removed |= platform::DeleteFile(journal);
  }
  return removed;
}

void GameTransaction::StageDescriptor(std::string_view text) {
  const std::string staged = StagedDescriptorPath(descriptor_);
  Step("stage descriptor");
  if (!platform::WriteFileDurably(staged, text)) Fail(TextId::kCannotWriteFile, staged, errno);
  if (has_descriptor_ && !platform::CopyPermissions(descriptor_, staged)) {
    const int err = errno;
    platform::DeleteFile(staged);
    Fail(TextId::kCannotWriteFile, staged, err);
  }
  staged_descriptor_ = true;
}

void GameTransaction::WriteJournal(const std::string& path, const Journal& journal) const {
  // Written whole and flushed, then its name flushed with the folder: only then may anything it
  // protects change. A journal cut short by a power loss lacks its end line and is ignored.
  Step("journal");
  if (!platform::WriteFileDurably(path, FormatJournal(journal))) {
    Fail(TextId::kCannotWriteFile, path, errno);
  }
  SyncFolder();
}

void GameTransaction::Commit(bool backup) {
  // The new JAR keeps the permissions of the one it replaces.
  if (!platform::CopyPermissions(jar_, NewJar())) {
    Fail(TextId::kCannotSetPermissions, NewJar(), errno);
  }
  KeepInput(backup);
  // Every name the journal relies on (the new JAR, the new JAD, the keep copies) is on the disk
  // before the journal is: a folder's changes may land in any order.
  SyncFolder();

  Journal journal;
  journal.descriptor = staged_descriptor_ ? platform::FileNamePart(descriptor_) : "";
  // The keep copies become the backups only where there is none yet.
  journal.backup = backup && !platform::FileExists(BackupPath(jar_));
  WriteJournal(CommitJournalPath(jar_), journal);
  PutNewPairInPlace(staged_descriptor_ ? descriptor_ : std::string());
  SyncFolder();
  SettleBackup(journal.backup);
  RemoveLeftovers();
}

void GameTransaction::KeepInput(bool backup) const {
  // The input's bytes stay in the game's folder until the new pair is in place.
  Step("keep");
  if (!KeepBytes(jar_, KeepPath(jar_))) {
    const int err = errno;
    platform::DeleteFile(KeepPath(jar_));
    Fail(TextId::kCannotKeepJar, KeepPath(jar_), err);
  }
  // The input JAD too, so that a restore puts back the pair as it was; a game that had none gets
  // an empty one, which tells a restore to remove the JAD this run makes.
  if (!staged_descriptor_ || !backup) return;
  Step("keep descriptor");
  const std::string keep = KeepPath(descriptor_);
  const bool kept =
      has_descriptor_ ? KeepBytes(descriptor_, keep) : platform::WriteFileDurably(keep, "");
  if (!kept) {
    const int err = errno;
    platform::DeleteFile(keep);
    platform::DeleteFile(KeepPath(jar_));
    Fail(TextId::kCannotKeepJad, keep, err);
  }
}

void GameTransaction::PutNewPairInPlace(const std::string& descriptor) const {
  try {
    Replace(NewJar(), jar_);
  } catch (const JobFailure&) {
    // The JAR never changed: the journal must not finish this commit later.
    platform::DeleteFile(CommitJournalPath(jar_));
    platform::SyncPath(folder_);
    throw;
  }
  // No flush between the two renames: with the journal on the disk, recovery finishes whichever
  // of them a power loss undid.
  if (descriptor.empty()) return;
  try {
    Replace(StagedDescriptorPath(descriptor), descriptor);
  } catch (const JobFailure&) {
    RestoreOriginal();
    throw;
  }
}

void GameTransaction::RestoreOriginal() const {
  // Put the input back so that JAR and JAD match again; when that fails too, the journal stays
  // and the next run finishes the commit instead.
  if (!platform::ReplaceFile(KeepPath(jar_), jar_)) return;
  platform::SyncPath(folder_);
  platform::DeleteFile(CommitJournalPath(jar_));
  platform::SyncPath(folder_);
}

void GameTransaction::SettleBackup(bool backup) const {
  if (!backup) return;  // the keep copies go with the leftovers
  // The keep copies become the backups; the journal said so only when there was none before, so
  // an existing backup (ours from an earlier run, or the user's own file) is never replaced. The
  // two renames are flushed together before the journal goes: after a power loss between them
  // the journal is still there, and the next run does the other one.
  Step("backup");
  bool renamed = false;
  const std::string keep_descriptor = KeepPath(descriptor_);
  if (platform::FileExists(keep_descriptor) && !platform::FileExists(BackupPath(descriptor_))) {
    renamed |= platform::RenameFile(keep_descriptor, BackupPath(descriptor_));
  }
  if (platform::FileExists(KeepPath(jar_)) && !platform::FileExists(BackupPath(jar_))) {
    renamed |= platform::RenameFile(KeepPath(jar_), BackupPath(jar_));
  }
  if (renamed) SyncFolder();
}

void GameTransaction::Discard() {
  if (platform::FileExists(CommitJournalPath(jar_))) return;  // left for the next run to finish
  RemoveLeftovers();
}

}  // namespace korvel
