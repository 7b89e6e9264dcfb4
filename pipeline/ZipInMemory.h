// Reading a zip archive held in memory: the archives the program carries in its store (the
// stand-in packages). They are our own, but every read is still checked against the bytes.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// Raised for bytes that are not a zip archive this reader understands; the text says why.
class ZipFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ZipFileEntry {
  std::string name;            // as the archive spells it, "/" between the parts
  std::string data;            // expanded, its checksum checked
  std::uint32_t dos_time = 0;  // date and time as the archive records them
};

// The files of the archive in `bytes`, in the order of its directory; folder entries are left
// out. Only stored and deflated entries are read. Raises ZipFormatError.
std::vector<ZipFileEntry> ReadZipFiles(std::string_view bytes);

}  // namespace korvel
