// The patch job, step by step.
#include "pipeline/PatchJob.h"

#include <optional>
#include <set>

#include "archive/ZipMstr.h"
#include "payload/ProgramStore.h"
#include "pipeline/ClassFile.h"
#include "pipeline/ClassPatcher.h"
#include "pipeline/FullScreenClass.h"
#include "pipeline/ManifestRewrite.h"
#include "platform/Directory.h"
#include "platform/FileError.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "search/EasyFileSearch.h"
#include "store/mxStorage.h"

namespace korvel {

namespace {

constexpr int kDefaultWidth = 128;
constexpr int kDefaultHeight = 116;

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

bool PatchJob::Unpack(const std::string& archive, const std::string& folder) {
  TZipMaster& zip = context_.Zip;
  zip.SetZipFileName(archive);
  const int files = zip.Count();
  // Not a readable archive, or nothing in it: the component has said so already.
  if (files == 0 || zip.ErrCode() != 0) return false;
  zip.SetExtrBaseDir(WithSeparator(folder));
  zip.FSpecArgs().clear();
  zip.FSpecArgs().push_back("*.*");
  return zip.Extract() == 0 && zip.SuccessCnt() == files;
}

bool PatchJob::PackAndVerify(const std::string& target) {
  TZipMaster& zip = context_.Zip;
  platform::DeleteFile(target);  // a leftover would be updated instead of made anew
  zip.SetZipFileName(target);
  zip.SetRootDir(WithSeparator(work_dir_));
  zip.FSpecArgs().clear();
  zip.FSpecArgs().push_back("*.*");
  if (zip.Add() != 0 || !platform::FileExists(target)) return false;

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
  if (!unpacked) throw JobError("The Nokia compatibility classes could not be unpacked.");
}

void PatchJob::ClearWorkDirectory() {
  platform::SetCurrentDirectory(context_.program_dir);
  Scan(1, "*.*");
  DeleteDirTree(work_dir_);
}

JobOutcome PatchJob::ProcessJar(const std::string& file_name, bool interactive) {
  interactive_ = interactive;
  const std::string& program_dir = context_.program_dir;
  work_dir_ = WorkDirectory(program_dir);

  // The work folder and the temporary names are the program's own: one job at a time.
  platform::FileLock lock(JobLockPath(program_dir));
  if (!lock.Held()) {
    throw JobError(
        "Another game is being adapted right now, in this window or another copy of the "
        "program. Try again when it has finished.");
  }

  Settings& settings = context_.settings;
  Console(TextId::kInitializing);
  Gauge(0);
  if (settings.ResW < 1 || settings.ResW > 255) settings.ResW = kDefaultWidth;
  if (settings.ResH < 1 || settings.ResH > 255) settings.ResH = kDefaultHeight;

  // An older backup is never overwritten.
  const std::string backup = BackupPath(file_name);
  const bool made_backup = platform::CopyFileNoOverwrite(file_name, backup);
  Gauge(5);

  platform::SetCurrentDirectory(program_dir);
  if (platform::DirectoryExists(work_dir_) || platform::FileExists(work_dir_)) {
    DeleteDirTree(work_dir_);
  }
  platform::CreateDirectory(work_dir_);
  Gauge(10);
  Gauge(15);

  Console(TextId::kExtractingFiles);
  if (!Unpack(file_name, work_dir_)) {
    // Nothing to adapt: leave the game exactly as it was.
    DeleteDirTree(work_dir_);
    if (made_backup) platform::DeleteFile(backup);
    Console(TextId::kJarNotCreated);
    Gauge(100);
    return JobOutcome::kFailed;
  }
  Gauge(25);

  if (settings.Nokia) {
    Scan(3, "*.class");
    if (ScanCount > 0) {
      Console(TextId::kWritingNokiaClasses);
      platform::SetCurrentDirectory(program_dir);
      AddNokiaClasses();
    } else {
      Console(TextId::kNokiaFunctionsNotUsed);
    }
  }
  Gauge(30);

  Console(TextId::kPatchingFiles);
  UsesFullCanvas = UsesFullGameCanvas = false;
  Scan(2, "*.class");
  ConsoleText(context_.texts.Text(TextId::kFilesPatchedCount) + " " + std::to_string(ScanCount));
  Gauge(60);

  if (!UsesFullCanvas && !UsesFullGameCanvas) {
    // Nothing would draw full-screen: the game stays exactly as it came.
    ClearWorkDirectory();
    if (made_backup) platform::DeleteFile(backup);
    Console(TextId::kNoCanvasFound);
    Gauge(100);
    return JobOutcome::kUnchanged;
  }

  Console(TextId::kWritingFullscreenClass);
  const auto width = static_cast<std::uint8_t>(settings.ResW);
  const auto height = static_cast<std::uint8_t>(settings.ResH);
  WriteFullScreenClass(context_.storeClass, work_dir_, width, height);
  if (UsesFullGameCanvas) {
    WriteCanvasClass(context_.storeClass, work_dir_, kFullGameCanvasClass, width, height);
  }
  platform::SetCurrentDirectory(program_dir);
  Gauge(65);

  // The descriptor is prepared on a copy and takes the place of the user's only together with
  // the new JAR, so that a failed job leaves both as they were.
  const std::string descriptor = DescriptorPath(file_name);
  const std::string staged_jad = platform::JoinPath(program_dir, "staged.jad");
  platform::DeleteFile(staged_jad);
  const std::optional<std::string> manifest =
      platform::ResolvePathIgnoringCase(work_dir_, "Meta-inf/Manifest.mf");
  const bool have_manifest = manifest && platform::FileExists(*manifest);
  bool have_jad = false;
  if (platform::FileExists(descriptor)) {
    have_jad = platform::CopyFileNoOverwrite(descriptor, staged_jad);
  } else if (settings.Jad && have_manifest) {
    have_jad = platform::CopyFileNoOverwrite(*manifest, staged_jad);
  }
  Gauge(70);

  if (settings.FilterAttr) {
    if (have_jad) FilterAttributes(staged_jad);
    if (have_manifest) FilterAttributes(*manifest);
  }
  Gauge(75);

  // The new JAR is made beside the old one and takes its place only once it reads back whole,
  // and only while a backup of the original stands beside it.
  Console(TextId::kCreatingJar);
  platform::SetCurrentDirectory(program_dir);
  const std::string packed_jar = file_name + ".korvel-new";
  const bool packed = PackAndVerify(packed_jar) && platform::FileExists(backup) &&
                      platform::ReplaceFile(packed_jar, file_name);
  if (!packed) platform::DeleteFile(packed_jar);
  Gauge(90);

  if (packed && settings.Jad) {
    if (have_jad) {
      Console(TextId::kCreatingJad);
      UpdateDescriptor(staged_jad, GetFileSizeOf(file_name), platform::FileNamePart(file_name));
    } else {
      Console(TextId::kCouldNotCreateJad);
    }
  }
  if (packed && have_jad && (settings.Jad || settings.FilterAttr)) {
    try {
      SaveTextFile(descriptor, platform::ReadWholeFile(staged_jad));
    } catch (const FileError&) {
      // The staged copy vanished: the user's descriptor simply stays as it was.
    }
  }
  platform::DeleteFile(staged_jad);
  Gauge(95);

  Console(TextId::kClearingTempDir);
  ClearWorkDirectory();
  Gauge(99);

  const bool result = packed && platform::FileExists(file_name);
  if (result) {
    if (!settings.Backup) platform::DeleteFile(backup);
    Console(TextId::kWorkFinished);
  } else {
    // The original never left its place; a backup made for this job has no use.
    if (made_backup) platform::DeleteFile(backup);
    Console(TextId::kJarNotCreated);
    Console(TextId::kOriginalFileRecovered);
  }
  Gauge(100);
  return result ? JobOutcome::kAdapted : JobOutcome::kFailed;
}

}  // namespace korvel
