// The program's own store, storeClass: the files the patch job writes into every game.
#pragma once

#include <string_view>

#include "store/StoredItems.h"

namespace korvel {

// Each item is named by the file it was made from (payload/CMakeLists.txt); what the patch job
// takes from the store, and why, is catalogued in pipeline/InjectedClasses.h. These two names
// are still read here by code that has not moved to the catalogue yet.
inline constexpr std::string_view kFullCanvasItem = "FullCn.class";
inline constexpr std::string_view kNokiaArchiveItem = "Nokia.zip";

// The store's persistent description, encoded from payload/ when the program is built.
std::string_view ProgramStoreDescription();

// Fills an empty store with the program's items.
void LoadProgramStore(TmxStorage& store);

}  // namespace korvel
