// The patch job's archive steps: unpacking, packing and reading back, and what the archive
// component reports on the way.
#include <algorithm>
#include <cerrno>
#include <iterator>
#include <memory>
#include <set>

#include "archive/Archiver.h"
#include "archive/EngineRecords.h"
#include "pipeline/PatchJob.h"
#include "platform/Directory.h"
#include "platform/FileError.h"
#include "platform/Files.h"
#include "platform/Time.h"

namespace korvel {

namespace {

// A long step shows it moves at least this often (and at most this often, so it costs little).
constexpr std::uint32_t kProgressIntervalMs = 250;

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

// A failure the archive component or an engine reported, in a user's words; empty for warnings
// after which the work went on.
std::string DescribeArchiveFailure(const ArchiveFailure& failure) {
  const int code = failure.code;
  if (code == 0 || code == 1 || code == kArchiveStructureWarning ||
      code == kArchiveGarbageWarning) {
    return {};
  }
  if (code == kEngineErrorUnsafeName && !failure.entry.empty()) {
    return failure.entry + ": unsafe name refused";
  }
  // A full disk reads the same as everywhere else.
  if (failure.system_error == ENOSPC) return SystemErrorText(ENOSPC);
  return failure.message;
}

std::string SizeText(std::uint64_t bytes) {
  if (bytes < (1 << 20)) return std::to_string((bytes + 1023) >> 10) + " KiB";
  return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MiB";
}

}  // namespace

void PatchJob::EntryDone(int done, int total, int gauge_from, int gauge_to) {
  const std::uint32_t now = platform::TickCount();
  if (done < total && now - last_progress_ms_ < kProgressIntervalMs) return;
  last_progress_ms_ = now;
  if (interactive_) {
    context_.sink.ConsoleProgress(context_.texts.Text(TextId::kArchiveEntries) + " " +
                                  std::to_string(done) + " / " + std::to_string(total));
  } else if (done < total && gauge_to > gauge_from + 1) {
    // Strictly inside the step's range: the step's own end value follows when it is done.
    Gauge(gauge_from + 1 + (gauge_to - gauge_from - 1) * done / total);
  }
}

void PatchJob::WatchArchive(std::uint64_t byte_limit, int gauge_from, int gauge_to) {
  TArchiver& zip = context_.Zip;
  archive_failure_.clear();
  zip.OnFailure = [this](const ArchiveFailure& failure) {
    if (archive_failure_.empty()) archive_failure_ = DescribeArchiveFailure(failure);
  };
  zip.OnCRC32Error = [this](const std::string& entry, std::uint32_t, std::uint32_t, bool& extract) {
    extract = false;  // damaged data never reaches the game
    if (archive_failure_.empty()) archive_failure_ = entry + ": damaged (checksum)";
  };
  auto written = std::make_shared<std::uint64_t>(0);
  auto entries = std::make_shared<std::pair<int, int>>(0, 0);  // done, total
  last_progress_ms_ = platform::TickCount();
  zip.OnProgress = [this, &zip, written, entries, byte_limit, gauge_from, gauge_to](
                       ProgressType kind, const std::string&, std::int64_t size) {
    if (kind == ProgressType::TotalFiles2Process) *entries = {0, static_cast<int>(size)};
    if (kind == ProgressType::NewFile) {
      Step("archive entry");
      auto& [done, total] = *entries;
      if (total > 0 && done < total) EntryDone(++done, total, gauge_from, gauge_to);
    }
    if (kind != ProgressType::ProgressUpdate || byte_limit == 0 || size < 0) return;
    *written += static_cast<std::uint64_t>(size);
    if (*written > byte_limit && !zip.Cancel()) {
      // The directory understated the sizes; stop before the disk fills.
      archive_failure_ = "the archive unpacks to more than its directory says; unpacking stopped";
      zip.SetCancel(true);
    }
  };
}

void PatchJob::StopWatchingArchive() {
  TArchiver& zip = context_.Zip;
  zip.OnFailure = nullptr;
  zip.OnCRC32Error = nullptr;
  zip.OnProgress = nullptr;
  zip.SetCancel(false);
}

bool PatchJob::Unpack(const std::string& archive, const std::string& folder) {
  TArchiver& zip = context_.Zip;
  WatchArchive(0);
  zip.SetZipFileName(archive);
  const int files = zip.Count();
  // Not a readable archive, or nothing in it.
  if (files == 0 || zip.ErrCode() != 0) {
    StopWatchingArchive();
    if (archive_failure_.empty() && zip.ErrCode() != 0) {
      archive_failure_ = DescribeArchiveFailure({zip.ErrCode(), 0, "", zip.Message()});
    }
    if (archive_failure_.empty()) archive_failure_ = "the archive holds no files";
    return false;
  }
  // An archive bomb is refused from its directory, before anything is written.
  std::uint64_t total = 0;
  for (const ZipDirEntry& entry : zip.ZipContents()) total += entry.UncompressedSize;
  const auto packed =
      static_cast<std::uint64_t>(std::max<std::int64_t>(platform::FileSizeOf(archive), 1));
  if (total > kUnpackCeiling || (total > kUnpackRatioFloor && total / packed > kUnpackRatioLimit)) {
    StopWatchingArchive();
    archive_failure_ = "the archive would unpack to " + SizeText(total) + " (" + SizeText(packed) +
                       " packed); at most " + SizeText(kUnpackCeiling) + " in all and " +
                       std::to_string(kUnpackRatioLimit) + " times the packed size are allowed";
    return false;
  }
  WatchArchive(total, 15, 25);
  zip.SetExtrBaseDir(WithSeparator(folder));
  zip.FSpecArgs().clear();
  zip.FSpecArgs().push_back("*.*");
  const bool ok = zip.Extract() == 0 && zip.SuccessCnt() == files && archive_failure_.empty();
  StopWatchingArchive();
  if (!ok && archive_failure_.empty()) {
    archive_failure_ = "not every file of the archive could be unpacked";
  }
  return ok;
}

void PatchJob::NoteFolderEntries(const std::string& jar) {
  TArchiver& zip = context_.Zip;
  folder_entries_ = {};
  if (zip.DirOnlyCount() == 0) return;
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
  folder_entries_.listed = !listed.empty();
  std::set_difference(used.begin(), used.end(), listed.begin(), listed.end(),
                      std::back_inserter(folder_entries_.unlisted));
}

bool PatchJob::PackAndVerify(const std::string& target, const std::string& original) {
  WatchArchive(0, 75, 90);
  const bool ok = PackAndVerifyWatched(target, original);
  StopWatchingArchive();
  if (!ok && archive_failure_.empty()) archive_failure_ = "the new JAR did not read back whole";
  return ok;
}

bool PatchJob::PackAndVerifyWatched(const std::string& target, const std::string& original) {
  TArchiver& zip = context_.Zip;
  platform::DeleteFile(target);  // a leftover would be updated instead of made anew
  zip.SetZipFileName(target);
  zip.SetRootDir(WithSeparator(work_dir_));
  zip.FSpecArgs().clear();
  zip.FSpecArgs().push_back("*.*");
  zip.FSpecArgsExcl() = folder_entries_.unlisted;
  const AddOpts add_options = zip.AddOptions();
  AddOpts folders = add_options;
  if (folder_entries_.listed) {
    folders.Include(AddOptsEnum::AddSeparateDirs);
  } else {
    folders.Exclude(AddOptsEnum::AddSeparateDirs);
  }
  zip.SetAddOptions(folders);
  zip.SetReferenceZip(original);
  const int added = zip.Add();
  zip.SetReferenceZip({});
  zip.SetAddOptions(add_options);
  if (added != 0 || !platform::FileExists(target)) {
    if (archive_failure_.empty()) archive_failure_ = "the new JAR could not be written";
    return false;
  }

  // Read the new archive back: it must list every file of the work folder, and each must test
  // good.
  zip.SetZipFileName(target);
  std::set<std::string> packed;
  for (const ZipDirEntry& entry : zip.ZipContents()) packed.insert(entry.FileName);
  std::set<std::string> expected;
  CollectFiles(work_dir_, "", expected);
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

}  // namespace korvel
