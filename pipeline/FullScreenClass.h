// Writing the full-screen canvas class into an unpacked game, with the configured canvas size.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store/mxStorage.h"

namespace korvel {

// Where the class's two size bytes sit: the low bytes of the sipush operands that getWidth and
// getHeight return (the high bytes are 0, so 1..255 read as positive).
inline constexpr std::uint64_t kCanvasWidthOffset = 263;
inline constexpr std::uint64_t kCanvasHeightOffset = 305;

// Overwrites bytes of an existing file at `offset`. Raises FileError when the file cannot be
// opened for writing; a failed write itself is ignored.
void WriteStringAt(const std::string& file_name, std::uint64_t offset, std::string_view text);

// Writes com/quillmoss/fullscreen/FullCn.class below `work_dir` (creating the folders as needed
// and replacing an older copy of the class) from the store's "FullCn.class" item, reporting
// `width` x `height`. Returns the class file's path. Raises FileError when a folder or the file
// cannot be made, StoreError when the store lacks the item.
std::string WriteFullScreenClass(const TmxStorage& store, const std::string& work_dir,
                                 std::uint8_t width, std::uint8_t height);

}  // namespace korvel
