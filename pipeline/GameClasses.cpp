// The class step: a game's classes read, adapted and written back once.
#include "pipeline/GameClasses.h"

#include <chrono>
#include <ctime>
#include <filesystem>

#include "archive/ZipFormat.h"
#include "pipeline/ClassPasses.h"
#include "pipeline/ZipInMemory.h"
#include "platform/FileError.h"
#include "platform/Files.h"

namespace korvel {

namespace {

constexpr std::string_view kNokiaUiPrefix = "com/nokia/mid/ui/";

bool InPackage(std::string_view path, const StandInPackage& package) {
  return path.substr(0, package.prefix.size()) == package.prefix;
}

// A name our archive may give a class of its package: below the package, no ".." part.
bool SafeStandInPath(std::string_view path, const StandInPackage& package) {
  if (!InPackage(path, package) || path.find('\\') != std::string_view::npos) return false;
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t slash = std::min(path.find('/', start), path.size());
    const std::string_view part = path.substr(start, slash - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = slash + 1;
  }
  return path.size() > 6 && path.substr(path.size() - 6) == ".class";
}

// The local time a zip entry's date stands for, as the unpacking engine reads it.
std::filesystem::file_time_type FileTimeOf(std::uint32_t dos_time) {
  const auto system = std::chrono::system_clock::from_time_t(zip::FromDosDateTime(dos_time));
  return std::chrono::file_clock::from_sys(
      std::chrono::time_point_cast<std::chrono::file_clock::duration>(system));
}

void WriteNew(const std::string& work_dir, const GameClass& cls) {
  const std::string path = WriteClassFile(work_dir, cls.path, cls.bytes);
  if (!cls.changed) {
    std::error_code ignored;  // the date only decides the entry's date in the new JAR
    std::filesystem::last_write_time(path, FileTimeOf(cls.dos_time), ignored);
  }
}

std::optional<std::string> BytesOf(const GameClass* cls) {
  if (!cls) return std::nullopt;
  return cls->bytes;
}

// The bytes of the class file `path` below `work_dir`; nothing when it is not there or cannot be
// read.
std::optional<std::string> ReadClassFile(const std::string& work_dir, std::string_view path) {
  const std::string class_file = platform::JoinPath(work_dir, std::string(path));
  if (!platform::FileExists(class_file)) return std::nullopt;
  try {
    return platform::ReadWholeFile(class_file);
  } catch (const FileError&) {
    return std::nullopt;
  }
}

}  // namespace

std::set<std::string> ClassKeyEvidence::Canvases(bool nokia_stand_in) const {
  return CanvasDescendants(facts, nokia_stand_in);
}

GameClasses GameClasses::Read(const std::string& work_dir, const std::vector<std::string>& paths) {
  GameClasses set;
  set.classes_.reserve(paths.size());
  for (const std::string& path : paths) {
    platform::BinaryFile file(platform::JoinPath(work_dir, path),
                              platform::BinaryFile::Mode::kReadWrite);
    set.classes_.push_back({path, file.ReadAll()});
    file.Close();
  }
  return set;
}

const GameClass* GameClasses::Find(std::string_view path) const {
  for (const GameClass& cls : classes_) {
    if (cls.path == path) return &cls;
  }
  return nullptr;
}

ClassKeyEvidence GameClasses::KeyEvidence() const {
  ClassKeyEvidence evidence;
  for (const GameClass& cls : classes_) {
    if (cls.bytes.find(kNokiaPackagePrefix) != std::string::npos) evidence.nokia_package = true;
    try {
      ClassKeyFacts facts = ReadClassKeyFacts(cls.bytes);
      if (facts.name.rfind(kNokiaPackagePrefix, 0) != 0 &&
          cls.bytes.find(kNokiaUiPrefix) != std::string::npos) {
        evidence.nokia_ui = true;
      }
      evidence.facts.push_back(std::move(facts));
    } catch (const ClassFormatError&) {
      // Adapt names it and leaves it as it is.
    }
  }
  for (const InjectedClass& ours : kInjectedClasses) {
    if (ours.keys && Find(ours.path)) evidence.key_classes = true;
  }
  evidence.compared = LayoutShownByCodes(KeyHandlerComparisons(evidence.facts));
  return evidence;
}

void GameClasses::AdaptOne(GameClass& cls, const AdaptOptions& options, AdaptResult& result) {
  try {
    const ClassOutline outline(cls.bytes);
    PoolEditor editor(outline);
    const CanvasKind kind = RedirectCanvas(editor, options.keys);
    if (options.keys) RenameKeyHandlers(editor, options.canvases);
    if (editor.Changed()) {
      std::string bytes = editor.Bytes();
      cls.bytes = std::move(bytes);
      cls.changed = true;
    }
    result.redirected += kind == CanvasKind::kCanvas || kind == CanvasKind::kGameCanvas;
    if (kind == CanvasKind::kCanvas || kind == CanvasKind::kFullCanvas) {
      result.uses_full_canvas = true;
    }
    if (kind == CanvasKind::kGameCanvas || kind == CanvasKind::kFullGameCanvas) {
      result.uses_full_game_canvas = true;
    }
  } catch (const ClassFormatError& e) {
    result.warnings.push_back({cls.path, e.what()});
  }
}

AdaptResult GameClasses::Adapt(const AdaptOptions& options) {
  AdaptResult result;
  for (GameClass& cls : classes_) {
    for (std::size_t i = 0; i < std::size(kStandInPackages); ++i) {
      if (RefersToPackage(cls.bytes, kStandInPackages[i].prefix)) ++result.package_users[i];
    }
    // The Nokia classes may yet be added over a class of their package; it is adapted once
    // they are in.
    if (options.nokia && InPackage(cls.path, kNokiaPackage)) continue;
    AdaptOne(cls, options, result);
  }
  return result;
}

void GameClasses::AddStandInPackage(const TmxStorage& store, const StandInPackage& package) {
  for (ZipFileEntry& entry : ReadZipFiles(StoredItemBytes(store, package.item))) {
    if (!SafeStandInPath(entry.name, package)) {
      throw ZipFormatError(entry.name + ": no class of the package " + std::string(package.prefix));
    }
    GameClass ours{entry.name, std::move(entry.data), false, true, entry.dos_time};
    GameClass* existing = nullptr;
    for (GameClass& cls : classes_) {
      if (cls.path == ours.path) existing = &cls;
    }
    if (existing) {
      *existing = std::move(ours);
    } else {
      classes_.push_back(std::move(ours));
    }
  }
}

void GameClasses::AdaptStandInPackage(const StandInPackage& package, const AdaptOptions& options,
                                      AdaptResult& result) {
  for (GameClass& cls : classes_) {
    if (InPackage(cls.path, package)) AdaptOne(cls, options, result);
  }
}

void GameClasses::Write(const std::string& work_dir) {
  for (GameClass& cls : classes_) {
    if (cls.added) {
      WriteNew(work_dir, cls);
    } else if (cls.changed) {
      // The passes only insert bytes, so the new content covers the old one entirely.
      platform::BinaryFile file(platform::JoinPath(work_dir, cls.path),
                                platform::BinaryFile::Mode::kReadWrite);
      file.WriteAt(0, cls.bytes);
      file.Close();
    }
    cls.changed = cls.added = false;
  }
}

std::optional<CanvasSize> GameClasses::InjectedCanvasSize() const {
  return AgreedCanvasSize(BytesOf(Find(kFullCanvasClass.path)),
                          BytesOf(Find(kFullGameCanvasClass.path)));
}

std::optional<KeyMapCodes> GameClasses::InjectedKeyMap(const TmxStorage& store) const {
  const GameClass* key_map = Find(kKeyMapClass.path);
  if (!key_map) return std::nullopt;
  return KeyMapCodesOf(store, key_map->bytes);
}

CanvasKind RedirectCanvasClass(std::string& bytes, bool keys) {
  const ClassOutline outline(bytes);
  PoolEditor editor(outline);
  const CanvasKind kind = RedirectCanvas(editor, keys);
  if (editor.Changed()) {
    std::string changed = editor.Bytes();
    bytes = std::move(changed);
  }
  return kind;
}

bool CarriesKeyClasses(const std::string& work_dir) {
  for (const InjectedClass& ours : kInjectedClasses) {
    if (ours.keys && platform::FileExists(platform::JoinPath(work_dir, ours.path))) return true;
  }
  return false;
}

std::optional<CanvasSize> AgreedCanvasSize(const std::optional<std::string>& canvas,
                                           const std::optional<std::string>& game_canvas) {
  const auto size = canvas ? CanvasSizeOf(*canvas) : std::nullopt;
  const auto game_size = game_canvas ? CanvasSizeOf(*game_canvas) : std::nullopt;
  if (size && game_size && *size != *game_size) return std::nullopt;
  return size ? size : game_size;
}

std::optional<CanvasSize> InjectedCanvasSize(const std::string& work_dir) {
  return AgreedCanvasSize(ReadClassFile(work_dir, kFullCanvasClass.path),
                          ReadClassFile(work_dir, kFullGameCanvasClass.path));
}

std::optional<KeyMapCodes> InjectedKeyMap(const TmxStorage& store, const std::string& work_dir) {
  const std::optional<std::string> read = ReadClassFile(work_dir, kKeyMapClass.path);
  if (!read) return std::nullopt;
  return KeyMapCodesOf(store, *read);
}

}  // namespace korvel
