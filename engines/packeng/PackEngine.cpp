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

std::int32_t RunPack(const PackCommandRecord& record, CallbackChannel& channel) {
  if (record.ZipFileName == nullptr || record.ZipFileName[0] == '\0') {
    channel.Message(kEngineErrorParameter, "No archive name given");
    return kEngineExecBadRecord;
  }
  const std::string archive_path = record.ZipFileName;
  if (IsOn(record.ToMemory) || IsOn(record.FromMemory)) {
    channel.Message(kEngineErrorUnsupported, "Packing to or from memory is not supported");
    return kEngineExecAborted;
  }
  bool encrypt = IsOn(record.Encrypt);
  for (std::int32_t i = 0; i < record.SpecCount && record.Specs != nullptr; ++i)
    encrypt = encrypt || (record.Specs[i].Password != nullptr && record.Specs[i].Password[0]);
  if (encrypt) {
    channel.Message(kEngineErrorUnsupported, "Encrypted packing is not supported");
    return kEngineExecAborted;
  }
  if (record.SpecCount < 0 || (record.SpecCount > 0 && record.Specs == nullptr) ||
      record.ExcludeCount < 0 || (record.ExcludeCount > 0 && record.Excludes == nullptr)) {
    channel.Message(kEngineErrorParameter, "Invalid file patterns");
    return kEngineExecBadRecord;
  }

  CollectOptions options;
  options.root = record.RootDir != nullptr ? record.RootDir : "";
  options.junk_dirs = IsOn(record.JunkDirNames);
  options.dir_entries = !IsOn(record.NoDirEntries);
  options.hidden = IsOn(record.HiddenFiles);
  if (IsOn(record.FromDate)) options.from = ParseFromDate(record.Date);
  for (std::int32_t i = 0; i < record.ExcludeCount; ++i)
    if (record.Excludes[i] != nullptr && record.Excludes[i][0])
      options.excludes.emplace_back(record.Excludes[i]);
  if (!options.root.empty()) {
    struct stat st {};
    if (::stat(options.root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      channel.Message(kEngineErrorRead, "Root folder not found: " + options.root);
      return kEngineExecAborted;
    }
  }

  // The archive as it is now: updated in place when it holds entries.
  struct stat archive_stat {};
  const bool archive_exists = ::stat(archive_path.c_str(), &archive_stat) == 0;
  if (archive_exists && !S_ISREG(archive_stat.st_mode)) {
    channel.Message(kEngineErrorWrite, "Not a file: " + archive_path);
    return kEngineExecAborted;
  }
  if (archive_exists) options.skip.insert({archive_stat.st_dev, archive_stat.st_ino});
  ZipArchivePtr old_archive;
  if (archive_exists && archive_stat.st_size > 0) {
    std::string error;
    old_archive = OpenArchiveForReading(archive_path, error);
    if (!old_archive) {
      channel.Message(kEngineErrorDamaged, "Cannot read archive " + archive_path + ": " + error);
      return kEngineExecAborted;
    }
  }

  FileCollector collector(options, channel);
  for (std::int32_t i = 0; i < record.SpecCount; ++i) {
    const PackFileSpec& entry = record.Specs[i];
    if (entry.FileSpec != nullptr) collector.AddPattern(entry.FileSpec, entry.Recurse != 0);
    if (channel.Stopped()) return channel.StopResult();
  }
  const std::vector<SourceItem>& items = collector.Items();

  // Plan: old entries keep their places (a newer file takes an entry's place), new ones follow.
  const bool update = IsOn(record.Update);
  const bool freshen = IsOn(record.Freshen) && !update;
  std::vector<PlanItem> plan;
  std::map<std::string, std::size_t> old_names;
  if (old_archive) {
    const zip_int64_t count = zip_get_num_entries(old_archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
      const char* name =
          zip_get_name(old_archive.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
      if (name == nullptr) continue;
      old_names.emplace(name, plan.size());
      plan.push_back(PlanItem{PlanItem::Kind::kKeep, static_cast<zip_uint64_t>(i), nullptr, name});
    }
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
      if (zip_stat_index(old_archive.get(), plan[old->second].index, 0, &old_stat) == 0 &&
          ToDosDateTime(item.mtime) <= ToDosDateTime(old_stat.mtime))
        continue;
    }
    plan[old->second] = PlanItem{kind, 0, &item, item.entry_name};
  }
  std::stable_sort(plan.begin(), plan.end(), [](const PlanItem& a, const PlanItem& b) {
    return ManifestRank(a.name) < ManifestRank(b.name);
  });

  std::uint64_t total_size = 0;
  std::int32_t total_files = 0;
  for (const PlanItem& step : plan) {
    if (step.kind == PlanItem::Kind::kKeep) continue;
    ++total_files;
    total_size += step.item->size;
  }
  if (total_files == 0) {
    if (items.empty())
      channel.Message(kEngineErrorNothingToDo, "Nothing to do: no files selected");
    else if (IsOn(record.Verbose))
      channel.Message(0, "Nothing to do: the archive is up to date");
    return channel.Stopped() ? channel.StopResult() : 0;
  }
  if (!channel.Send(kCallbackActionTotalFiles, total_files, 0, archive_path, record.ZipFileName) ||
      !channel.Send(kCallbackActionTotalSize, ClampToInt32(total_size), 0, archive_path,
                    record.ZipFileName))
    return channel.StopResult();

  TempArchive temp(archive_path);
  if (!temp.Valid()) {
    channel.Message(kEngineErrorWrite, "Cannot create a file in the folder of " + archive_path +
                                           ": " + ErrnoText(errno));
    return kEngineExecAborted;
  }

  const std::vector<std::string> store_suffixes =
      SplitList(record.StoreSuffixes != nullptr ? record.StoreSuffixes : "", ":;,");
  const int level = std::clamp<int>(record.Level, 0, 9);
  ZipWriter writer(temp.Fd());
  std::int32_t added = 0;
  std::vector<const SourceItem*> written;
  std::time_t newest = 0;
  try {
    for (const PlanItem& step : plan) {
      if (step.kind == PlanItem::Kind::kKeep) {
        zip_stat_t st;
        if (zip_stat_index(old_archive.get(), step.index, 0, &st) != 0)
          throw ArchiveWriteError(std::string("cannot read entry ") + step.name);
        if (st.encryption_method != ZIP_EM_NONE)
          throw ArchiveWriteError("cannot keep the encrypted entry " + step.name);
        zip_uint8_t opsys = 0;
        zip_uint32_t attributes = 0;
        zip_file_get_external_attributes(old_archive.get(), step.index, 0, &opsys, &attributes);
        const bool is_dir = !step.name.empty() && step.name.back() == '/';
        const std::uint32_t mode = opsys == ZIP_OPSYS_UNIX && (attributes >> 16) != 0
                                       ? (attributes >> 16) & 07777
                                       : (is_dir ? 0755u : 0644u);
        newest = std::max(newest, st.mtime);
        if (st.comp_method == ZIP_CM_STORE || st.comp_method == ZIP_CM_DEFLATE) {
          ArchiveEntrySource raw(old_archive.get(), step.index, ZIP_FL_COMPRESSED);
          writer.AddRaw(step.name, ToDosDateTime(st.mtime), mode,
                        static_cast<std::uint16_t>(st.comp_method), st.crc, st.comp_size, st.size,
                        raw);
        } else {
          // Another method: expand it and deflate again, which every reader understands.
          ArchiveEntrySource expanded(old_archive.get(), step.index, 0);
          writer.AddFile(step.name, ToDosDateTime(st.mtime), mode, expanded, false, level, {});
        }
        continue;
      }
      const SourceItem& item = *step.item;
      newest = std::max(newest, item.mtime);
      if (item.is_dir) {
        writer.AddDirectory(item.entry_name, ToDosDateTime(item.mtime), item.mode);
        ++added;
        written.push_back(&item);
        continue;
      }
      if (!channel.Send(kCallbackActionNewFile, ClampToInt32(item.size), 0, item.entry_name,
                        item.path.c_str()))
        throw WriteCancelled();
      const bool store_only = EndsWithAnySuffix(item.entry_name, store_suffixes);
      try {
        FileSource source(item.path);
        const auto progress = [&](std::uint64_t bytes) {
          return channel.Send(kCallbackActionProgress, ClampToInt32(bytes), 0, item.entry_name,
                              item.path.c_str());
        };
        // Told when the entry is in the archive, which may be after later files were read.
        const auto report = [&channel, &record, &item](std::uint64_t packed) {
          if (!IsOn(record.Verbose)) return;
          const std::uint64_t saved =
              item.size > packed && item.size > 0 ? (item.size - packed) * 100 / item.size : 0;
          channel.Message(0, "  adding: " + item.entry_name + " (" +
                                 (packed < item.size ? "deflated " : "stored ") +
                                 std::to_string(saved) + "%)");
        };
        writer.AddFile(item.entry_name, ToDosDateTime(item.mtime), item.mode, source, store_only,
                       level, progress, report);
        ++added;
        written.push_back(&item);
      } catch (const SourceReadError& error) {
        channel.Message(kEngineErrorRead,
                        "Not added, cannot read " + item.path + ": " + error.what());
      }
      if (channel.Stopped()) throw WriteCancelled();
    }
    std::string comment;
    if (record.Comment != nullptr) {
      comment = record.Comment;
    } else if (old_archive) {
      int length = 0;
      const char* old_comment = zip_get_archive_comment(old_archive.get(), &length, ZIP_FL_ENC_RAW);
      if (old_comment != nullptr) comment.assign(old_comment, static_cast<std::size_t>(length));
    }
    writer.Finish(comment);
  } catch (const WriteCancelled&) {
    return channel.StopResult() != 0 ? channel.StopResult() : kEngineExecCancelled;
  } catch (const ArchiveWriteError& error) {
    channel.Message(kEngineErrorWrite,
                    "Cannot write archive " + archive_path + ": " + error.what());
    return kEngineExecAborted;
  } catch (const SourceReadError& error) {
    channel.Message(kEngineErrorDamaged,
                    "Cannot copy from archive " + archive_path + ": " + error.what());
    return kEngineExecAborted;
  }
  old_archive.reset();

  const unsigned mode = archive_exists ? (archive_stat.st_mode & 07777) : (0666 & ~CurrentUmask());
  if (!temp.Commit(mode)) {
    channel.Message(kEngineErrorWrite,
                    "Cannot write archive " + archive_path + ": " + ErrnoText(errno));
    return kEngineExecAborted;
  }
  if (IsOn(record.ZipTime) && newest > 0) {
    const std::time_t dos_newest = FromDosDateTime(ToDosDateTime(newest));
    const timespec times[2] = {{dos_newest, 0}, {dos_newest, 0}};
    ::utimensat(AT_FDCWD, archive_path.c_str(), times, 0);
  }
  if (IsOn(record.Move)) {
    // Only now that the archive is in place; folders go last and only when empty.
    for (const SourceItem* item : written)
      if (!item->is_dir) ::unlink(item->path.c_str());
    for (auto it = written.rbegin(); it != written.rend(); ++it)
      if ((*it)->is_dir) ::rmdir((*it)->path.c_str());
  }
  // The archive is in place: a stop asked for now has nothing left to stop.
  channel.Send(kCallbackActionEndOfBatch, 0, 0, archive_path, record.ZipFileName);
  return added;
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
    return RunPack(*record, channel);
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
