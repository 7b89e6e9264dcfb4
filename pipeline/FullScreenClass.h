// Our canvas classes in an unpacked game: written at the configured canvas size, and the size an
// earlier adaptation left. The classes themselves are rows of pipeline/InjectedClasses.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "pipeline/InjectedClasses.h"
#include "store/StoredItems.h"

namespace korvel {

using InjectedCanvasClass = InjectedClass;

// The bytes of the class file `path` below `work_dir`; nothing when it is not there or cannot be
// read.
std::optional<std::string> ReadClassFile(const std::string& work_dir, std::string_view path);

// Writes the class below `work_dir` (creating the folders as needed and replacing an older copy
// of the class) from its store item, reporting `width` x `height`. Returns the class file's path.
// Raises FileError when a folder or the file cannot be made or written, StoreError when the store
// lacks the item.
std::string WriteCanvasClass(const TmxStorage& store, const std::string& work_dir,
                             const InjectedClass& cls, std::uint8_t width, std::uint8_t height);

// The canvas size an earlier adaptation wrote into the unpacked game below `work_dir`
// (AgreedCanvasSize of its FullCn and FullGameCn, pipeline/GameClasses.h).
std::optional<CanvasSize> InjectedCanvasSize(const std::string& work_dir);

// WriteCanvasClass for FullCn.
std::string WriteFullScreenClass(const TmxStorage& store, const std::string& work_dir,
                                 std::uint8_t width, std::uint8_t height);

}  // namespace korvel
