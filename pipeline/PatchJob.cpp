// The patch job, step by step.
#include "pipeline/PatchJob.h"

#include <cerrno>
#include <optional>

#include "archive/Archiver.h"
#include "payload/ProgramStore.h"
#include "pipeline/ClassFile.h"
#include "pipeline/ClassPatcher.h"
#include "pipeline/FullScreenClass.h"
#include "pipeline/JobComponents.h"
#include "pipeline/ManifestRewrite.h"
#include "platform/Directory.h"
#include "platform/FileError.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "search/EasyFileSearch.h"
#include "settings/Locations.h"
#include "store/StoredItems.h"

namespace korvel {

namespace {

constexpr int kDefaultWidth = 128;
constexpr int kDefaultHeight = 116;
// The descriptor is prepared under this name in the program directory.
constexpr std::string_view kStagedJadName = "staged.jad";
// A preview packs the JAR a run would make under this name there, to learn its size.
constexpr std::string_view kPreviewJarName = "preview.jar";

}  // namespace

std::string PatchJob::WithSeparator(const std::string& folder) {
  return folder.empty() || folder.back() == platform::kPathSeparator
             ? folder
             : folder + platform::kPathSeparator;
}

std::string WorkDirectory(const std::string& program_dir) {
  return platform::JoinPath(program_dir, "temp");
}

std::string JobLockPath(const std::string& program_dir) {
  return platform::JoinPath(program_dir, "korvel.lock");
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
    case ScanAction::kRedirect: {
      OpenedClassFile opened(path);
      RedirectCanvas(path, opened);
      opened.Close();
      break;
    }
    case ScanAction::kClasses:
      ScanClass(path);
      break;
    case ScanAction::kKeyFacts: {
      OpenedClassFile opened(path);
      const std::string& bytes = opened.Bytes();
      opened.Close();
      if (bytes.find(kNokiaPackagePrefix) != std::string::npos) nokia_package_user_ = true;
      try {
        ClassKeyFacts facts = ReadClassKeyFacts(bytes);
        if (facts.name.rfind(kNokiaPackagePrefix, 0) != 0 &&
            bytes.find("com/nokia/mid/ui/") != std::string::npos) {
          nokia_ui_user_ = true;
        }
        key_facts_.push_back(std::move(facts));
      } catch (const ClassFormatError&) {
        // The redirect names it on the Console and leaves it as it is.
      }
      break;
    }
    case ScanAction::kNone:
      break;
  }
}

void PatchJob::ScanClass(const std::string& path) {
  OpenedClassFile opened(path);
  const bool nokia = context_.settings.Nokia;
  if (nokia && opened.Contains(kNokiaPackagePrefix)) ++nokia_users_;
  // The Nokia classes may yet be added over a class of their package; it is redirected once
  // they are in.
  if (!nokia || path.rfind(WithSeparator(NokiaPackageFolder()), 0) != 0) {
    RedirectCanvas(path, opened);
  }
  opened.Close();
}

void PatchJob::RedirectCanvas(const std::string& path, OpenedClassFile& file) {
  try {
    const CanvasKind kind = file.Redirect(keys_.active);
    if (keys_.active) file.RenameKeyHandlers(keys_.canvases);
    switch (kind) {
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
    report_.warnings.push_back(context_.texts.Text(TextId::kClassNotRead) + " " + name + " (" +
                               e.what() + ")");
  }
}

std::string PatchJob::NokiaPackageFolder() const {
  // The package prefix without its closing separator.
  return platform::JoinPath(work_dir_,
                            kNokiaPackagePrefix.substr(0, kNokiaPackagePrefix.size() - 1));
}

void PatchJob::ConsoleText(const std::string& line) {
  if (interactive_) context_.sink.ConsoleLine(line);
}

void PatchJob::Gauge(int percent) {
  Step("gauge");
  if (!interactive_) context_.sink.SetGauge(percent);
}

void PatchJob::Scan(ScanAction action, std::string_view mask, const std::string& folder) {
  ScanMode = action;
  ScanCount = 0;
  TEasyFileSearch& fs = context_.fs;
  fs.SetRootPath(WithSeparator(folder));
  fs.FileNames().clear();
  fs.FileNames().emplace_back(mask);
  fs.Search();
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
  // One walk removes files and folders alike.
  DeleteDirTree(work_dir_);
}

void PatchJob::RemoveProgramLeftovers() {
  const std::string& program_dir = context_.program_dir;
  platform::DeleteFile(platform::JoinPath(program_dir, kNokiaArchiveItem));
  // The staged descriptor and the temporary files of its rewrites.
  platform::DirectoryReader reader(program_dir);
  platform::DirEntry entry;
  while (reader.Next(entry)) {
    // The preview JAR, and the packing engine's temporary files beside it.
    if (entry.Name == kStagedJadName ||
        entry.Name.rfind("." + std::string(kStagedJadName), 0) == 0 ||
        entry.Name.rfind(kPreviewJarName, 0) == 0) {
      platform::DeleteFile(platform::JoinPath(program_dir, entry.Name));
    }
  }
}

JobOutcome PatchJob::Preview(const std::string& file_name) {
  return Execute(file_name, true, &PatchJob::RunPreview);
}

JobOutcome PatchJob::Fail(const std::string& reason) {
  platform::DeleteFile(platform::JoinPath(context_.program_dir, kStagedJadName));
  if (platform::DirectoryExists(work_dir_)) {
    Console(TextId::kClearingTempDir);
    ClearWorkDirectory();
  }
  report_.reason = reason;
  ConsoleText(reason);
  Console(TextId::kJarNotCreated);
  Console(TextId::kOriginalFileRecovered);
  Gauge(100);
  return JobOutcome::kFailed;
}

JobOutcome PatchJob::ProcessJar(const std::string& file_name, bool interactive) {
  return Execute(file_name, interactive, &PatchJob::RunJob);
}

JobOutcome PatchJob::Execute(const std::string& file_name, bool interactive, Steps steps) {
  interactive_ = interactive;
  report_ = {};
  const std::string& program_dir = context_.program_dir;
  work_dir_ = WorkDirectory(program_dir);
  // Every front end's jobs start here, so the job's folder is made here.
  PrepareJobDirectory(program_dir);

  // The work folder and the temporary names are the program's own: one job at a time.
  platform::FileLock lock(JobLockPath(program_dir));
  if (!lock.Held()) {
    throw JobError(
        "Another game is being adapted right now, in this window or another copy of the "
        "program. Try again when it has finished.");
  }

  // Every path is fixed here, once: the job never changes the current folder.
  const std::string jar = platform::AbsolutePath(file_name);
  report_.size_before = platform::FileSizeOf(jar);
  GameTransaction game(jar, OnStep);
  JobOutcome outcome;
  try {
    outcome = (this->*steps)(game);
  } catch (const std::exception& error) {
    outcome = Fail(error.what());
    EndReport(outcome, jar);
    return outcome;
  }
  if (outcome == JobOutcome::kUnchanged) {
    Console(TextId::kNoCanvasFound);
  } else if (outcome == JobOutcome::kAlreadyAdapted) {
    ConsoleText(context_.texts.Text(TextId::kAlreadyAdapted) + " " +
                SizeText(*report_.adapted_size));
  } else {
    Console(TextId::kWorkFinished);
  }
  Gauge(100);
  EndReport(outcome, jar);
  return outcome;
}

void PatchJob::EndReport(JobOutcome outcome, const std::string& jar) {
  report_.outcome = outcome;
  if (outcome == JobOutcome::kUnchanged) {
    report_.reason = context_.texts.Text(TextId::kNoCanvasToRedirect);
  } else if (outcome == JobOutcome::kAlreadyAdapted) {
    report_.reason = SizeText(*report_.adapted_size);
  }
  // A job tells the size it left; a preview the size a run would leave, which is the size now
  // unless it packed the JAR a run would make.
  if (!report_.preview) report_.size_after = platform::FileSizeOf(jar);
  if (report_.preview && report_.size_after < 0) report_.size_after = report_.size_before;
  if (platform::FileExists(BackupPath(jar))) report_.backup = BackupPath(jar);
}

std::optional<JobOutcome> PatchJob::RunWorkFolderSteps(GameTransaction& game) {
  PrepareWorkFolder(game);
  if (UnpackGame(game)) return JobOutcome::kAlreadyAdapted;
  ScanClasses();
  AddNokiaClassesWhenUsed();
  RedirectCanvasClasses();
  return std::nullopt;
}

JobOutcome PatchJob::RunPreview(GameTransaction& game) {
  // An interrupted earlier run is neither finished nor rolled back: that is the next run's.
  report_.preview = true;
  Prepare();
  if (const auto early = RunWorkFolderSteps(game)) return *early;
  return EndPreview(game);
}

JobOutcome PatchJob::RunJob(GameTransaction& game) {
  try {
    Prepare();
    const std::string recovered = game.Recover();
    if (!recovered.empty()) ConsoleText(recovered);
    const JobOutcome outcome = RunSteps(game);
    // A game left as it was keeps nothing of the run beside it.
    if (outcome != JobOutcome::kAdapted) game.Discard();
    return outcome;
  } catch (...) {
    game.Discard();
    throw;
  }
}

JobOutcome PatchJob::RunSteps(GameTransaction& game) {
  if (const auto early = RunWorkFolderSteps(game)) return *early;
  if (!UsesFullCanvas && !UsesFullGameCanvas) return LeaveUnchanged();
  WriteCanvasClasses();
  const TextFiles files = CopyDescriptor(game);
  FilterTextFiles(game, files);
  PackNewJar(game);
  RenewDescriptor(game, files);
  // JAR and JAD take their places together.
  game.Commit(context_.settings.Backup);
  Gauge(95);

  Console(TextId::kClearingTempDir);
  ClearWorkDirectory();
  Gauge(99);
  return JobOutcome::kAdapted;
}

void PatchJob::Prepare() {
  Settings& settings = context_.settings;
  Console(TextId::kInitializing);
  Gauge(0);
  if (settings.ResW < 1 || settings.ResW > 255) settings.ResW = kDefaultWidth;
  if (settings.ResH < 1 || settings.ResH > 255) settings.ResH = kDefaultHeight;
  RemoveProgramLeftovers();
}

void PatchJob::PrepareWorkFolder(const GameTransaction& game) {
  RefuseUnwritable(game);
  Gauge(5);

  if (platform::DirectoryExists(work_dir_) || platform::FileExists(work_dir_)) {
    DeleteDirTree(work_dir_);
  }
  platform::CreateDirectory(work_dir_);
  Gauge(10);
  Gauge(15);
}

bool PatchJob::UnpackGame(const GameTransaction& game) {
  const std::string& jar = game.Jar();
  const Settings& settings = context_.settings;
  Console(TextId::kExtractingFiles);
  if (!Unpack(jar, work_dir_)) throw JobFailure(archive_failure_);
  NoteFolderEntries(jar);
  PlanKeys();
  // Rewriting a game that is already what this run would make only risks it.
  report_.adapted_size = InjectedCanvasSize(work_dir_);
  const std::optional<KeyMapCodes> wanted_keys =
      keys_.active ? std::optional(keys_.map) : std::nullopt;
  // A JAD that does not match the JAR (a restore cut short by an older version, a JAD edited
  // by hand) is renewed by running on, so the pair is never called adapted as it is.
  const bool descriptor_matches =
      !settings.Jad || !game.HasDescriptor() || DescriptorMatches(game.Descriptor(), jar);
  if (report_.adapted_size && *report_.adapted_size == CanvasSize{settings.ResW, settings.ResH} &&
      InjectedKeyMap(context_.storeClass, work_dir_) == wanted_keys && descriptor_matches) {
    Console(TextId::kClearingTempDir);
    ClearWorkDirectory();
    return true;
  }
  Gauge(25);
  return false;
}

void PatchJob::PlanKeys() {
  keys_ = {};
  std::optional<KeyLayout> handset;
  try {
    handset = ParseKeyLayout(context_.settings.HandsetKeys);
  } catch (const KeyLayoutError&) {
    // The settings file's loader lets only layouts through; anything else means none.
  }
  const bool had_key_canvases = [this] {
    for (std::string_view path : {kFullKeyCanvasPath, kFullKeyGameCanvasPath, kKeyMapPath}) {
      if (platform::FileExists(platform::JoinPath(work_dir_, std::string(path)))) return true;
    }
    return false;
  }();
  // Without either, the game's keys are left alone and nothing is read for them.
  if (!handset && !had_key_canvases) return;

  key_facts_.clear();
  nokia_ui_user_ = nokia_package_user_ = false;
  Scan(ScanAction::kKeyFacts, "*.class", work_dir_);
  std::optional<KeyLayout> game;
  if (!context_.settings.GameKeys.empty()) {
    game = ParseKeyLayout(context_.settings.GameKeys);
  } else if (nokia_ui_user_) {
    game = KnownKeyLayouts()[0];  // the Nokia UI API's FullCanvas codes
  } else {
    game = LayoutFromComparedCodes(KeyHandlerComparisons(key_facts_));
  }
  const bool translated = handset && game && !(*handset == *game);
  keys_.active = translated || had_key_canvases;
  if (translated) {
    keys_.map = {handset->codes, game->codes};
  } else {
    // Key canvases from before that now translate nothing.
    const auto& codes = (game ? *game : handset ? *handset : KnownKeyLayouts()[0]).codes;
    keys_.map = {codes, codes};
  }
  if (keys_.active) {
    keys_.canvases = CanvasDescendants(key_facts_, context_.settings.Nokia && nokia_package_user_);
  }
  key_facts_.clear();
  report_.keys = JobReport::Keys{game ? game->name : "", KeyLayoutName(handset), translated};

  const Language& texts = context_.texts;
  std::string line = texts.Text(TextId::kGameKeys) + " " +
                     (game ? game->name : texts.Text(TextId::kKeysNotFound)) + ", " +
                     texts.Text(TextId::kHandsetKeysFound) + " " + KeyLayoutName(handset);
  if (translated) line += ", " + texts.Text(TextId::kKeysTranslated);
  ConsoleText(line);
}

void PatchJob::ScanClasses() {
  UsesFullCanvas = UsesFullGameCanvas = false;
  nokia_users_ = 0;
  Scan(ScanAction::kClasses, "*.class", work_dir_);
  report_.classes_redirected = ScanCount;
}

void PatchJob::AddNokiaClassesWhenUsed() {
  if (context_.settings.Nokia) {
    if (nokia_users_ > 0) {
      Console(TextId::kWritingNokiaClasses);
      AddNokiaClasses();
      report_.nokia = true;
    } else {
      Console(TextId::kNokiaFunctionsNotUsed);
    }
  }
  Gauge(30);
}

void PatchJob::RedirectCanvasClasses() {
  Console(TextId::kPatchingFiles);
  if (context_.settings.Nokia && platform::DirectoryExists(NokiaPackageFolder())) {
    Scan(ScanAction::kRedirect, "*.class", NokiaPackageFolder());
    report_.classes_redirected += ScanCount;
  }
  for (const std::string& line : report_.warnings) ConsoleText(line);
  ConsoleText(context_.texts.Text(TextId::kFilesPatchedCount) + " " +
              std::to_string(report_.classes_redirected));
  Gauge(60);
}

JobOutcome PatchJob::LeaveUnchanged() {
  Console(TextId::kClearingTempDir);
  ClearWorkDirectory();
  return JobOutcome::kUnchanged;
}

void PatchJob::WriteCanvasClasses() {
  Console(TextId::kWritingFullscreenClass);
  const auto width = static_cast<std::uint8_t>(context_.settings.ResW);
  const auto height = static_cast<std::uint8_t>(context_.settings.ResH);
  const auto remove_unused = [this](std::string_view class_path) {
    // Left by an earlier adaptation and no longer built on (a class that could not be read
    // might still be, so then it stays).
    if (!report_.warnings.empty()) return;
    const std::string path = platform::JoinPath(work_dir_, std::string(class_path));
    if (platform::DeleteFile(path)) platform::RemoveDirectory(platform::FolderPart(path));
  };
  for (const auto& [cls, used] : {std::pair{kFullCanvasClass, UsesFullCanvas},
                                  std::pair{kFullGameCanvasClass, UsesFullGameCanvas}}) {
    if (used) {
      WriteCanvasClass(context_.storeClass, work_dir_, cls, width, height);
    } else {
      remove_unused(cls.path);
    }
  }
  const bool keys = keys_.active && (UsesFullCanvas || UsesFullGameCanvas);
  if (keys) {
    WriteKeyClasses(context_.storeClass, work_dir_, UsesFullCanvas, UsesFullGameCanvas, keys_.map);
  }
  if (!keys || !UsesFullCanvas) remove_unused(kFullKeyCanvasPath);
  if (!keys || !UsesFullGameCanvas) remove_unused(kFullKeyGameCanvasPath);
  if (!keys) remove_unused(kKeyMapPath);
  Gauge(65);
}

PatchJob::TextFiles PatchJob::CopyDescriptor(const GameTransaction& game) {
  // The descriptor is prepared on a copy in the program directory and staged beside the game
  // only when complete.
  const Settings& settings = context_.settings;
  const std::string& descriptor = game.Descriptor();
  TextFiles files;
  files.staged_jad = platform::JoinPath(context_.program_dir, kStagedJadName);
  files.manifest = platform::ResolvePathIgnoringCase(work_dir_, "Meta-inf/Manifest.mf");
  if (files.manifest && !platform::FileExists(*files.manifest)) files.manifest.reset();
  if (game.HasDescriptor() && (settings.Jad || settings.FilterAttr)) {
    if (!platform::CopyFileNoOverwrite(descriptor, files.staged_jad)) {
      throw JobFailure("Cannot read the descriptor \"" + descriptor +
                       "\": " + SystemErrorText(errno));
    }
    files.have_jad = true;
  } else if (!game.HasDescriptor() && settings.Jad && files.manifest) {
    if (!platform::CopyFileNoOverwrite(*files.manifest, files.staged_jad)) {
      throw JobFailure("Cannot make the descriptor from the manifest: " + SystemErrorText(errno));
    }
    files.have_jad = true;
  }
  Gauge(70);
  return files;
}

void PatchJob::FilterTextFiles(const GameTransaction& game, const TextFiles& files) {
  if (context_.settings.FilterAttr) {
    if (files.have_jad && !FilterAttributes(files.staged_jad)) {
      throw JobFailure("Cannot filter the descriptor \"" + game.Descriptor() + "\"");
    }
    if (files.manifest && !FilterAttributes(*files.manifest)) {
      throw JobFailure("Cannot filter the manifest of the game");
    }
  }
  Gauge(75);
}

void PatchJob::PackNewJar(const GameTransaction& game) {
  // The new JAR is made beside the old one and read back whole before anything is replaced.
  Console(TextId::kCreatingJar);
  if (!PackAndVerify(game.NewJar(), game.Jar())) throw JobFailure(archive_failure_);
  Gauge(90);
}

void PatchJob::RenewDescriptor(GameTransaction& game, const TextFiles& files) {
  if (context_.settings.Jad) {
    if (files.have_jad) {
      Console(TextId::kCreatingJad);
      if (!UpdateDescriptor(files.staged_jad, GetFileSizeOf(game.NewJar()),
                            platform::FileNamePart(game.Jar()))) {
        throw JobFailure("Cannot update the descriptor \"" + game.Descriptor() + "\"");
      }
    } else {
      Console(TextId::kCouldNotCreateJad);
    }
  }
  if (files.have_jad) {
    game.StageDescriptor(platform::ReadWholeFile(files.staged_jad));
    platform::DeleteFile(files.staged_jad);
  }
}

JobOutcome PatchJob::EndPreview(const GameTransaction& game) {
  const Settings& settings = context_.settings;
  if (const auto manifest = platform::ResolvePathIgnoringCase(work_dir_, "Meta-inf/Manifest.mf")) {
    report_.manifest_dropped = DroppedAttributes(*manifest, settings.FilterAttr, false);
  }
  if (game.HasDescriptor()) {
    report_.signed_suite = !DroppedAttributes(game.Descriptor(), false, true).empty();
    if (settings.Jad || settings.FilterAttr) {
      report_.jad_dropped = DroppedAttributes(game.Descriptor(), settings.FilterAttr, settings.Jad);
    }
  }
  const bool adapts = UsesFullCanvas || UsesFullGameCanvas;
  if (adapts) {
    // The JAR a run would make, as it would make it, but in the job's own folder.
    WriteCanvasClasses();
    if (const auto manifest = platform::ResolvePathIgnoringCase(work_dir_, "Meta-inf/Manifest.mf");
        manifest && settings.FilterAttr) {
      FilterAttributes(*manifest);
    }
    const std::string jar = platform::JoinPath(context_.program_dir, kPreviewJarName);
    const bool packed = PackAndVerify(jar, game.Jar());
    report_.size_after = packed ? platform::FileSizeOf(jar) : -1;
    platform::DeleteFile(jar);
    if (!packed) throw JobFailure(archive_failure_);
  }
  Console(TextId::kClearingTempDir);
  ClearWorkDirectory();
  return adapts ? JobOutcome::kAdapted : JobOutcome::kUnchanged;
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
