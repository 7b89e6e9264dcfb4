// Our key canvases in an unpacked game: FullKeyCn and FullKeyGameCn, which translate a handset's
// key codes for a game built for other ones, and KeyMap, which holds the two layouts. The
// classes themselves are rows of pipeline/InjectedClasses.h.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "pipeline/InjectedClasses.h"
#include "settings/KeyLayout.h"
#include "store/StoredItems.h"

namespace korvel {

inline constexpr std::string_view kFullKeyCanvasPath = kInjectedClasses[2].path;
inline constexpr std::string_view kFullKeyGameCanvasPath = kInjectedClasses[3].path;
inline constexpr std::string_view kKeyMapPath = kKeyMapClass.path;

// Writes FullKeyCn (with `canvas`), FullKeyGameCn (with `game_canvas`) and KeyMap carrying
// `codes` below `work_dir`, replacing older copies. Raises FileError when a folder or file cannot
// be made, StoreError when the store lacks an item.
void WriteKeyClasses(const TmxStorage& store, const std::string& work_dir, bool canvas,
                     bool game_canvas, const KeyMapCodes& codes);

// The codes of the KeyMap an earlier adaptation wrote below `work_dir`; nothing when there is
// none or it is not ours.
std::optional<KeyMapCodes> InjectedKeyMap(const TmxStorage& store, const std::string& work_dir);

}  // namespace korvel
