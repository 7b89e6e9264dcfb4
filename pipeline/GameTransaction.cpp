// The game's files changed as one transaction, and the recovery of an interrupted one.
#include "pipeline/GameTransaction.h"

#include <cerrno>

#include "pipeline/GameFiles.h"
#include "platform/Directory.h"
#include "platform/FileError.h"
#include "platform/Files.h"

namespace korvel {

namespace {

constexpr std::string_view kOwnMark = ".korvel-";
constexpr std::string_view kJournalHeader = "korvel-commit 1";

[[noreturn]] void Fail(const std::string& what, const std::string& path, int err) {
  throw JobFailure(what + " \"" + path + "\": " + SystemErrorText(err));
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The value of the journal line "key=value", or nothing.
std::string JournalValue(const std::string& journal, std::string_view key) {
  const std::string start = std::string(key) + "=";
  std::size_t pos = 0;
  while (pos < journal.size()) {
    std::size_t end = journal.find('\n', pos);
    if (end == std::string::npos) end = journal.size();
    const std::string_view line(journal.data() + pos, end - pos);
    if (StartsWith(line, start)) return std::string(line.substr(start.size()));
    pos = end + 1;
  }
  return {};
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

std::string GameTransaction::NewJar() const {
  return jar_ + ".korvel-new";
}

std::string GameTransaction::Journal() const {
  return jar_ + ".korvel-commit";
}

std::string GameTransaction::Keep() const {
  return jar_ + ".korvel-keep";
}

std::string GameTransaction::KeepDescriptor() const {
  return descriptor_ + ".korvel-keep";
}

std::string GameTransaction::Backup() const {
  return BackupPath(jar_);
}

std::string GameTransaction::StagedDescriptor(const std::string& descriptor) const {
  return descriptor + ".korvel-new";
}

void GameTransaction::Step(std::string_view what) const {
  if (step_) step_(what);
}

void GameTransaction::Replace(const std::string& from, const std::string& to) const {
  Step("rename");
  if (!platform::ReplaceFile(from, to)) Fail("Cannot put the new file in place of", to, errno);
}

void GameTransaction::SyncFolder() const {
  if (!platform::SyncPath(folder_)) Fail("Cannot flush the folder", folder_, errno);
}

std::string GameTransaction::Recover() {
  const std::string journal = Journal();
  if (platform::FileExists(journal)) {
    std::string text;
    try {
      text = platform::ReadWholeFile(journal);
    } catch (const FileError& error) {
      throw JobFailure(error.what());
    }
    if (StartsWith(text, kJournalHeader)) {
      // The new pair was complete when the journal was written: finish putting it in place.
      if (platform::FileExists(NewJar())) Replace(NewJar(), jar_);
      const std::string descriptor = JournalValue(text, "jad");
      if (!descriptor.empty() && platform::FileExists(StagedDescriptor(descriptor))) {
        Replace(StagedDescriptor(descriptor), descriptor);
      }
      SyncFolder();
      SettleBackup(JournalValue(text, "backup") == "1");
      Step("end");
      platform::DeleteFile(journal);
      SyncFolder();
      descriptor_ = FindDescriptor(jar_);
      has_descriptor_ = platform::FileExists(descriptor_);
      return "An interrupted run on " + platform::FileNamePart(jar_) +
             " has been completed: the adapted JAR and its JAD are in place.";
    }
    // Not a journal of ours: nothing to finish.
  }
  if (!RemoveLeftovers()) return {};
  return "Files left by an interrupted run on " + platform::FileNamePart(jar_) +
         " have been removed; the game is as it was.";
}

bool GameTransaction::RemoveLeftovers() const {
  // Our own names: GAME.jar.korvel-*, GAME.jad.korvel-* and the hidden temporary files of
  // descriptor writes, .GAME.jad.korvel-*, for the descriptor in any letter case.
  const std::string jar_prefix = platform::FileNamePart(jar_) + std::string(kOwnMark);
  const std::string journal_name = platform::FileNamePart(Journal());
  std::vector<std::string> prefixes = {jar_prefix};
  for (const std::string& jad :
       {platform::FileNamePart(descriptor_), platform::FileNamePart(DescriptorPath(jar_))}) {
    prefixes.push_back(jad + std::string(kOwnMark));
    prefixes.push_back("." + jad + std::string(kOwnMark));
  }
  bool removed = false;
  platform::DirectoryReader reader(folder_);
  platform::DirEntry entry;
  while (reader.Next(entry)) {
    if ((entry.Attributes & platform::kAttrDirectory) || entry.Name == journal_name) continue;
    for (const std::string& prefix : prefixes) {
      if (!StartsWith(entry.Name, prefix)) continue;
      Step("remove leftover");
      removed |= platform::DeleteFile(platform::JoinPath(folder_, entry.Name));
      break;
    }
  }
  if (removed) platform::SyncPath(folder_);
  return removed;
}

void GameTransaction::StageDescriptor(std::string_view text) {
  const std::string staged = StagedDescriptor(descriptor_);
  Step("stage descriptor");
  if (!platform::WriteFileDurably(staged, text)) Fail("Cannot write", staged, errno);
  if (has_descriptor_ && !platform::CopyPermissions(descriptor_, staged)) {
    const int err = errno;
    platform::DeleteFile(staged);
    Fail("Cannot write", staged, err);
  }
  staged_descriptor_ = true;
}

void GameTransaction::WriteJournal(const std::string& descriptor, bool backup) const {
  const std::string text = std::string(kJournalHeader) + "\njad=" + descriptor +
                           "\nbackup=" + (backup ? "1" : "0") + "\n";
  const std::string temp = Journal() + ".tmp";
  Step("journal");
  if (!platform::WriteFileDurably(temp, text)) Fail("Cannot write", temp, errno);
  Step("journal in place");
  if (!platform::ReplaceFile(temp, Journal())) {
    const int err = errno;
    platform::DeleteFile(temp);
    Fail("Cannot write", Journal(), err);
  }
  SyncFolder();
}

void GameTransaction::Commit(bool backup) {
  const std::string new_jar = NewJar();
  // The new JAR keeps the permissions of the one it replaces.
  if (!platform::CopyPermissions(jar_, new_jar))
    Fail("Cannot set the permissions of", new_jar, errno);
  // The input's bytes stay in the game's folder until the new pair is in place.
  Step("keep");
  if (!KeepBytes(jar_, Keep())) {
    const int err = errno;
    platform::DeleteFile(Keep());
    Fail("Cannot copy the JAR to", Keep(), err);
  }
  // The input JAD too, so that a restore puts back the pair as it was.
  if (staged_descriptor_ && has_descriptor_) {
    Step("keep descriptor");
    if (!KeepBytes(descriptor_, KeepDescriptor())) {
      const int err = errno;
      platform::DeleteFile(KeepDescriptor());
      platform::DeleteFile(Keep());
      Fail("Cannot copy the JAD to", KeepDescriptor(), err);
    }
  }

  // The journal's folder flush makes the keep names durable too, before the JAR is replaced.
  const std::string descriptor = staged_descriptor_ ? descriptor_ : std::string();
  WriteJournal(descriptor, backup);
  try {
    Replace(new_jar, jar_);
  } catch (const JobFailure&) {
    // The JAR never changed: the journal must not finish this commit later.
    platform::DeleteFile(Journal());
    platform::SyncPath(folder_);
    throw;
  }
  // No flush between the two renames: with the journal on the disk, recovery finishes whichever
  // of them a power loss undid.
  if (!descriptor.empty()) {
    try {
      Replace(StagedDescriptor(descriptor), descriptor);
    } catch (const JobFailure&) {
      RestoreOriginal();
      throw;
    }
  }
  SyncFolder();
  SettleBackup(backup);
  Step("end");
  // Not flushed: the pair is on the disk already, and a journal that a power loss brings back
  // only has the next run finish a finished commit, which changes nothing.
  platform::DeleteFile(Journal());
}

void GameTransaction::RestoreOriginal() const {
  // Put the input back so that JAR and JAD match again; when that fails too, the journal stays
  // and the next run finishes the commit instead.
  if (!platform::ReplaceFile(Keep(), jar_)) return;
  platform::SyncPath(folder_);
  platform::DeleteFile(Journal());
  platform::SyncPath(folder_);
}

void GameTransaction::SettleBackup(bool backup) const {
  const bool keep_descriptor = platform::FileExists(KeepDescriptor());
  if (!platform::FileExists(Keep())) {
    if (keep_descriptor) platform::DeleteFile(KeepDescriptor());
    return;
  }
  Step("backup");
  // An existing backup, ours from an earlier run or the user's own file, is never replaced. The
  // JAD's backup goes first: a JAR backup always has the JAD backup it needs beside it.
  if (backup && !platform::FileExists(Backup())) {
    const std::string descriptor_backup = descriptor_ + ".bak";
    if (keep_descriptor && !platform::FileExists(descriptor_backup)) {
      platform::RenameFile(KeepDescriptor(), descriptor_backup);
    }
    if (platform::RenameFile(Keep(), Backup())) {
      platform::DeleteFile(KeepDescriptor());
      SyncFolder();
      return;
    }
  }
  // The keep copies' removal needs no flush before the journal goes: should it be lost, the next
  // run removes them again, with the journal or as leftovers.
  platform::DeleteFile(Keep());
  platform::DeleteFile(KeepDescriptor());
}

std::string RestoreBackup(const std::string& jar) {
  const std::string backup = BackupPath(jar);
  if (!platform::FileExists(backup)) {
    throw JobFailure("There is no backup " + platform::FileNamePart(backup) +
                     " beside the JAR; nothing was restored.");
  }
  const std::string folder = platform::FolderPart(jar);
  const std::string descriptor = FindDescriptor(jar);
  const std::string descriptor_backup = descriptor + ".bak";
  std::string restored = platform::FileNamePart(jar);
  if (platform::FileExists(descriptor_backup)) {
    if (!platform::ReplaceFile(descriptor_backup, descriptor)) {
      Fail("Cannot put the backup back in place of", descriptor, errno);
    }
    platform::SyncPath(folder);
    restored += " and " + platform::FileNamePart(descriptor);
  }
  if (!platform::ReplaceFile(backup, jar))
    Fail("Cannot put the backup back in place of", jar, errno);
  platform::SyncPath(folder);
  return restored + " restored from the backup";
}

void GameTransaction::Discard() {
  if (platform::FileExists(Journal())) return;  // left for the next run to finish
  RemoveLeftovers();
}

}  // namespace korvel
