// The unpacking run's steps.
#include "engines/unpkeng/Unpacker.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "engines/unpkeng/EntryNames.h"
#include "engines/unpkeng/OutputFile.h"

namespace korvel::engine {

namespace {

std::int32_t ClampToInt32(std::uint64_t value) {
  return static_cast<std::int32_t>(std::min<std::uint64_t>(value, INT32_MAX));
}

}  // namespace

bool Unpacker::Selected(const std::string& name) const {
  if (patterns_.empty()) return true;
  std::string normal = name;
  std::replace(normal.begin(), normal.end(), '\\', '/');
  return std::any_of(patterns_.begin(), patterns_.end(),
                     [&](const std::string& pattern) { return MatchNamePattern(pattern, normal); });
}

bool Unpacker::KeepDamaged(const std::string& shown) {
  // Asked first; only a yes keeps the damaged data (1 or -1; 2 means nobody decided).
  if (!channel_.Send(kCallbackActionCrcError, 0, 0, shown, archive_path_.c_str())) return false;
  const bool keep = !test_ && (channel_.Answer().Arg1 == 1 || channel_.Answer().Arg1 == -1);
  channel_.Message(kEngineErrorCrc, "CRC error in " + shown + (keep ? ", kept anyway" : ""));
  return keep;
}

bool Unpacker::Extract(zip_uint64_t index, const zip_stat_t& st, const std::string& rel,
                       bool exists) {
  const std::string shown = rel;
  EntryReader::Opened entry;
  if (!reader_->Open(index, st, shown, entry)) return false;
  if (!channel_.Send(kCallbackActionNewFile, ClampToInt32(st.size), 0, shown,
                     archive_path_.c_str()))
    return false;

  const std::string target = base_ + '/' + rel;
  const std::string folder = base_ + (ParentOf(rel).empty() ? "" : '/' + ParentOf(rel));
  OutputFile out(channel_);
  if (!test_ && !out.Create(target, folder, exists, random_)) return false;
  const EntryReader::Sink write = [&](const char* data, std::size_t size) {
    return test_ || out.Write(data, size);
  };
  bool crc_error = false;
  if (!reader_->Read(entry, shown, crc_error, write)) return false;
  if (crc_error && !KeepDamaged(shown)) return false;
  if (test_) {
    if (IsOn(record_.Verbose)) channel_.Message(0, "  testing: " + shown + "  OK");
    return true;
  }
  if (!out.Commit(st.mtime)) return false;
  if (IsOn(record_.Verbose)) channel_.Message(0, "  inflating: " + target);
  return true;
}

std::optional<std::int32_t> Unpacker::ReadRecord() {
  if (record_.ZipFileName == nullptr || record_.ZipFileName[0] == '\0') {
    channel_.Message(kEngineErrorParameter, "No archive name given");
    return kEngineExecBadRecord;
  }
  archive_path_ = record_.ZipFileName;
  if (IsOn(record_.ToMemory) || IsOn(record_.FromMemory)) {
    channel_.Message(kEngineErrorUnsupported, "Unpacking to or from memory is not supported");
    return kEngineExecAborted;
  }
  if (record_.SpecCount < 0 || (record_.SpecCount > 0 && record_.Specs == nullptr)) {
    channel_.Message(kEngineErrorParameter, "Invalid file patterns");
    return kEngineExecBadRecord;
  }
  for (std::int32_t i = 0; i < record_.SpecCount; ++i) {
    if (record_.Specs[i].FileSpec == nullptr || record_.Specs[i].FileSpec[0] == '\0') continue;
    std::string pattern = record_.Specs[i].FileSpec;
    std::replace(pattern.begin(), pattern.end(), '\\', '/');
    patterns_.push_back(pattern);
  }
  test_ = IsOn(record_.Test);
  base_ = record_.BaseDir != nullptr && record_.BaseDir[0] != '\0' ? record_.BaseDir : ".";
  while (base_.size() > 1 && base_.back() == '/') base_.pop_back();
  struct stat base_stat {};
  if (!test_ && (::stat(base_.c_str(), &base_stat) != 0 || !S_ISDIR(base_stat.st_mode))) {
    channel_.Message(kEngineErrorWrite, "Target folder not found: " + base_);
    return kEngineExecAborted;
  }
  return std::nullopt;
}

std::optional<std::int32_t> Unpacker::OpenArchive() {
  std::string error;
  std::uint64_t prefix = 0;
  archive_ = OpenArchiveForReading(archive_path_, error, &prefix);
  if (!archive_) {
    channel_.Message(kEngineErrorDamaged, "Cannot open archive " + archive_path_ + ": " + error);
    return kEngineExecAborted;
  }
  if (prefix > 0)
    channel_.Message(kEngineErrorWarning,
                     std::to_string(prefix) + " extra bytes at the beginning of " + archive_path_);
  reader_.emplace(archive_.get(), archive_path_, channel_,
                  record_.Password != nullptr ? record_.Password : "",
                  std::clamp(record_.PasswordRequests, 0, 15));
  return std::nullopt;
}

std::vector<Unpacker::Selection> Unpacker::Select(std::int32_t& total_files,
                                                  std::uint64_t& total_size) {
  std::vector<Selection> selection;
  const zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    Selection item{static_cast<zip_uint64_t>(i), {}, {}};
    if (zip_stat_index(archive_.get(), item.index, ZIP_FL_ENC_RAW, &item.st) != 0 ||
        item.st.name == nullptr) {
      channel_.Message(kEngineErrorDamaged,
                       "Cannot read entry " + std::to_string(i) + " of " + archive_path_);
      continue;
    }
    item.raw = item.st.name;
    if (!Selected(item.raw)) continue;
    if (!IsFolderName(item.raw)) {
      ++total_files;
      total_size += item.st.size;
    }
    selection.push_back(std::move(item));
  }
  return selection;
}

std::int32_t Unpacker::Run() {
  if (auto result = ReadRecord()) return *result;
  if (auto result = OpenArchive()) return *result;
  std::uint64_t total_size = 0;
  std::int32_t total_files = 0;
  const std::vector<Selection> selection = Select(total_files, total_size);
  if (selection.empty()) {
    channel_.Message(patterns_.empty() ? kEngineErrorNone : kEngineErrorNothingToDo,
                     "No entries to unpack in " + archive_path_);
    return channel_.Stopped() ? channel_.StopResult() : 0;
  }
  if (!channel_.Send(kCallbackActionTotalFiles, total_files, 0, archive_path_,
                     archive_path_.c_str()) ||
      !channel_.Send(kCallbackActionTotalSize, ClampToInt32(total_size), 0, archive_path_,
                     archive_path_.c_str()))
    return channel_.StopResult();

  std::vector<ReadAhead::Candidate> whole;
  for (const Selection& item : selection) {
    if (!IsFolderName(item.raw) && IsWholeEntry(item.st)) whole.push_back({item.index, item.st});
  }
  reader_->StartReadAhead(std::move(whole));

  std::int32_t done = 0;
  for (const Selection& item : selection) {
    if (channel_.Stopped() || !UnpackItem(item, done)) break;
  }
  if (channel_.Stopped()) return channel_.StopResult();
  channel_.Send(kCallbackActionEndOfBatch, 0, 0, archive_path_, archive_path_.c_str());
  return done;
}

bool Unpacker::UnpackItem(const Selection& item, std::int32_t& done) {
  const bool dir_names = IsOn(record_.DirNames);
  const bool freshen = IsOn(record_.Freshen) && !IsOn(record_.Update);
  const bool is_dir = IsFolderName(item.raw);
  const std::optional<std::string> safe =
      SafeEntryPath(DiskName(archive_.get(), item.index, item.raw));
  if (!safe) {
    channel_.Message(kEngineErrorUnsafeName,
                     "Refused " + item.raw + ": it would be written outside the target folder", 0,
                     &item.raw);
    return true;
  }
  if (is_dir) {
    if (!test_ && dir_names && !freshen) folders_.Make(*safe, item.raw);
    return true;
  }
  const std::string rel = dir_names ? *safe : BaseOf(*safe);
  if (test_) {
    if (Extract(item.index, item.st, rel, false)) ++done;
    return true;
  }
  const std::string target = base_ + '/' + rel;
  struct stat existing {};
  const bool exists = ::lstat(target.c_str(), &existing) == 0;
  if (freshen && !exists) return true;
  // Folders are made (and checked for links) before anything inside them is looked at again.
  if (!folders_.Make(ParentOf(rel), item.raw)) return true;
  if (exists && S_ISDIR(existing.st_mode)) {
    channel_.Message(kEngineErrorWrite, "Cannot write " + target + ": a folder is in the way");
    return true;
  }
  bool replace = true;
  if (!DecideReplace(item, rel, exists, existing, replace)) return false;
  if (replace && Extract(item.index, item.st, rel, exists)) ++done;
  return true;
}

bool Unpacker::DecideReplace(const Selection& item, const std::string& rel, bool exists,
                             const struct stat& existing, bool& replace) {
  const bool update = IsOn(record_.Update);
  const bool freshen = IsOn(record_.Freshen) && !update;
  if (!exists && !freshen) return true;
  if (update || freshen) {
    replace = exists && ToDosDateTime(existing.st_mtime) < ToDosDateTime(item.st.mtime);
  } else {
    if (!channel_.Send(kCallbackActionOverwrite, 0, IsOn(record_.Overwrite) ? -1 : 0, rel,
                       archive_path_.c_str()))
      return false;
    replace = channel_.Answer().Arg2 != 0;
  }
  if (!replace && exists &&
      !channel_.Send(kCallbackActionSkipped, 0, 0, rel, archive_path_.c_str()))
    return false;
  return true;
}

}  // namespace korvel::engine
