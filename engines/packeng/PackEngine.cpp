// The packing engine's entry points: builds or updates a zip archive from the files a command
// record selects, writing a temporary file beside the archive that replaces it only when complete.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <type_traits>

#include "archive/EngineRecords.h"
#include "engines/common/EngineCommon.h"
#include "engines/common/ZipReading.h"
#include "engines/packeng/FileCollector.h"
#include "engines/packeng/ReferenceArchive.h"
#include "engines/packeng/ZipWriter.h"

namespace korvel::engine {

namespace {

std::atomic<bool> g_packing{false};

std::int32_t ClampToInt32(std::uint64_t value) {
  return static_cast<std::int32_t>(std::min<std::uint64_t>(value, INT32_MAX));
}

// A run ends early with this result; the message has been sent already.
struct RunFailure {
  std::int32_t result;
};

class FileSource : public EntrySource {
 public:
  FileSource(const std::string& path) : path_(path) {
    fd_ = UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd_.Valid()) throw SourceReadError(ErrnoText(errno));
  }
  std::size_t Read(char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t got = ::read(fd_.Get(), buffer, size);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) throw SourceReadError(ErrnoText(errno));
    }
  }
  void Rewind() override {
    if (::lseek(fd_.Get(), 0, SEEK_SET) < 0) throw SourceReadError(ErrnoText(errno));
  }

 private:
  std::string path_;
  UniqueFd fd_;
};

// An entry of the archive being updated, read raw (compressed) or expanded.
class ArchiveEntrySource : public EntrySource {
 public:
  ArchiveEntrySource(zip_t* archive, zip_uint64_t index, zip_flags_t flags)
      : archive_(archive), index_(index), flags_(flags) {
    Rewind();
  }
  std::size_t Read(char* buffer, std::size_t size) override {
    const zip_int64_t got = zip_fread(file_.get(), buffer, size);
    if (got < 0) throw SourceReadError(zip_file_strerror(file_.get()));
    return static_cast<std::size_t>(got);
  }
  void Rewind() override {
    file_.reset(zip_fopen_index(archive_, index_, flags_));
    if (!file_) throw SourceReadError(zip_strerror(archive_));
  }

 private:
  zip_t* archive_;
  zip_uint64_t index_;
  zip_flags_t flags_;
  ZipFilePtr file_;
};

// What goes into the new archive, in order.
struct PlanItem {
  enum class Kind { kKeep, kFile, kDir } kind;
  zip_uint64_t index = 0;            // kKeep: entry of the old archive
  const SourceItem* item = nullptr;  // kFile, kDir
  std::string name;
};

// JAR readers of old handsets expect the manifest's folder and the manifest first.
int ManifestRank(const std::string& name) {
  const std::string lower = ToLowerAscii(name);
  if (lower == "meta-inf/") return 0;
  if (lower == "meta-inf/manifest.mf") return 1;
  return 2;
}

// "mm dd yy" as the local start of that day; years below 80 are 20yy.
std::optional<std::time_t> ParseFromDate(const char (&date)[8]) {
  int month = 0, day = 0, year = 0;
  const std::string text(date, strnlen(date, sizeof date));
  if (std::sscanf(text.c_str(), "%d %d %d", &month, &day, &year) != 3) return std::nullopt;
  std::tm local{};
  local.tm_year = year < 80 ? year + 100 : year;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

// A temporary archive beside the target; removed unless Commit() renamed it into place.
class TempArchive {
 public:
  explicit TempArchive(const std::string& target) : target_(target) {
    std::string pattern = target + ".XXXXXX";
    fd_ = UniqueFd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!fd_.Valid()) return;
    path_ = pattern;
  }
  ~TempArchive() {
    fd_.Reset();
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TempArchive(const TempArchive&) = delete;
  TempArchive& operator=(const TempArchive&) = delete;

  bool Valid() const { return fd_.Valid(); }
  int Fd() const { return fd_.Get(); }
  const std::string& Path() const { return path_; }

  // Makes the data durable and puts the file in the target's place. False with errno set.
  bool Commit(unsigned mode) {
    if (::fchmod(fd_.Get(), mode) != 0 || ::fsync(fd_.Get()) != 0 || !fd_.Close()) return false;
    if (::rename(path_.c_str(), target_.c_str()) != 0) return false;
    path_.clear();
    return true;
  }

 private:
  std::string target_;
  std::string path_;
  UniqueFd fd_;
};

// The archive as it was before the run.
struct OldArchive {
  bool exists = false;
  struct stat st {};
  ZipArchivePtr archive;  // open when the file holds anything
};

// One packing run, step by step; a step that ends the run throws RunFailure.
class PackRun {
 public:
  PackRun(const PackCommandRecord& record, CallbackChannel& channel)
      : record_(record), channel_(channel) {}

  // The number of files and folders added, or an error result.
  std::int32_t Run();

 private:
  [[noreturn]] void Fail(std::int32_t code, const std::string& message, std::int32_t result,
                         int system_error = 0) {
    channel_.Message(code, message, system_error);
    throw RunFailure{result};
  }
  // Fail for a system call that failed with `error` (errno).
  [[noreturn]] void FailWith(int error, const std::string& what) {
    Fail(kEngineErrorWrite, what + ": " + ErrnoText(error), kEngineExecAborted, error);
  }
  void CheckRecord();
  CollectOptions MakeCollectOptions();
  void OpenOldArchive(CollectOptions& options);
  std::vector<PlanItem> MakePlan(const std::vector<SourceItem>& items) const;
  void AnnounceTotals(const std::vector<PlanItem>& plan, bool nothing_selected);
  void WriteArchive(const std::vector<PlanItem>& plan, int fd);
  void KeepEntry(ZipWriter& writer, const PlanItem& step, int level);
  void AddFile(ZipWriter& writer, const SourceItem& item, bool store_only, int level);
  std::string ArchiveComment() const;
  void Commit(TempArchive& temp);
  void AfterCommit();

  const PackCommandRecord& record_;
  CallbackChannel& channel_;
  std::string archive_path_;
  OldArchive old_;
  ReferenceArchive reference_;
  std::int32_t added_ = 0;
  std::vector<const SourceItem*> written_;
  std::time_t newest_ = 0;
};

std::int32_t PackRun::Run() {
  try {
    CheckRecord();
    CollectOptions options = MakeCollectOptions();
    OpenOldArchive(options);
    FileCollector collector(options, channel_);
    for (std::int32_t i = 0; i < record_.SpecCount; ++i) {
      const PackFileSpec& entry = record_.Specs[i];
      if (entry.FileSpec != nullptr) collector.AddPattern(entry.FileSpec, entry.Recurse != 0);
      if (channel_.Stopped()) return channel_.StopResult();
    }
    const std::vector<SourceItem>& items = collector.Items();
    const std::vector<PlanItem> plan = MakePlan(items);
    AnnounceTotals(plan, items.empty());

    if (record_.ReferenceZip != nullptr) reference_.Open(record_.ReferenceZip);
    TempArchive temp(archive_path_);
    if (!temp.Valid()) FailWith(errno, "Cannot create a file in the folder of " + archive_path_);
    WriteArchive(plan, temp.Fd());
    old_.archive.reset();
    Commit(temp);
    AfterCommit();
  } catch (const RunFailure& failure) {
    return failure.result;
  }
  // The archive is in place: a stop asked for now has nothing left to stop.
  channel_.Send(kCallbackActionEndOfBatch, 0, 0, archive_path_, record_.ZipFileName);
  return added_;
}

void PackRun::CheckRecord() {
  if (record_.ZipFileName == nullptr || record_.ZipFileName[0] == '\0')
    Fail(kEngineErrorParameter, "No archive name given", kEngineExecBadRecord);
  archive_path_ = record_.ZipFileName;
  if (IsOn(record_.ToMemory) || IsOn(record_.FromMemory))
    Fail(kEngineErrorUnsupported, "Packing to or from memory is not supported", kEngineExecAborted);
  bool encrypt = IsOn(record_.Encrypt);
  for (std::int32_t i = 0; i < record_.SpecCount && record_.Specs != nullptr; ++i)
    encrypt = encrypt || (record_.Specs[i].Password != nullptr && record_.Specs[i].Password[0]);
  if (encrypt)
    Fail(kEngineErrorUnsupported, "Encrypted packing is not supported", kEngineExecAborted);
  if (record_.SpecCount < 0 || (record_.SpecCount > 0 && record_.Specs == nullptr) ||
      record_.ExcludeCount < 0 || (record_.ExcludeCount > 0 && record_.Excludes == nullptr))
    Fail(kEngineErrorParameter, "Invalid file patterns", kEngineExecBadRecord);
}

CollectOptions PackRun::MakeCollectOptions() {
  CollectOptions options;
  options.root = record_.RootDir != nullptr ? record_.RootDir : "";
  options.junk_dirs = IsOn(record_.JunkDirNames);
  options.dir_entries = !IsOn(record_.NoDirEntries);
  options.hidden = IsOn(record_.HiddenFiles);
  if (IsOn(record_.FromDate)) options.from = ParseFromDate(record_.Date);
  for (std::int32_t i = 0; i < record_.ExcludeCount; ++i)
    if (record_.Excludes[i] != nullptr && record_.Excludes[i][0])
      options.excludes.emplace_back(record_.Excludes[i]);
  if (!options.root.empty()) {
    struct stat st {};
    if (::stat(options.root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
      Fail(kEngineErrorRead, "Root folder not found: " + options.root, kEngineExecAborted);
  }
  return options;
}

// The archive as it is now: updated in place when it holds entries, and never packed into itself.
void PackRun::OpenOldArchive(CollectOptions& options) {
  old_.exists = ::stat(archive_path_.c_str(), &old_.st) == 0;
  if (!old_.exists) return;
  if (!S_ISREG(old_.st.st_mode))
    Fail(kEngineErrorWrite, "Not a file: " + archive_path_, kEngineExecAborted);
  options.skip.insert({old_.st.st_dev, old_.st.st_ino});
  if (old_.st.st_size == 0) return;
  std::string error;
  old_.archive = OpenArchiveForReading(archive_path_, error);
  if (!old_.archive)
    Fail(kEngineErrorDamaged, "Cannot read archive " + archive_path_ + ": " + error,
         kEngineExecAborted);
}

// Old entries keep their places (a newer file takes an entry's place), new ones follow; the
// manifest goes first.
std::vector<PlanItem> PackRun::MakePlan(const std::vector<SourceItem>& items) const {
  const bool update = IsOn(record_.Update);
  const bool freshen = IsOn(record_.Freshen) && !update;
  zip_t* old_archive = old_.archive.get();
  std::vector<PlanItem> plan;
  std::map<std::string, std::size_t> old_names;
  const zip_int64_t count = old_archive != nullptr ? zip_get_num_entries(old_archive, 0) : 0;
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name = zip_get_name(old_archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
    if (name == nullptr) continue;
    old_names.emplace(name, plan.size());
    plan.push_back(PlanItem{PlanItem::Kind::kKeep, static_cast<zip_uint64_t>(i), nullptr, name});
  }
  for (const SourceItem& item : items) {
    const PlanItem::Kind kind = item.is_dir ? PlanItem::Kind::kDir : PlanItem::Kind::kFile;
    const auto old = old_names.find(item.entry_name);
    if (old == old_names.end()) {
      if (!freshen) plan.push_back(PlanItem{kind, 0, &item, item.entry_name});
      continue;
    }
    if (item.is_dir) continue;  // the folder entry is there already
    if (update || freshen) {
      zip_stat_t old_stat;
      if (zip_stat_index(old_archive, plan[old->second].index, 0, &old_stat) == 0 &&
          ToDosDateTime(item.mtime) <= ToDosDateTime(old_stat.mtime))
        continue;
    }
    plan[old->second] = PlanItem{kind, 0, &item, item.entry_name};
  }
  std::stable_sort(plan.begin(), plan.end(), [](const PlanItem& a, const PlanItem& b) {
    return ManifestRank(a.name) < ManifestRank(b.name);
  });
  return plan;
}

// Tells the caller how much is to be packed; a plan with nothing new ends the run here.
void PackRun::AnnounceTotals(const std::vector<PlanItem>& plan, bool nothing_selected) {
  std::uint64_t total_size = 0;
  std::int32_t total_files = 0;
  for (const PlanItem& step : plan) {
    if (step.kind == PlanItem::Kind::kKeep) continue;
    ++total_files;
    total_size += step.item->size;
  }
  if (total_files == 0) {
    if (nothing_selected)
      channel_.Message(kEngineErrorNothingToDo, "Nothing to do: no files selected");
    else if (IsOn(record_.Verbose))
      channel_.Message(0, "Nothing to do: the archive is up to date");
    throw RunFailure{channel_.Stopped() ? channel_.StopResult() : 0};
  }
  if (!channel_.Send(kCallbackActionTotalFiles, total_files, 0, archive_path_,
                     record_.ZipFileName) ||
      !channel_.Send(kCallbackActionTotalSize, ClampToInt32(total_size), 0, archive_path_,
                     record_.ZipFileName))
    throw RunFailure{channel_.StopResult()};
}

void PackRun::WriteArchive(const std::vector<PlanItem>& plan, int fd) {
  const std::vector<std::string> store_suffixes =
      SplitList(record_.StoreSuffixes != nullptr ? record_.StoreSuffixes : "", ":;,");
  const int level = std::clamp<int>(record_.Level, 0, 9);
  ZipWriter writer(fd);
  try {
    for (const PlanItem& step : plan) {
      if (step.kind == PlanItem::Kind::kKeep) {
        KeepEntry(writer, step, level);
        continue;
      }
      const SourceItem& item = *step.item;
      newest_ = std::max(newest_, item.mtime);
      if (item.is_dir) {
        writer.AddDirectory(item.entry_name, ToDosDateTime(item.mtime), item.mode);
        ++added_;
        written_.push_back(&item);
        continue;
      }
      AddFile(writer, item, EndsWithAnySuffix(item.entry_name, store_suffixes), level);
    }
    writer.Finish(ArchiveComment());
  } catch (const WriteCancelled&) {
    throw RunFailure{channel_.StopResult() != 0 ? channel_.StopResult() : kEngineExecCancelled};
  } catch (const ArchiveWriteError& error) {
    Fail(kEngineErrorWrite, "Cannot write archive " + archive_path_ + ": " + error.what(),
         kEngineExecAborted, error.SystemError());
  } catch (const SourceReadError& error) {
    Fail(kEngineErrorDamaged, "Cannot copy from archive " + archive_path_ + ": " + error.what(),
         kEngineExecAborted);
  }
}

// Copies an old entry: raw when stored or deflated, else expanded and deflated again, which
// every reader understands.
void PackRun::KeepEntry(ZipWriter& writer, const PlanItem& step, int level) {
  zip_t* old_archive = old_.archive.get();
  zip_stat_t st;
  if (zip_stat_index(old_archive, step.index, 0, &st) != 0)
    throw ArchiveWriteError(std::string("cannot read entry ") + step.name);
  if (st.encryption_method != ZIP_EM_NONE)
    throw ArchiveWriteError("cannot keep the encrypted entry " + step.name);
  zip_uint8_t opsys = 0;
  zip_uint32_t attributes = 0;
  zip_file_get_external_attributes(old_archive, step.index, 0, &opsys, &attributes);
  const bool is_dir = !step.name.empty() && step.name.back() == '/';
  const std::uint32_t mode = opsys == ZIP_OPSYS_UNIX && (attributes >> 16) != 0
                                 ? (attributes >> 16) & 07777
                                 : (is_dir ? 0755u : 0644u);
  newest_ = std::max(newest_, st.mtime);
  if (st.comp_method == ZIP_CM_STORE || st.comp_method == ZIP_CM_DEFLATE) {
    ArchiveEntrySource raw(old_archive, step.index, ZIP_FL_COMPRESSED);
    writer.AddRaw(step.name, ToDosDateTime(st.mtime), mode,
                  static_cast<std::uint16_t>(st.comp_method), st.crc, st.comp_size, st.size, raw);
  } else {
    ArchiveEntrySource expanded(old_archive, step.index, 0);
    writer.AddFile(step.name, ToDosDateTime(st.mtime), mode, expanded, false, level, {});
  }
}

// A file that cannot be read is left out with a message; the run goes on.
void PackRun::AddFile(ZipWriter& writer, const SourceItem& item, bool store_only, int level) {
  if (!channel_.Send(kCallbackActionNewFile, ClampToInt32(item.size), 0, item.entry_name,
                     item.path.c_str()))
    throw WriteCancelled();
  try {
    FileSource source(item.path);
    const auto progress = [&](std::uint64_t bytes) {
      return channel_.Send(kCallbackActionProgress, ClampToInt32(bytes), 0, item.entry_name,
                           item.path.c_str());
    };
    // Told when the entry is in the archive, which may be after later files were read.
    const auto report = [this, &item](std::uint64_t packed) {
      if (!IsOn(record_.Verbose)) return;
      const std::uint64_t saved =
          item.size > packed && item.size > 0 ? (item.size - packed) * 100 / item.size : 0;
      channel_.Message(0, "  adding: " + item.entry_name + " (" +
                              (packed < item.size ? "deflated " : "stored ") +
                              std::to_string(saved) + "%)");
    };
    writer.AddFile(item.entry_name, ToDosDateTime(item.mtime), item.mode, source, store_only, level,
                   progress, report, reference_.Find(item.entry_name, item.size));
    ++added_;
    written_.push_back(&item);
  } catch (const SourceReadError& error) {
    channel_.Message(kEngineErrorRead, "Not added, cannot read " + item.path + ": " + error.what());
  }
  if (channel_.Stopped()) throw WriteCancelled();
}

// The record's comment, else the old archive's.
std::string PackRun::ArchiveComment() const {
  std::string comment;
  if (record_.Comment != nullptr) {
    comment = record_.Comment;
  } else if (old_.archive) {
    int length = 0;
    const char* old_comment = zip_get_archive_comment(old_.archive.get(), &length, ZIP_FL_ENC_RAW);
    if (old_comment != nullptr) comment.assign(old_comment, static_cast<std::size_t>(length));
  }
  return comment;
}

void PackRun::Commit(TempArchive& temp) {
  const unsigned mode = old_.exists ? (old_.st.st_mode & 07777) : (0666 & ~CurrentUmask());
  if (!temp.Commit(mode)) FailWith(errno, "Cannot write archive " + archive_path_);
}

// The archive's time and the moved files, only now that the archive is in place.
void PackRun::AfterCommit() {
  if (IsOn(record_.ZipTime) && newest_ > 0) {
    const std::time_t dos_newest = FromDosDateTime(ToDosDateTime(newest_));
    const timespec times[2] = {{dos_newest, 0}, {dos_newest, 0}};
    ::utimensat(AT_FDCWD, archive_path_.c_str(), times, 0);
  }
  if (IsOn(record_.Move)) {
    // Folders go last and only when empty.
    for (const SourceItem* item : written_)
      if (!item->is_dir) ::unlink(item->path.c_str());
    for (auto it = written_.rbegin(); it != written_.rend(); ++it)
      if ((*it)->is_dir) ::rmdir((*it)->path.c_str());
  }
}

}  // namespace

}  // namespace korvel::engine

extern "C" {

KORVEL_ENGINE_EXPORT int32_t KORVEL_RECORD_CALL PackExec(PackCommandRecord* record) {
  using namespace korvel::engine;
  if (record == nullptr) return kEngineExecBadRecord;
  CallbackChannel channel(record->Callback, record->Caller, true);
  if (record->RecordMark != KORVEL_RECORD_RECORD_MARK || record->Version < KORVEL_ENGINE_VERSION) {
    channel.Message(kEngineErrorParameter, "Unknown command record");
    return kEngineExecBadRecord;
  }
  RunGuard guard(g_packing);
  if (!guard.Owned()) return kEngineExecBusy;
  try {
    return PackRun(*record, channel).Run();
  } catch (const std::bad_alloc&) {
    channel.Message(kEngineErrorMemory, "Out of memory");
    return kEngineExecNoMemory;
  } catch (const std::exception& error) {
    channel.Message(kEngineErrorSevere, std::string("Packing failed: ") + error.what());
    return kEngineExecFatal;
  } catch (...) {
    channel.Message(kEngineErrorSevere, "Packing failed");
    return kEngineExecFatal;
  }
}

KORVEL_ENGINE_EXPORT int32_t KORVEL_RECORD_CALL GetPackVersion(void) {
  return korvel::engine::kEngineVersion;
}

KORVEL_ENGINE_EXPORT int32_t KORVEL_RECORD_CALL GetPackPrivVersion(void) {
  return korvel::engine::kEnginePrivVersion;
}

}  // extern "C"

static_assert(std::is_same_v<decltype(&PackExec), PackExecFn>);
static_assert(std::is_same_v<decltype(&GetPackVersion), GetPackVersionFn>);
static_assert(std::is_same_v<decltype(&GetPackPrivVersion), GetPackPrivVersionFn>);
