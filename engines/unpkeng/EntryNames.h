// Names of unpacked entries: the name a file gets on disk, and the parts of a relative path.
#pragma once

#include <zip.h>

#include <string>
#include <string_view>

namespace korvel::engine {

// The name a file gets on disk: names from DOS and OS/2 archives are in the OEM code page, the
// same rule the component's directory list follows.
std::string DiskName(zip_t* archive, zip_uint64_t index, const std::string& raw);

// Whether an entry's name names a folder: it ends in a slash or a backslash.
bool IsFolderName(std::string_view raw);

// The folder part of a "/"-separated relative path ("" for none), and the last part.
std::string ParentOf(const std::string& rel);
std::string BaseOf(const std::string& rel);

}  // namespace korvel::engine
