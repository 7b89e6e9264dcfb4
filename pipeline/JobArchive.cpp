// The patch job's archive work, and what the archive component reports on the way.
#include "pipeline/JobArchive.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <set>
#include <vector>

#include "archive/Archiver.h"
#include "archive/EngineRecords.h"
#include "platform/Directory.h"
#include "platform/Files.h"
#include "platform/Time.h"

namespace korvel {

namespace {

// A long step shows it moves at least this often (and at most this often, so it costs little).
constexpr std::uint32_t kProgressIntervalMs = 250;

std::string WithSeparator(const std::string& folder) {
  return folder.empty() || folder.back() == platform::kPathSeparator
             ? folder
             : folder + platform::kPathSeparator;
}

// Every file below `folder`, as paths relative to it with "/" between the parts.
void CollectFiles(const std::string& folder, const std::string& prefix,
                  std::set<std::string>& out) {
  platform::DirectoryReader reader(folder);
  platform::DirEntry entry;
  while (reader.Next(entry)) {
    if (entry.Name == "." || entry.Name == "..") continue;
    const std::string relative = prefix + entry.Name;
    if (entry.Attributes & platform::kAttrDirectory) {
      if (!entry.IsSymlink) {
        CollectFiles(platform::JoinPath(folder, entry.Name), relative + "/", out);
      }
    } else {
      out.insert(relative);
    }
  }
}

Failure Because(TextId text, std::vector<std::string> args = {}) {
  return Failure{text, std::move(args), 0, {}, nullptr};
}

// A failure the archive component or an engine reported; nothing for warnings after which the
// work went on.
std::optional<Failure> ArchiveFailureOf(const ArchiveFailure& failure) {
  const int code = failure.code;
  if (code == 0 || code == 1 || code == kArchiveStructureWarning ||
      code == kArchiveGarbageWarning) {
    return std::nullopt;
  }
  if (code == kEngineErrorUnsafeName && !failure.entry.empty()) {
    return Because(TextId::kUnsafeEntryName, {failure.entry});
  }
  // A full disk reads the same as everywhere else.
  if (failure.system_error == ENOSPC) return Failure{std::nullopt, {}, ENOSPC, {}, nullptr};
  return Failure{std::nullopt, {}, 0, failure.message, nullptr};
}

std::string SizeText(std::uint64_t bytes) {
  if (bytes < (1 << 20)) return std::to_string((bytes + 1023) >> 10) + " KiB";
  return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MiB";
}

// Listens to the archive component while one piece of work runs, and stops listening when it
// goes: the first error becomes the reason, the unpacked bytes are counted against a limit (0:
// none), each entry is a step, and progress goes to the Console's progress line or moves the
// gauge inside the step's range.
class ArchiveWatch {
 public:
  ArchiveWatch(JobState& state, std::uint64_t byte_limit) : state_(state), zip_(state.context.Zip) {
    zip_.OnFailure = [this](const ArchiveFailure& failure) {
      if (!failure_) failure_ = ArchiveFailureOf(failure);
    };
    zip_.OnCRC32Error = [this](const std::string& entry, std::uint32_t, std::uint32_t,
                               bool& extract) {
      extract = false;  // damaged data never reaches the game
      if (!failure_) failure_ = Because(TextId::kDamagedEntry, {entry});
    };
    last_progress_ms_ = platform::TickCount();
    zip_.OnProgress = [this, byte_limit](ProgressType kind, const std::string&, std::int64_t size) {
      Progress(kind, size, byte_limit);
    };
  }
  ~ArchiveWatch() {
    zip_.OnFailure = nullptr;
    zip_.OnCRC32Error = nullptr;
    zip_.OnProgress = nullptr;
    zip_.SetCancel(false);
  }
  ArchiveWatch(const ArchiveWatch&) = delete;
  ArchiveWatch& operator=(const ArchiveWatch&) = delete;

  // The failure so far; nothing while all goes well.
  std::optional<Failure>& Failed() { return failure_; }

 private:
  void Progress(ProgressType kind, std::int64_t size, std::uint64_t byte_limit) {
    if (kind == ProgressType::TotalFiles2Process) entries_ = {0, static_cast<int>(size)};
    if (kind == ProgressType::NewFile) {
      state_.Step("archive entry");
      auto& [done, total] = entries_;
      if (total > 0 && done < total) EntryDone(++done, total);
    }
    if (kind != ProgressType::ProgressUpdate || byte_limit == 0 || size < 0) return;
    written_ += static_cast<std::uint64_t>(size);
    if (written_ > byte_limit && !zip_.Cancel()) {
      // The directory understated the sizes; stop before the disk fills.
      failure_ = Because(TextId::kArchiveOverrun);
      zip_.SetCancel(true);
    }
  }

  // One entry done of `total`; reported at most every kProgressIntervalMs, and always for the
  // last one.
  void EntryDone(int done, int total) {
    const std::uint32_t now = platform::TickCount();
    if (done < total && now - last_progress_ms_ < kProgressIntervalMs) return;
    last_progress_ms_ = now;
    const int from = state_.gauge_from;
    const int to = state_.gauge_to;
    if (state_.interactive) {
      state_.context.sink.ConsoleProgress(state_.Text(TextId::kArchiveEntries) + " " +
                                          std::to_string(done) + " / " + std::to_string(total));
    } else if (done < total && to > from + 1) {
      // Strictly inside the step's range: the step's own end value follows when it is done.
      state_.Gauge(from + 1 + (to - from - 1) * done / total);
    }
  }

  JobState& state_;
  TArchiver& zip_;
  std::optional<Failure> failure_;
  std::uint64_t written_ = 0;
  std::pair<int, int> entries_{0, 0};  // done, total
  std::uint32_t last_progress_ms_ = 0;
};

// Why an archive that lists `files` entries cannot be unpacked, before anything is written: not
// readable, empty, or an archive bomb by its directory.
std::optional<Failure> RefuseBeforeUnpacking(TArchiver& zip, const std::string& archive, int files,
                                             std::optional<Failure>& failure) {
  if (files == 0 || zip.ErrCode() != 0) {
    if (!failure && zip.ErrCode() != 0) {
      failure = ArchiveFailureOf({zip.ErrCode(), 0, "", zip.Message()});
    }
    return failure ? *failure : Because(TextId::kArchiveEmpty);
  }
  std::uint64_t total = 0;
  for (const ZipDirEntry& entry : zip.ZipContents()) total += entry.UncompressedSize;
  const auto packed =
      static_cast<std::uint64_t>(std::max<std::int64_t>(platform::FileSizeOf(archive), 1));
  if (total > kUnpackCeiling || (total > kUnpackRatioFloor && total / packed > kUnpackRatioLimit)) {
    return Because(TextId::kArchiveTooLarge,
                   {SizeText(total), SizeText(packed), SizeText(kUnpackCeiling),
                    std::to_string(kUnpackRatioLimit)});
  }
  return std::nullopt;
}

std::uint64_t UnpackedSize(TArchiver& zip) {
  std::uint64_t total = 0;
  for (const ZipDirEntry& entry : zip.ZipContents()) total += entry.UncompressedSize;
  return total;
}

// Packs the work folder into `target` as PackWorkFolder says; false when no archive came out.
bool PackInto(JobState& state, const std::string& target, const std::string& original) {
  TArchiver& zip = state.context.Zip;
  platform::DeleteFile(target);  // a leftover would be updated instead of made anew
  zip.SetZipFileName(target);
  zip.SetRootDir(WithSeparator(state.work_dir));
  zip.FSpecArgs().clear();
  zip.FSpecArgs().push_back("*.*");
  zip.FSpecArgsExcl() = state.folder_entries.unlisted;
  const AddOpts add_options = zip.AddOptions();
  AddOpts folders = add_options;
  if (state.folder_entries.listed) {
    folders.Include(AddOptsEnum::AddSeparateDirs);
  } else {
    folders.Exclude(AddOptsEnum::AddSeparateDirs);
  }
  zip.SetAddOptions(folders);
  zip.SetReferenceZip(original);
  const int added = zip.Add();
  zip.SetReferenceZip({});
  zip.SetAddOptions(add_options);
  return added == 0 && platform::FileExists(target);
}

// Reads the archive at `target` back: it must list every file of the work folder, and each must
// test good.
bool ReadsBackWhole(JobState& state, const std::string& target) {
  TArchiver& zip = state.context.Zip;
  zip.SetZipFileName(target);
  std::set<std::string> packed;
  for (const ZipDirEntry& entry : zip.ZipContents()) packed.insert(entry.FileName);
  std::set<std::string> expected;
  CollectFiles(state.work_dir, "", expected);
  if (zip.ErrCode() != 0 || packed != expected) return false;

  const ExtrOpts options = zip.ExtrOptions();
  zip.SetExtrOptions(ExtrOpts(options).Include(ExtrOptsEnum::ExtrTest));
  zip.FSpecArgs().clear();
  zip.FSpecArgs().push_back("*.*");
  const int tested = zip.Extract();
  const bool all_good = tested == 0 && zip.SuccessCnt() == static_cast<int>(expected.size());
  zip.SetExtrOptions(options);
  return all_good;
}

}  // namespace

std::optional<Failure> UnpackArchive(JobState& state, const std::string& archive,
                                     const std::string& folder) {
  TArchiver& zip = state.context.Zip;
  std::optional<Failure> refusal;
  int files = 0;
  {
    ArchiveWatch watch(state, 0);
    zip.SetZipFileName(archive);
    files = zip.Count();
    refusal = RefuseBeforeUnpacking(zip, archive, files, watch.Failed());
  }
  if (refusal) return refusal;
  ArchiveWatch watch(state, UnpackedSize(zip));
  zip.SetExtrBaseDir(WithSeparator(folder));
  zip.FSpecArgs().clear();
  zip.FSpecArgs().push_back("*.*");
  const bool ok = zip.Extract() == 0 && zip.SuccessCnt() == files && !watch.Failed();
  if (ok) return std::nullopt;
  return watch.Failed() ? *watch.Failed() : Because(TextId::kNotAllUnpacked);
}

FolderEntries ReadFolderEntries(JobState& state, const std::string& jar) {
  TArchiver& zip = state.context.Zip;
  FolderEntries entries;
  if (zip.DirOnlyCount() == 0) return entries;
  // The folder entries themselves are left out of the directory as the job reads it.
  zip.SetUseDirOnlyEntries(true);
  zip.SetZipFileName(jar);
  zip.SetUseDirOnlyEntries(false);
  std::set<std::string> listed, used;
  for (const ZipDirEntry& entry : zip.ZipContents()) {
    std::string name = entry.FileName;
    std::replace(name.begin(), name.end(), platform::kPathSeparator, '/');
    if (!name.empty() && name.back() == '/') {
      listed.insert(name);
      continue;
    }
    for (std::size_t slash = name.find('/'); slash != std::string::npos;
         slash = name.find('/', slash + 1)) {
      used.insert(name.substr(0, slash + 1));
    }
  }
  entries.listed = !listed.empty();
  std::set_difference(used.begin(), used.end(), listed.begin(), listed.end(),
                      std::back_inserter(entries.unlisted));
  return entries;
}

std::optional<Failure> PackWorkFolder(JobState& state, const std::string& target,
                                      const std::string& original) {
  ArchiveWatch watch(state, 0);
  if (!PackInto(state, target, original)) {
    return watch.Failed() ? *watch.Failed() : Because(TextId::kNewJarNotWritten);
  }
  if (ReadsBackWhole(state, target)) return std::nullopt;
  return watch.Failed() ? *watch.Failed() : Because(TextId::kNewJarIncomplete);
}

}  // namespace korvel
