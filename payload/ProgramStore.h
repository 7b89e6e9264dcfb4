// The program's own store, storeClass: the files the patch job writes into every game.
#pragma once

#include <string_view>

#include "store/StoredItems.h"

namespace korvel {

inline constexpr std::string_view kFullCanvasItem = "FullCn.class";
inline constexpr std::string_view kFullGameCanvasItem = "FullGameCn.class";
inline constexpr std::string_view kNokiaArchiveItem = "Nokia.zip";
// The key classes of a game built for another handset's keys (tools/make_key_classes.sh).
inline constexpr std::string_view kFullKeyCanvasItem = "FullKeyCn.class";
inline constexpr std::string_view kFullKeyGameCanvasItem = "FullKeyGameCn.class";
inline constexpr std::string_view kKeyMapItem = "KeyMap.class";

// The store's persistent description, encoded from payload/ when the program is built.
std::string_view ProgramStoreDescription();

// Fills an empty store with the program's items.
void LoadProgramStore(TmxStorage& store);

}  // namespace korvel
