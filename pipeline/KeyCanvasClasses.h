// Writing the key canvases into an unpacked game: FullKeyCn and FullKeyGameCn, which translate a
// handset's key codes for a game built for other ones, and KeyMap, which holds the two layouts.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "settings/KeyLayout.h"
#include "store/StoredItems.h"

namespace korvel {

inline constexpr std::string_view kFullKeyCanvasPath = "com/quillmoss/fullscreen/FullKeyCn.class";
inline constexpr std::string_view kFullKeyGameCanvasPath =
    "com/quillmoss/fullscreen/game/FullKeyGameCn.class";
inline constexpr std::string_view kKeyMapPath = "com/quillmoss/fullscreen/KeyMap.class";

// What KeyMap translates between: the handset's codes and the game's, in LayoutKey order. The
// same codes on both sides translate nothing.
struct KeyMapCodes {
  std::array<int, kLayoutKeyCount> handset{};
  std::array<int, kLayoutKeyCount> game{};
  bool operator==(const KeyMapCodes&) const = default;
};

// Writes FullKeyCn (with `canvas`), FullKeyGameCn (with `game_canvas`) and KeyMap carrying
// `codes` below `work_dir`, replacing older copies. Raises FileError when a folder or file cannot
// be made, StoreError when the store lacks an item.
void WriteKeyClasses(const TmxStorage& store, const std::string& work_dir, bool canvas,
                     bool game_canvas, const KeyMapCodes& codes);

// The codes of the KeyMap an earlier adaptation wrote below `work_dir`; nothing when there is
// none or it is not ours.
std::optional<KeyMapCodes> InjectedKeyMap(const TmxStorage& store, const std::string& work_dir);

}  // namespace korvel
