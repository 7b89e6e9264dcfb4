// The one catalogue of what the adaptation puts into a game: our canvases, the key map, and the
// stand-in packages of phone makers' APIs. Each is one row: its name, the program's store item it
// comes from, which game classes need it, and how it is configured when written.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "pipeline/classfile/Canvases.h"
#include "settings/KeyLayout.h"
#include "store/StoredItems.h"

namespace korvel {

struct CanvasSize {
  int width = 0;
  int height = 0;
  bool operator==(const CanvasSize&) const = default;
};
// "WxH".
std::string SizeText(const CanvasSize& size);

// What KeyMap translates between: the handset's codes and the game's, in LayoutKey order. The
// same codes on both sides translate nothing.
struct KeyMapCodes {
  std::array<int, kLayoutKeyCount> handset{};
  std::array<int, kLayoutKeyCount> game{};
  bool operator==(const KeyMapCodes&) const = default;
};

// Which game classes a class of ours serves.
enum class NeededBy {
  kCanvas,      // some class builds on FullCn (or FullKeyCn)
  kGameCanvas,  // some class builds on FullGameCn (or FullKeyGameCn)
  kAnyCanvas,   // either
};
// How a class is configured as it is written.
enum class Configuration {
  kNone,
  // getWidth and getHeight return the canvas size: the sipush that each returns is the
  // placeholder.
  kCanvasSize,
  // The fourteen Integer constants 0x4B590000.. (handset codes, then the game's) are the
  // placeholders of the key map's codes.
  kKeyMap,
};

struct InjectedClass {
  std::string_view name;  // the internal name
  std::string_view item;  // the store item holding it
  std::string_view path;  // its class file below the work folder
  NeededBy needed_by;
  bool keys;  // only with the key canvases
  Configuration configuration;
};

inline constexpr InjectedClass kInjectedClasses[] = {
    {kFullCanvasClassName, "FullCn.class", "com/quillmoss/fullscreen/FullCn.class",
     NeededBy::kCanvas, false, Configuration::kCanvasSize},
    {kFullGameCanvasClassName, "FullGameCn.class", "com/quillmoss/fullscreen/game/FullGameCn.class",
     NeededBy::kGameCanvas, false, Configuration::kCanvasSize},
    {kFullKeyCanvasClassName, "FullKeyCn.class", "com/quillmoss/fullscreen/FullKeyCn.class",
     NeededBy::kCanvas, true, Configuration::kNone},
    {kFullKeyGameCanvasClassName, "FullKeyGameCn.class",
     "com/quillmoss/fullscreen/game/FullKeyGameCn.class", NeededBy::kGameCanvas, true,
     Configuration::kNone},
    {"com/quillmoss/fullscreen/KeyMap", "KeyMap.class", "com/quillmoss/fullscreen/KeyMap.class",
     NeededBy::kAnyCanvas, true, Configuration::kKeyMap},
};
inline constexpr const InjectedClass& kFullCanvasClass = kInjectedClasses[0];
inline constexpr const InjectedClass& kFullGameCanvasClass = kInjectedClasses[1];
inline constexpr const InjectedClass& kKeyMapClass = kInjectedClasses[4];

// A stand-in for a phone maker's API, carried as a zip of its classes: added to a game one of
// whose classes refers to its package (with the option that allows it), and then adapted like
// the game's own classes.
struct StandInPackage {
  std::string_view maker;
  std::string_view item;    // the store item, a zip archive of class files
  std::string_view prefix;  // the package prefix its classes share, and game classes refer to
};
inline constexpr StandInPackage kStandInPackages[] = {
    {"Nokia", "Nokia.zip", "com/nokia/mid/"},
};
inline constexpr const StandInPackage& kNokiaPackage = kStandInPackages[0];
inline constexpr std::string_view kNokiaPackagePrefix = kNokiaPackage.prefix;

// What the adapted game builds on, which decides what goes in.
struct InjectedUse {
  bool canvas = false;       // some class builds on FullCn or FullKeyCn
  bool game_canvas = false;  // some class builds on FullGameCn or FullKeyGameCn
  bool keys = false;         // its canvases are on the key canvases
};
bool Needed(const InjectedClass& cls, const InjectedUse& use);

// The class as it goes into a game: its store item configured with `size` or `codes`. Raises
// StoreError when the store lacks the item, ClassFormatError when it lacks its placeholders.
std::string ConfiguredClass(const TmxStorage& store, const InjectedClass& cls,
                            const CanvasSize& size, const KeyMapCodes& codes);

// Writes every class the catalogue says `use` needs below `work_dir`, configured, replacing older
// copies; with `remove_leftovers`, a class of ours that is not needed, left by an earlier
// adaptation, is removed (with its folder, when that is left empty). Raises FileError when a
// folder or a file cannot be made or written, StoreError and ClassFormatError as ConfiguredClass.
void WriteInjectedClasses(const TmxStorage& store, const std::string& work_dir,
                          const InjectedUse& use, const CanvasSize& size, const KeyMapCodes& codes,
                          bool remove_leftovers);

// The canvas size one of our canvas classes reports; nothing when `bytes` are not such a class.
std::optional<CanvasSize> CanvasSizeOf(std::string_view bytes);
// The codes a key map of ours carries, read at the placeholders' places in the carried one;
// nothing when `bytes` are not such a class.
std::optional<KeyMapCodes> KeyMapCodesOf(const TmxStorage& store, std::string_view bytes);

// The bytes of a store item; raises StoreError when there is none.
std::string StoredItemBytes(const TmxStorage& store, std::string_view item);

// Writes `bytes` as the class file `path` below `work_dir`, its folders made and an older copy
// replaced; returns the file's path. Raises FileError.
std::string WriteClassFile(const std::string& work_dir, std::string_view path,
                           std::string_view bytes);

// The path of the class file `path` ("com/quillmoss/fullscreen/FullCn.class") below `work_dir`,
// with its package folders made. Raises FileError when a folder cannot be made.
std::string MakeClassFolders(const std::string& work_dir, std::string_view path);

}  // namespace korvel
