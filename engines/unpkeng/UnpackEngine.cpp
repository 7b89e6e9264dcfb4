// The unpacking engine's entry points: writes or tests the entries a command record selects.
// Every file is written to a temporary name in its folder and renamed only after its checksum
// held, so a damaged entry never replaces a good file; no entry can land outside the base folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <random>
#include <set>
#include <type_traits>

#include "archive/EngineRecords.h"
#include "engines/common/EngineCommon.h"
#include "engines/common/ZipReading.h"
#include "engines/unpkeng/EntryNames.h"
#include "engines/unpkeng/ReadAhead.h"

namespace korvel::engine {

namespace {

std::atomic<bool> g_unpacking{false};
constexpr std::size_t kChunk = 64 * 1024;

std::int32_t ClampToInt32(std::uint64_t value) {
  return static_cast<std::int32_t>(std::min<std::uint64_t>(value, INT32_MAX));
}

class Unpacker {
 public:
  Unpacker(const UnpackCommandRecord& record, CallbackChannel& channel)
      : record_(record), channel_(channel) {}

  std::int32_t Run();

 private:
  // An entry chosen by the patterns.
  struct Selection {
    zip_uint64_t index;
    zip_stat_t st;
    std::string raw;
  };
  // The steps of a run; a result ends it early (the message has been sent).
  std::optional<std::int32_t> ReadRecord();
  std::optional<std::int32_t> OpenArchive();
  std::vector<Selection> Select(std::int32_t& total_files, std::uint64_t& total_size);
  // Unpacks one selected entry, counting it in `done`; false stops the run.
  bool UnpackItem(const Selection& item, std::int32_t& done);
  // Whether an existing (or, freshening, missing) file is to be replaced; false stops the run.
  bool DecideReplace(const Selection& item, const std::string& rel, bool exists,
                     const struct stat& existing, bool& replace);
  // Creates the folders of `rel` below the base; false (with a message) when it cannot, or when
  // an existing part is a link, which could lead outside the base.
  bool MakeFolders(const std::string& rel, const std::string& entry_name);
  // Opens an entry, asking for a password when it is encrypted and none fits.
  ZipFilePtr OpenEntry(zip_uint64_t index, const zip_stat_t& st, const std::string& shown);
  // Writes (or, testing, only reads) one file entry; true when it was written or tested. A file
  // that `exists` is replaced only once the new one is complete and checked.
  bool Extract(zip_uint64_t index, const zip_stat_t& st, const std::string& rel, bool exists);
  // Opens an entry for Extract: taken from the read-ahead (`whole`) when it is deflated and
  // small enough to expand whole, else opened to be streamed (`file`); false when it cannot be.
  bool OpenForExtract(zip_uint64_t index, const zip_stat_t& st, const std::string& shown,
                      ZipFilePtr& file, std::shared_ptr<ExpandedEntry>& whole);
  // Opens the file written to: `target` itself when new, else a temporary name in `folder`.
  bool CreateOutput(const std::string& target, const std::string& folder, bool exists,
                    UniqueFd& out, std::string& temp_path);
  bool WriteAll(int fd, const std::string& target, const char* data, std::size_t size);
  // Asks what to do with an entry that failed its checksum; true to keep it.
  bool KeepDamaged(const std::string& shown);
  // Where an entry's bytes go; false stops (it has said why).
  using Sink = std::function<bool(const char*, std::size_t)>;
  // Reads an opened entry in pieces into `sink`; false (with a message) when it cannot be read;
  // `crc_error` when it was read but does not match its checksum.
  bool ReadStream(zip_file_t* file, const std::string& shown, bool& crc_error, const Sink& sink);
  // The same for an entry expanded whole.
  bool ReadDeflatedWhole(ExpandedEntry& entry, const std::string& shown, bool& crc_error,
                         const Sink& sink);
  bool Selected(const std::string& name) const;

  const UnpackCommandRecord& record_;
  CallbackChannel& channel_;
  ZipArchivePtr archive_;
  std::string archive_path_;
  std::string base_;
  bool test_ = false;
  std::vector<std::string> patterns_;
  std::string password_;
  std::int32_t password_requests_ = 0;
  std::mt19937 random_{std::random_device{}()};
  std::unique_ptr<char[]> buffer_ = std::make_unique_for_overwrite<char[]>(kChunk);
  // Made once the entries are chosen; gone (its threads joined) before the archive is closed.
  std::optional<ReadAhead> ahead_;
  // Folders below the base made or found to be real folders during this run.
  std::set<std::string> known_folders_;
};

bool Unpacker::Selected(const std::string& name) const {
  if (patterns_.empty()) return true;
  std::string normal = name;
  std::replace(normal.begin(), normal.end(), '\\', '/');
  return std::any_of(patterns_.begin(), patterns_.end(),
                     [&](const std::string& pattern) { return MatchNamePattern(pattern, normal); });
}

bool Unpacker::MakeFolders(const std::string& rel, const std::string& entry_name) {
  if (rel.empty() || known_folders_.count(rel) > 0) return true;
  std::string path = base_;
  std::string folder;
  for (const std::string& part : SplitList(rel, "/")) {
    path += '/' + part;
    folder += (folder.empty() ? "" : "/") + part;
    if (known_folders_.count(folder) > 0) continue;
    if (::mkdir(path.c_str(), 0777) != 0) {
      const int err = errno;
      struct stat st {};
      if (::lstat(path.c_str(), &st) != 0) {
        channel_.Message(kEngineErrorWrite, "Cannot create folder " + path + ": " + ErrnoText(err),
                         err);
        return false;
      }
      if (S_ISLNK(st.st_mode)) {
        channel_.Message(kEngineErrorUnsafeName,
                         "Refused " + entry_name + ": its path leads through the link " + path, 0,
                         &entry_name);
        return false;
      }
      if (!S_ISDIR(st.st_mode)) {
        channel_.Message(kEngineErrorWrite,
                         "Cannot create folder " + path + ": a file is in the way");
        return false;
      }
    }
    known_folders_.insert(folder);
  }
  return true;
}

ZipFilePtr Unpacker::OpenEntry(zip_uint64_t index, const zip_stat_t& st, const std::string& shown) {
  if (st.encryption_method == ZIP_EM_NONE) {
    ZipFilePtr file(zip_fopen_index(archive_.get(), index, 0));
    if (!file)
      channel_.Message(kEngineErrorDamaged,
                       "Cannot read " + shown + ": " + zip_strerror(archive_.get()));
    return file;
  }
  for (;;) {
    ZipFilePtr file(zip_fopen_index_encrypted(archive_.get(), index, 0,
                                              password_.empty() ? nullptr : password_.c_str()));
    if (file) return file;
    const int code = zip_error_code_zip(zip_get_error(archive_.get()));
    if ((code != ZIP_ER_NOPASSWD && code != ZIP_ER_WRONGPASSWD) || password_requests_ <= 0) {
      channel_.Message(code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD
                           ? kEngineErrorPassword
                           : kEngineErrorUnsupported,
                       "Cannot read " + shown + ": " + zip_strerror(archive_.get()));
      return nullptr;
    }
    --password_requests_;
    if (!channel_.Send(kCallbackActionPassword, 0, password_requests_, shown)) return nullptr;
    const EngineCallbackRecord& answer = channel_.Answer();
    if (answer.Code == 0) password_requests_ = 0;  // asked to stop asking
    if (answer.Arg1 != 1) {
      channel_.Message(kEngineErrorPassword, "Skipped " + shown + ": no password given");
      return nullptr;
    }
    password_ = channel_.AnswerText();
    password_requests_ = std::min(password_requests_, std::clamp(answer.Arg2, 0, 15));
  }
}

bool Unpacker::ReadStream(zip_file_t* file, const std::string& shown, bool& crc_error,
                          const Sink& sink) {
  char* buffer = buffer_.get();
  for (;;) {
    const zip_int64_t got = zip_fread(file, buffer, kChunk);
    if (got == 0) return true;
    if (got < 0) {
      if (zip_error_code_zip(zip_file_get_error(file)) == ZIP_ER_CRC) {
        crc_error = true;
        return true;
      }
      channel_.Message(kEngineErrorDamaged,
                       "Cannot read " + shown + ": " + zip_file_strerror(file));
      return false;
    }
    if (!sink(buffer, static_cast<std::size_t>(got))) return false;
    if (!channel_.Send(kCallbackActionProgress, ClampToInt32(static_cast<std::uint64_t>(got)), 0,
                       shown, archive_path_.c_str()))
      return false;
  }
}

bool Unpacker::ReadDeflatedWhole(ExpandedEntry& entry, const std::string& shown, bool& crc_error,
                                 const Sink& sink) {
  ahead_->Wait(entry);
  if (entry.failure == ExpandedEntry::Failure::kRead || entry.bad_data) {
    channel_.Message(kEngineErrorDamaged,
                     "Cannot read " + shown + ": " +
                         (entry.bad_data ? "the compressed data is damaged" : entry.failure_text));
    return false;
  }
  crc_error = entry.crc_error;
  return sink(entry.data.get(), entry.expanded_size) &&
         channel_.Send(kCallbackActionProgress, ClampToInt32(entry.expanded_size), 0, shown,
                       archive_path_.c_str());
}

bool Unpacker::OpenForExtract(zip_uint64_t index, const zip_stat_t& st, const std::string& shown,
                              ZipFilePtr& file, std::shared_ptr<ExpandedEntry>& whole) {
  if (!IsWholeEntry(st)) {
    file = OpenEntry(index, st, shown);
    return file != nullptr;
  }
  whole = ahead_->Take(index, st);
  if (whole->failure != ExpandedEntry::Failure::kOpen) return true;
  channel_.Message(kEngineErrorDamaged, "Cannot read " + shown + ": " + whole->failure_text);
  return false;
}

bool Unpacker::CreateOutput(const std::string& target, const std::string& folder, bool exists,
                            UniqueFd& out, std::string& temp_path) {
  constexpr int kCreate = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  if (!exists) {
    out = UniqueFd(::open(target.c_str(), kCreate, 0666));
    if (out.Valid()) temp_path = target;
  }
  for (int attempt = 0; attempt < 100 && !out.Valid(); ++attempt) {
    temp_path = folder + "/.kz" + std::to_string(random_()) + ".tmp";
    out = UniqueFd(::open(temp_path.c_str(), kCreate, 0666));
    if (!out.Valid() && errno != EEXIST) break;
  }
  if (!out.Valid()) {
    const int err = errno;
    channel_.Message(kEngineErrorWrite, "Cannot create " + target + ": " + ErrnoText(err), err);
    return false;
  }
  return true;
}

bool Unpacker::WriteAll(int fd, const std::string& target, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) {
      const int err = errno;
      channel_.Message(kEngineErrorWrite, "Cannot write " + target + ": " + ErrnoText(err), err);
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
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
  ZipFilePtr file;
  std::shared_ptr<ExpandedEntry> whole;
  if (!OpenForExtract(index, st, shown, file, whole)) return false;
  if (!channel_.Send(kCallbackActionNewFile, ClampToInt32(st.size), 0, shown,
                     archive_path_.c_str()))
    return false;

  // A new file is written under its own name (removed again if it fails); an existing one is
  // replaced through a temporary file in its folder, so the rename cannot cross devices.
  const std::string target = base_ + '/' + rel;
  const std::string folder = base_ + (ParentOf(rel).empty() ? "" : '/' + ParentOf(rel));
  std::string temp_path;
  UniqueFd out;
  if (!test_ && !CreateOutput(target, folder, exists, out, temp_path)) return false;
  struct TempRemover {
    std::string* path;
    ~TempRemover() {
      if (!path->empty()) ::unlink(path->c_str());
    }
  } remover{&temp_path};

  const Sink write = [&](const char* data, std::size_t size) {
    return test_ || WriteAll(out.Get(), target, data, size);
  };
  bool crc_error = false;
  if (!(whole ? ReadDeflatedWhole(*whole, shown, crc_error, write)
              : ReadStream(file.get(), shown, crc_error, write)))
    return false;
  if (crc_error && !KeepDamaged(shown)) return false;
  if (test_) {
    if (IsOn(record_.Verbose)) channel_.Message(0, "  testing: " + shown + "  OK");
    return true;
  }
  const timespec times[2] = {{st.mtime, 0}, {st.mtime, 0}};
  ::futimens(out.Get(), times);
  if (!out.Close() || (temp_path != target && ::rename(temp_path.c_str(), target.c_str()) != 0)) {
    const int err = errno;
    channel_.Message(kEngineErrorWrite, "Cannot write " + target + ": " + ErrnoText(err), err);
    return false;
  }
  temp_path.clear();
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
  password_ = record_.Password != nullptr ? record_.Password : "";
  password_requests_ = std::clamp(record_.PasswordRequests, 0, 15);
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
  ahead_.emplace(archive_.get(), std::move(whole));

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
    if (!test_ && dir_names && !freshen) MakeFolders(*safe, item.raw);
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
  if (!MakeFolders(ParentOf(rel), item.raw)) return true;
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

}  // namespace

}  // namespace korvel::engine

extern "C" {

KORVEL_ENGINE_EXPORT int32_t KORVEL_RECORD_CALL UnpackExec(UnpackCommandRecord* record) {
  using namespace korvel::engine;
  if (record == nullptr) return kEngineExecBadRecord;
  CallbackChannel channel(record->Callback, record->Caller, false);
  if (record->RecordMark != KORVEL_RECORD_RECORD_MARK) {
    channel.Message(kEngineErrorParameter, "Unknown command record");
    return kEngineExecBadRecord;
  }
  RunGuard guard(g_unpacking);
  if (!guard.Owned()) return kEngineExecBusy;
  try {
    Unpacker unpacker(*record, channel);
    return unpacker.Run();
  } catch (const std::bad_alloc&) {
    channel.Message(kEngineErrorMemory, "Out of memory");
    return kEngineExecNoMemory;
  } catch (const std::exception& error) {
    channel.Message(kEngineErrorSevere, std::string("Unpacking failed: ") + error.what());
    return kEngineExecFatal;
  } catch (...) {
    channel.Message(kEngineErrorSevere, "Unpacking failed");
    return kEngineExecFatal;
  }
}

KORVEL_ENGINE_EXPORT int32_t KORVEL_RECORD_CALL GetUnpackVersion(void) {
  return korvel::engine::kEngineVersion;
}

KORVEL_ENGINE_EXPORT int32_t KORVEL_RECORD_CALL GetUnpackPrivVersion(void) {
  return korvel::engine::kEnginePrivVersion;
}

}  // extern "C"

static_assert(std::is_same_v<decltype(&UnpackExec), UnpackExecFn>);
static_assert(std::is_same_v<decltype(&GetUnpackVersion), GetUnpackVersionFn>);
static_assert(std::is_same_v<decltype(&GetUnpackPrivVersion), GetUnpackPrivVersionFn>);
