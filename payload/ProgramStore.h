// The program's own store, storeClass: the files the patch job writes into every game. Each item
// is named by the file it was made from (payload/CMakeLists.txt); what the patch job takes from
// the store, and why, is catalogued in pipeline/InjectedClasses.h.
#pragma once

#include <string_view>

#include "store/StoredItems.h"

namespace korvel {

// The store's persistent description, encoded from payload/ when the program is built.
std::string_view ProgramStoreDescription();

// Fills an empty store with the program's items.
void LoadProgramStore(TmxStorage& store);

}  // namespace korvel
