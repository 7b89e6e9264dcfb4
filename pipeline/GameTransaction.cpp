// The game's files changed as one transaction, and the recovery of an interrupted one.
#include "pipeline/GameTransaction.h"

#include <cerrno>
#include <optional>

#include "pipeline/GameFiles.h"
#include "platform/Directory.h"
#include "platform/FileError.h"
#include "platform/Files.h"

namespace korvel {

namespace {

constexpr std::string_view kOwnMark = ".korvel-";
// A commit's journal, and a restore's. Version 1 journals (an absolute JAD path, no end line)
// are still finished.
constexpr std::string_view kJournalHeader = "korvel-commit 2";
constexpr std::string_view kOldJournalHeader = "korvel-commit 1";
constexpr std::string_view kRestoreHeader = "korvel-restore 1";
constexpr std::string_view kJournalEnd = "end";

[[noreturn]] void Fail(const std::string& what, const std::string& path, int err) {
  throw JobFailure(what + " \"" + path + "\": " + SystemErrorText(err));
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// A file name as the journal keeps it: hexadecimal, so that any byte (a line break, a name that is
// not UTF-8) survives, and the name alone, so that a folder that moves (a memory card mounted
// elsewhere) is still recovered.
std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::optional<std::string> Unhex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int value = 0;
    for (char c : hex.substr(i, 2)) {
      value <<= 4;
      if (c >= '0' && c <= '9') {
        value |= c - '0';
      } else if (c >= 'a' && c <= 'f') {
        value |= c - 'a' + 10;
      } else {
        return std::nullopt;
      }
    }
    out += static_cast<char>(value);
  }
  return out;
}

// A journal's text when it was written whole: its header, then its lines up to the end line.
bool WholeJournal(const std::string& text, std::string_view header) {
  const std::string end = "\n" + std::string(kJournalEnd) + "\n";
  return StartsWith(text, header) && text.size() >= end.size() &&
         text.compare(text.size() - end.size(), end.size(), end) == 0;
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

std::string GameTransaction::RestoreJournal() const {
  return jar_ + ".korvel-restore";
}

std::optional<std::string> GameTransaction::ReadJournal(const std::string& path) const {
  if (!platform::FileExists(path)) return std::nullopt;
  try {
    return platform::ReadWholeFile(path);
  } catch (const FileError& error) {
    throw JobFailure(error.what());
  }
}

std::string GameTransaction::JournalDescriptor(const std::string& text) const {
  const std::string value = JournalValue(text, "jad");
  if (StartsWith(text, kOldJournalHeader)) {
    return value.empty() ? value : platform::JoinPath(folder_, platform::FileNamePart(value));
  }
  const std::optional<std::string> name = Unhex(value);
  if (!name || name->empty() || name->find('/') != std::string::npos) return {};
  return platform::JoinPath(folder_, *name);
}

std::string GameTransaction::Recover() {
  std::string line;
  if (const auto text = ReadJournal(Journal());
      text && (WholeJournal(*text, kJournalHeader) || StartsWith(*text, kOldJournalHeader))) {
    // The new pair was complete when the journal was written: finish putting it in place.
    if (platform::FileExists(NewJar())) Replace(NewJar(), jar_);
    const std::string descriptor = JournalDescriptor(*text);
    if (!descriptor.empty() && platform::FileExists(StagedDescriptor(descriptor))) {
      Replace(StagedDescriptor(descriptor), descriptor);
    }
    SyncFolder();
    if (!descriptor.empty()) descriptor_ = descriptor;
    SettleBackup(JournalValue(*text, "backup") == "1");
    line = "An interrupted run on " + platform::FileNamePart(jar_) +
           " has been completed: the adapted JAR and its JAD are in place.";
  } else if (const auto restore = ReadJournal(RestoreJournal());
             restore && WholeJournal(*restore, kRestoreHeader)) {
    FinishRestore(*restore);
    line = "An interrupted restore of " + platform::FileNamePart(jar_) +
           " has been completed: the game is as it was before it was adapted.";
  }
  // A journal cut short was never acted on (nothing is renamed before it is whole on the disk),
  // so it goes with the other files of the interrupted run.
  const bool removed = RemoveLeftovers();
  descriptor_ = FindDescriptor(jar_);
  has_descriptor_ = platform::FileExists(descriptor_);
  if (!line.empty()) return line;
  if (!removed) return {};
  return "Files left by an interrupted run on " + platform::FileNamePart(jar_) +
         " have been removed; the game is as it was.";
}

bool GameTransaction::RemoveLeftovers() const {
  // Our own names: GAME.jar.korvel-*, GAME.jad.korvel-* and the hidden temporary files of
  // descriptor writes, .GAME.jad.korvel-*, for the descriptor in any letter case. The journals
  // go last, once everything they protect is settled.
  const std::string jar_prefix = platform::FileNamePart(jar_) + std::string(kOwnMark);
  std::vector<std::string> prefixes = {jar_prefix};
  for (const std::string& jad :
       {platform::FileNamePart(descriptor_), platform::FileNamePart(DescriptorPath(jar_))}) {
    prefixes.push_back(jad + std::string(kOwnMark));
    prefixes.push_back("." + jad + std::string(kOwnMark));
  }
  const std::string journals[] = {platform::FileNamePart(Journal()),
                                  platform::FileNamePart(RestoreJournal())};
  bool removed = false;
  platform::DirectoryReader reader(folder_);
  platform::DirEntry entry;
  while (reader.Next(entry)) {
    if ((entry.Attributes & platform::kAttrDirectory) || entry.Name == journals[0] ||
        entry.Name == journals[1]) {
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
  for (const std::string& journal : {Journal(), RestoreJournal()}) {
    if (!platform::FileExists(journal)) continue;
    Step("end");
    removed |= platform::DeleteFile(journal);
  }
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

void GameTransaction::WriteJournal(const std::string& path, const std::string& text) const {
  // Written whole and flushed, then its name flushed with the folder: only then may anything it
  // protects change. A journal cut short by a power loss lacks its end line and is ignored.
  Step("journal");
  if (!platform::WriteFileDurably(path, text + std::string(kJournalEnd) + "\n")) {
    Fail("Cannot write", path, errno);
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
  // The input JAD too, so that a restore puts back the pair as it was; a game that had none gets
  // an empty one, which tells a restore to remove the JAD this run makes.
  if (staged_descriptor_ && backup) {
    Step("keep descriptor");
    const bool kept = has_descriptor_ ? KeepBytes(descriptor_, KeepDescriptor())
                                      : platform::WriteFileDurably(KeepDescriptor(), "");
    if (!kept) {
      const int err = errno;
      platform::DeleteFile(KeepDescriptor());
      platform::DeleteFile(Keep());
      Fail("Cannot copy the JAD to", KeepDescriptor(), err);
    }
  }
  // Every name the journal relies on (the new JAR, the new JAD, the keep copies) is on the disk
  // before the journal is: a folder's changes may land in any order.
  SyncFolder();

  const std::string descriptor = staged_descriptor_ ? descriptor_ : std::string();
  // The keep copies become the backups only where there is none yet.
  const bool make_backup = backup && !platform::FileExists(Backup());
  WriteJournal(Journal(), std::string(kJournalHeader) +
                              "\njad=" + Hex(platform::FileNamePart(descriptor)) +
                              "\nbackup=" + (make_backup ? "1" : "0") + "\n");
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
  SettleBackup(make_backup);
  RemoveLeftovers();
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
  if (!backup) return;  // the keep copies go with the leftovers
  // The keep copies become the backups; the journal said so only when there was none before, so
  // an existing backup (ours from an earlier run, or the user's own file) is never replaced. The
  // two renames are flushed together before the journal goes: after a power loss between them
  // the journal is still there, and the next run does the other one.
  Step("backup");
  bool renamed = false;
  const std::string descriptor_backup = descriptor_ + ".bak";
  if (platform::FileExists(KeepDescriptor()) && !platform::FileExists(descriptor_backup)) {
    renamed |= platform::RenameFile(KeepDescriptor(), descriptor_backup);
  }
  if (platform::FileExists(Keep()) && !platform::FileExists(Backup())) {
    renamed |= platform::RenameFile(Keep(), Backup());
  }
  if (renamed) SyncFolder();
}

void GameTransaction::FinishRestore(const std::string& journal) const {
  // Each step may have landed already; what is still there is done.
  const std::string descriptor = JournalDescriptor(journal);
  if (!descriptor.empty()) {
    const std::string descriptor_backup = descriptor + ".bak";
    if (JournalValue(journal, "nojad") == "1") {
      // The game had no JAD: the one the run made goes, with the marker that said so.
      Step("rename");
      platform::DeleteFile(descriptor);
      platform::DeleteFile(descriptor_backup);
    } else if (platform::FileExists(descriptor_backup)) {
      Replace(descriptor_backup, descriptor);
    }
  }
  if (platform::FileExists(Backup())) Replace(Backup(), jar_);
  SyncFolder();
}

std::string GameTransaction::Restore() {
  const std::string recovered = Recover();
  if (!platform::FileExists(Backup())) {
    throw JobFailure("There is no backup " + platform::FileNamePart(Backup()) +
                     " beside the JAR; nothing was restored.");
  }
  const std::string descriptor = FindDescriptor(jar_);
  const std::string descriptor_backup = descriptor + ".bak";
  const bool has_descriptor_backup = platform::FileExists(descriptor_backup);
  const bool no_descriptor = has_descriptor_backup && platform::FileSizeOf(descriptor_backup) == 0;
  WriteJournal(RestoreJournal(), std::string(kRestoreHeader) +
                                     "\njad=" + Hex(platform::FileNamePart(descriptor)) +
                                     "\nnojad=" + (no_descriptor ? "1" : "0") + "\n");
  FinishRestore(platform::ReadWholeFile(RestoreJournal()));
  Step("end");
  platform::DeleteFile(RestoreJournal());
  std::string restored = platform::FileNamePart(jar_);
  if (no_descriptor) {
    restored += " restored from the backup; the JAD the run made was removed";
  } else {
    restored += (has_descriptor_backup ? " and " + platform::FileNamePart(descriptor) : "") +
                " restored from the backup";
  }
  return recovered.empty() ? restored : recovered + "\n" + restored;
}

std::string RestoreBackup(const std::string& jar) {
  GameTransaction game(jar, {});
  return game.Restore();
}

void GameTransaction::Discard() {
  if (platform::FileExists(Journal())) return;  // left for the next run to finish
  RemoveLeftovers();
}

}  // namespace korvel
