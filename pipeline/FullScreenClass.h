// Writing the full-screen canvas classes into an unpacked game, with the configured canvas size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/StoredItems.h"

namespace korvel {

// One injected class: the store item it comes from, its path below the work folder, and where
// its two size bytes sit: the low bytes of the sipush operands that getWidth and getHeight return
// (the high bytes are 0, so 1..255 read as positive).
struct InjectedCanvasClass {
  std::string_view item;
  std::string_view path;
  std::uint64_t width_offset;
  std::uint64_t height_offset;
};

// FullCn extends the MIDP canvas, FullGameCn the MIDP 2 game canvas.
inline constexpr InjectedCanvasClass kFullCanvasClass = {
    "FullCn.class", "com/quillmoss/fullscreen/FullCn.class", 263, 305};
inline constexpr InjectedCanvasClass kFullGameCanvasClass = {
    "FullGameCn.class", "com/quillmoss/fullscreen/game/FullGameCn.class", 279, 321};

inline constexpr std::uint64_t kCanvasWidthOffset = kFullCanvasClass.width_offset;
inline constexpr std::uint64_t kCanvasHeightOffset = kFullCanvasClass.height_offset;

// Overwrites bytes of an existing file at `offset`. Raises FileError when the file cannot be
// opened for writing; a failed write itself is ignored.
void WriteStringAt(const std::string& file_name, std::uint64_t offset, std::string_view text);

// The path of the class file `path` ("com/quillmoss/fullscreen/FullCn.class") below `work_dir`,
// with its package folders made. Raises FileError when a folder cannot be made.
std::string MakeClassFolders(const std::string& work_dir, std::string_view path);

// The bytes of the class file `path` below `work_dir`; nothing when it is not there or cannot be
// read.
std::optional<std::string> ReadClassFile(const std::string& work_dir, std::string_view path);

// Writes the class below `work_dir` (creating the folders as needed and replacing an older copy
// of the class) from its store item, reporting `width` x `height`. Returns the class file's path.
// Raises FileError when a folder or the file cannot be made, StoreError when the store lacks the
// item.
std::string WriteCanvasClass(const TmxStorage& store, const std::string& work_dir,
                             const InjectedCanvasClass& cls, std::uint8_t width,
                             std::uint8_t height);

struct CanvasSize {
  int width = 0;
  int height = 0;
  bool operator==(const CanvasSize&) const = default;
};
// "WxH".
std::string SizeText(const CanvasSize& size);

// The canvas size an earlier adaptation wrote into the unpacked game below `work_dir`: that of
// FullCn, or of FullGameCn when only that one is there. Nothing when neither class is there (or
// is too short to hold the size), or when the two disagree, so that such a game is adapted again.
std::optional<CanvasSize> InjectedCanvasSize(const std::string& work_dir);

// WriteCanvasClass for FullCn.
std::string WriteFullScreenClass(const TmxStorage& store, const std::string& work_dir,
                                 std::uint8_t width, std::uint8_t height);

}  // namespace korvel
