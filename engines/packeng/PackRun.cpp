// The packing run's steps.
#include "engines/packeng/PackRun.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

#include "archive/ZipFormat.h"
#include "engines/packeng/PackSources.h"

namespace korvel::engine {

namespace {

std::int32_t ClampToInt32(std::uint64_t value) {
  return static_cast<std::int32_t>(std::min<std::uint64_t>(value, INT32_MAX));
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

}  // namespace

void PackRun::Fail(std::int32_t code, const std::string& message, std::int32_t result,
                   int system_error) {
  channel_.Message(code, message, system_error);
  throw RunFailure{result};
}

void PackRun::FailWith(int error, const std::string& what) {
  Fail(kEngineErrorWrite, what + ": " + ErrnoText(error), kEngineExecAborted, error);
}

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
    const bool update = IsOn(record_.Update);
    const std::vector<PlanItem> plan =
        MakePlan(old_.archive.get(), items, update, IsOn(record_.Freshen) && !update);
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

void PackRun::AfterCommit() {
  if (IsOn(record_.ZipTime) && newest_ > 0) {
    const std::time_t dos_newest = zip::FromDosDateTime(ToDosDateTime(newest_));
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

}  // namespace korvel::engine
