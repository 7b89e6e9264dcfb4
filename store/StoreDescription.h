// The persistent description of a store: its items' properties by name, in a fixed order, as the
// program carries them and loads them at start-up.
#pragma once

#include <string>
#include <string_view>

#include "store/StoredItems.h"

namespace korvel {

// Layout (numbers little-endian):
//   "KSTD" 0x01                                   signature and format version
//   then the store's properties, then an end mark
// A property is its name (one length byte and the bytes; length 0 is the end mark) followed by
// a value: 0x02 int32 | 0x06 text (uint32 length, bytes) | 0x07 identifier (one length byte,
// bytes) | 0x0A raw bytes (uint32 length, bytes) | 0x0E collection (uint32 item count, then each
// item's properties and an end mark).
//
// The store's properties are OriginalSize, Ratio, Size, StoredItems and Version; an item's are
// Compression (left out for clDefault), Tag, Name and FileName (left out when empty), FileSize,
// Size, Ratio, then "StoredItem" (left out when the data is empty) holding the data's length and
// the data. Derived values are written for the reader's information and ignored on loading.
std::string WriteStoreDescription(const TmxStorage& store);

// Fills an empty store from a description: each item is inserted (taking its default name), then
// given its properties in order and its data, all while the store is loading. Raises StoreError
// for a damaged description.
void ReadStoreDescription(TmxStorage& store, std::string_view description);

}  // namespace korvel
