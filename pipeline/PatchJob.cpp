// The patch job, step by step.
#include "pipeline/PatchJob.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <set>

#include "archive/Archiver.h"
#include "payload/ProgramStore.h"
#include "pipeline/ClassFile.h"
#include "pipeline/ClassPatcher.h"
#include "pipeline/FullScreenClass.h"
#include "pipeline/ManifestRewrite.h"
#include "platform/Directory.h"
#include "platform/FileError.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "platform/Time.h"
#include "search/EasyFileSearch.h"
#include "store/StoredItems.h"

namespace korvel {

namespace {

constexpr int kDefaultWidth = 128;
constexpr int kDefaultHeight = 116;
// The descriptor is prepared under this name in the program directory.
constexpr std::string_view kStagedJadName = "staged.jad";
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

std::string WithSeparator(const std::string& folder) {
  return folder.empty() || folder.back() == platform::kPathSeparator
             ? folder
             : folder + platform::kPathSeparator;
}

// An error the archive component or an engine reported, in a user's words; empty for notes and
// warnings after which the work went on.
std::string DescribeArchiveMessage(int code, std::string message) {
  if (code == 0 || code == 1 || code == kArchiveStructureWarning ||
      code == kArchiveGarbageWarning) {
    return {};
  }
  // Engines name the system's reason; a full disk reads the same as everywhere else.
  const std::string full_disk = std::strerror(ENOSPC);
  if (const auto pos = message.find(full_disk); pos != std::string::npos) {
    message.replace(pos, full_disk.size(), SystemErrorText(ENOSPC));
  }
  constexpr std::string_view kRefused = "Refused ";
  if (code == 8) {
    // "Refused <entry>: <why>"
    const auto colon = message.find(": ", kRefused.size());
    const std::string entry = message.rfind(kRefused, 0) == 0 && colon != std::string::npos
                                  ? message.substr(kRefused.size(), colon - kRefused.size())
                                  : message;
    return entry + ": unsafe name refused";
  }
  return message;
}

std::string SizeText(std::uint64_t bytes) {
  if (bytes < (1 << 20)) return std::to_string((bytes + 1023) >> 10) + " KiB";
  return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MiB";
}

}  // namespace

std::string BackupPath(const std::string& jar) {
  return jar + ".bak";
}

std::string DescriptorPath(const std::string& jar) {
  const std::size_t name_start = jar.rfind(platform::kPathSeparator) + 1;  // npos + 1 == 0
  const std::size_t dot = jar.rfind('.');
  if (dot == std::string::npos || dot < name_start) return jar + ".jad";
  return jar.substr(0, dot) + ".jad";
}

std::string FindDescriptor(const std::string& jar) {
  const std::string usual = DescriptorPath(jar);
  if (platform::FileExists(usual)) return usual;
  const auto found =
      platform::ResolvePathIgnoringCase(platform::FolderPart(usual), platform::FileNamePart(usual));
  return found && platform::FileExists(*found) ? *found : usual;
}

std::optional<std::string> ReadOnlyRefusal(const std::string& jar) {
  if (!platform::IsReadOnly(jar)) return std::nullopt;
  return jar + "\nThis file is set read-only.\nTry again with a different file name.";
}

std::string WorkDirectory(const std::string& program_dir) {
  return platform::JoinPath(program_dir, "temp");
}

std::string JobLockPath(const std::string& program_dir) {
  return platform::JoinPath(program_dir, "korvel.lock");
}

void ApplyPatchJobSettings(TEasyFileSearch& fs) {
  fs.SetSearchOptions(TOptions::All().Exclude(okLookForDirectory));
  fs.SetFilterKind(TFilter());
}

PatchJob::PatchJob(JobContext context) : context_(std::move(context)) {
  context_.fs.OnFileFound = [this](const TFileInformations& file) { fsFileFound(file); };
}

bool PatchJob::DeleteDirTree(const std::string& folder) {
  return platform::RemoveTree(folder);
}

void PatchJob::fsFileFound(const TFileInformations& file) {
  const std::string path = file.Path + file.Name;
  switch (ScanMode) {
    case 1:
      platform::DeleteFile(path);
      break;
    case 2:
      RedirectCanvas(path);
      break;
    case 3:
      if (FileContainsText(path, kNokiaPackagePrefix)) ++ScanCount;
      break;
    default:
      break;
  }
}

void PatchJob::RedirectCanvas(const std::string& path) {
  try {
    switch (RedirectCanvasFile(path)) {
      case CanvasKind::kCanvas:
        ++ScanCount;
        [[fallthrough]];
      case CanvasKind::kFullCanvas:
        UsesFullCanvas = true;
        break;
      case CanvasKind::kGameCanvas:
        ++ScanCount;
        [[fallthrough]];
      case CanvasKind::kFullGameCanvas:
        UsesFullGameCanvas = true;
        break;
      case CanvasKind::kOther:
        break;
    }
  } catch (const ClassFormatError& e) {
    const std::string root = WithSeparator(work_dir_);
    const std::string name = path.rfind(root, 0) == 0 ? path.substr(root.size()) : path;
    ConsoleText(context_.texts.Text(TextId::kClassNotRead) + " " + name + " (" + e.what() + ")");
  }
}

void PatchJob::ConsoleText(const std::string& line) {
  if (interactive_) context_.sink.ConsoleLine(line);
}

void PatchJob::Gauge(int percent) {
  Step("gauge");
  if (!interactive_) context_.sink.SetGauge(percent);
}

void PatchJob::Scan(int mode, std::string_view mask) {
  ScanMode = mode;
  ScanCount = 0;
  TEasyFileSearch& fs = context_.fs;
  fs.SetRootPath(WithSeparator(work_dir_));
  fs.FileNames().clear();
  fs.FileNames().emplace_back(mask);
  fs.Search();
}

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
  zip.OnMessage = [this](int code, const std::string& message) {
    if (archive_failure_.empty()) archive_failure_ = DescribeArchiveMessage(code, message);
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
  zip.OnMessage = nullptr;
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
      archive_failure_ = DescribeArchiveMessage(zip.ErrCode(), zip.Message());
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

bool PatchJob::PackAndVerify(const std::string& target) {
  WatchArchive(0, 75, 90);
  const bool ok = PackAndVerifyWatched(target);
  StopWatchingArchive();
  if (!ok && archive_failure_.empty()) archive_failure_ = "the new JAR did not read back whole";
  return ok;
}

bool PatchJob::PackAndVerifyWatched(const std::string& target) {
  TArchiver& zip = context_.Zip;
  platform::DeleteFile(target);  // a leftover would be updated instead of made anew
  zip.SetZipFileName(target);
  zip.SetRootDir(WithSeparator(work_dir_));
  zip.FSpecArgs().clear();
  zip.FSpecArgs().push_back("*.*");
  if (zip.Add() != 0 || !platform::FileExists(target)) {
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

void PatchJob::AddNokiaClasses() {
  const std::string archive = platform::JoinPath(context_.program_dir, kNokiaArchiveItem);
  SaveStoredItem(context_.storeClass, kNokiaArchiveItem, archive);
  const bool unpacked = Unpack(archive, work_dir_);
  platform::DeleteFile(archive);
  if (!unpacked) {
    throw JobFailure("The Nokia compatibility classes could not be unpacked: " + archive_failure_);
  }
}

void PatchJob::ClearWorkDirectory() {
  Scan(1, "*.*");
  DeleteDirTree(work_dir_);
}

void PatchJob::RemoveProgramLeftovers() {
  const std::string& program_dir = context_.program_dir;
  platform::DeleteFile(platform::JoinPath(program_dir, kNokiaArchiveItem));
  // The staged descriptor and the temporary files of its rewrites.
  platform::DirectoryReader reader(program_dir);
  platform::DirEntry entry;
  while (reader.Next(entry)) {
    if (entry.Name == kStagedJadName ||
        entry.Name.rfind("." + std::string(kStagedJadName), 0) == 0) {
      platform::DeleteFile(platform::JoinPath(program_dir, entry.Name));
    }
  }
}

JobOutcome PatchJob::Preview(const std::string& file_name, JobPreview& preview) {
  dry_run_ = true;
  preview_ = {};
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{dry_run_};
  const JobOutcome outcome = ProcessJar(file_name, true);
  preview = preview_;
  preview.classes_redirected = classes_redirected_;
  preview.nokia = nokia_added_;
  preview.adapted_size = adapted_size_;
  return outcome;
}

JobOutcome PatchJob::Fail(GameTransaction& game, const std::string& reason) {
  if (!dry_run_) game.Discard();
  platform::DeleteFile(platform::JoinPath(context_.program_dir, kStagedJadName));
  if (platform::DirectoryExists(work_dir_)) {
    Console(TextId::kClearingTempDir);
    ClearWorkDirectory();
  }
  failure_ = reason;
  ConsoleText(reason);
  Console(TextId::kJarNotCreated);
  Console(TextId::kOriginalFileRecovered);
  Gauge(100);
  return JobOutcome::kFailed;
}

JobOutcome PatchJob::ProcessJar(const std::string& file_name, bool interactive) {
  interactive_ = interactive;
  failure_.clear();
  classes_redirected_ = 0;
  nokia_added_ = false;
  adapted_size_.reset();
  const std::string& program_dir = context_.program_dir;
  work_dir_ = WorkDirectory(program_dir);

  // The work folder and the temporary names are the program's own: one job at a time.
  platform::FileLock lock(JobLockPath(program_dir));
  if (!lock.Held()) {
    throw JobError(
        "Another game is being adapted right now, in this window or another copy of the "
        "program. Try again when it has finished.");
  }

  // Every path is fixed here, once: the job never changes the current folder.
  const std::string jar = platform::AbsolutePath(file_name);
  GameTransaction game(jar, OnStep);
  JobOutcome outcome;
  try {
    outcome = RunJob(game);
  } catch (const std::exception& error) {
    return Fail(game, error.what());
  }
  if (outcome == JobOutcome::kUnchanged) {
    if (!dry_run_) game.Discard();
    Console(TextId::kNoCanvasFound);
  } else if (outcome == JobOutcome::kAlreadyAdapted) {
    if (!dry_run_) game.Discard();
    ConsoleText(context_.texts.Text(TextId::kAlreadyAdapted) + " " +
                std::to_string(adapted_size_->width) + "x" + std::to_string(adapted_size_->height));
  } else {
    Console(TextId::kWorkFinished);
  }
  Gauge(100);
  return outcome;
}

JobOutcome PatchJob::RunJob(GameTransaction& game) {
  const std::string& program_dir = context_.program_dir;
  const std::string& jar = game.Jar();
  Settings& settings = context_.settings;
  Console(TextId::kInitializing);
  Gauge(0);
  if (settings.ResW < 1 || settings.ResW > 255) settings.ResW = kDefaultWidth;
  if (settings.ResH < 1 || settings.ResH > 255) settings.ResH = kDefaultHeight;

  RemoveProgramLeftovers();
  if (!dry_run_) {
    const std::string recovered = game.Recover();
    if (!recovered.empty()) ConsoleText(recovered);
  }
  RefuseUnwritable(game);
  Gauge(5);

  if (platform::DirectoryExists(work_dir_) || platform::FileExists(work_dir_)) {
    DeleteDirTree(work_dir_);
  }
  platform::CreateDirectory(work_dir_);
  Gauge(10);
  Gauge(15);

  Console(TextId::kExtractingFiles);
  if (!Unpack(jar, work_dir_)) throw JobFailure(archive_failure_);
  // Rewriting a game that is already what this run would make only risks it.
  adapted_size_ = InjectedCanvasSize(work_dir_);
  if (adapted_size_ && *adapted_size_ == CanvasSize{settings.ResW, settings.ResH}) {
    Console(TextId::kClearingTempDir);
    ClearWorkDirectory();
    return JobOutcome::kAlreadyAdapted;
  }
  Gauge(25);

  if (settings.Nokia) {
    Scan(3, "*.class");
    if (ScanCount > 0) {
      Console(TextId::kWritingNokiaClasses);
      AddNokiaClasses();
      nokia_added_ = true;
    } else {
      Console(TextId::kNokiaFunctionsNotUsed);
    }
  }
  Gauge(30);

  Console(TextId::kPatchingFiles);
  UsesFullCanvas = UsesFullGameCanvas = false;
  Scan(2, "*.class");
  classes_redirected_ = ScanCount;
  ConsoleText(context_.texts.Text(TextId::kFilesPatchedCount) + " " + std::to_string(ScanCount));
  Gauge(60);

  if (dry_run_) return EndPreview(game);
  if (!UsesFullCanvas && !UsesFullGameCanvas) {
    // Nothing would draw full-screen: the game stays exactly as it came.
    Console(TextId::kClearingTempDir);
    ClearWorkDirectory();
    return JobOutcome::kUnchanged;
  }

  Console(TextId::kWritingFullscreenClass);
  const auto width = static_cast<std::uint8_t>(settings.ResW);
  const auto height = static_cast<std::uint8_t>(settings.ResH);
  WriteFullScreenClass(context_.storeClass, work_dir_, width, height);
  if (UsesFullGameCanvas) {
    WriteCanvasClass(context_.storeClass, work_dir_, kFullGameCanvasClass, width, height);
  }
  Gauge(65);

  // The descriptor is prepared on a copy in the program directory and staged beside the game
  // only when complete.
  const std::string descriptor = game.Descriptor();
  const std::string staged_jad = platform::JoinPath(program_dir, kStagedJadName);
  const std::optional<std::string> manifest =
      platform::ResolvePathIgnoringCase(work_dir_, "Meta-inf/Manifest.mf");
  const bool have_manifest = manifest && platform::FileExists(*manifest);
  const bool jad_changes = settings.Jad || settings.FilterAttr;
  bool have_jad = false;
  if (game.HasDescriptor() && jad_changes) {
    if (!platform::CopyFileNoOverwrite(descriptor, staged_jad)) {
      throw JobFailure("Cannot read the descriptor \"" + descriptor +
                       "\": " + SystemErrorText(errno));
    }
    have_jad = true;
  } else if (!game.HasDescriptor() && settings.Jad && have_manifest) {
    if (!platform::CopyFileNoOverwrite(*manifest, staged_jad)) {
      throw JobFailure("Cannot make the descriptor from the manifest: " + SystemErrorText(errno));
    }
    have_jad = true;
  }
  Gauge(70);

  if (settings.FilterAttr) {
    if (have_jad && !FilterAttributes(staged_jad)) {
      throw JobFailure("Cannot filter the descriptor \"" + descriptor + "\"");
    }
    if (have_manifest && !FilterAttributes(*manifest)) {
      throw JobFailure("Cannot filter the manifest of the game");
    }
  }
  Gauge(75);

  // The new JAR is made beside the old one and read back whole before anything is replaced.
  Console(TextId::kCreatingJar);
  if (!PackAndVerify(game.NewJar())) throw JobFailure(archive_failure_);
  Gauge(90);

  if (settings.Jad) {
    if (have_jad) {
      Console(TextId::kCreatingJad);
      if (!UpdateDescriptor(staged_jad, GetFileSizeOf(game.NewJar()),
                            platform::FileNamePart(jar))) {
        throw JobFailure("Cannot update the descriptor \"" + descriptor + "\"");
      }
    } else {
      Console(TextId::kCouldNotCreateJad);
    }
  }
  if (have_jad) {
    game.StageDescriptor(platform::ReadWholeFile(staged_jad));
    platform::DeleteFile(staged_jad);
  }
  // JAR and JAD take their places together.
  game.Commit(settings.Backup);
  Gauge(95);

  Console(TextId::kClearingTempDir);
  ClearWorkDirectory();
  Gauge(99);
  return JobOutcome::kAdapted;
}

JobOutcome PatchJob::EndPreview(const GameTransaction& game) {
  const Settings& settings = context_.settings;
  if (const auto manifest = platform::ResolvePathIgnoringCase(work_dir_, "Meta-inf/Manifest.mf")) {
    preview_.manifest_dropped = DroppedAttributes(*manifest, settings.FilterAttr, false);
  }
  if (game.HasDescriptor()) {
    preview_.signed_suite = !DroppedAttributes(game.Descriptor(), false, true).empty();
    if (settings.Jad || settings.FilterAttr) {
      preview_.jad_dropped =
          DroppedAttributes(game.Descriptor(), settings.FilterAttr, settings.Jad);
    }
  }
  Console(TextId::kClearingTempDir);
  ClearWorkDirectory();
  return UsesFullCanvas || UsesFullGameCanvas ? JobOutcome::kAdapted : JobOutcome::kUnchanged;
}

void PatchJob::RefuseUnwritable(const GameTransaction& game) const {
  if (auto refusal = ReadOnlyRefusal(game.Jar())) throw JobFailure(*refusal);
  const Settings& settings = context_.settings;
  if (game.HasDescriptor() && (settings.Jad || settings.FilterAttr) &&
      platform::IsReadOnly(game.Descriptor())) {
    throw JobFailure(game.Descriptor() +
                     "\nThe descriptor is set read-only, so it could not be renewed with the "
                     "JAR.\nMake it writable and try again.");
  }
}

}  // namespace korvel
