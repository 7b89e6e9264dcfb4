// The archive a packing run is told to take compressed bytes from (the record's ReferenceZip):
// its deflated entries by name, read from its central directory, and their bytes on request.
// It costs a few dozen bytes an entry, however large the archive.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engines/common/EngineCommon.h"
#include "engines/packeng/EntrySource.h"

namespace korvel::engine {

class ReferenceArchive {
 public:
  // Reads the directory of the archive at `path`. One that cannot be read, or that spans disks,
  // offers nothing: the run packs as without it.
  void Open(const std::string& path);

  // The archive's copy of the entry `name` when it is deflated, unencrypted and holds `size`
  // bytes. Its bytes are read when taken; a local header that does not match the directory then
  // makes the writer use its own.
  std::optional<OriginalEntry> Find(const std::string& name, std::uint64_t size) const;

 private:
  struct Entry {
    std::uint32_t name_at = 0;  // in names_
    std::uint16_t name_length = 0;
    std::uint32_t crc = 0;
    std::uint32_t size = 0;
    std::uint32_t compressed_size = 0;
    std::uint32_t local_offset = 0;
  };
  std::string_view NameOf(const Entry& entry) const {
    return std::string_view(names_).substr(entry.name_at, entry.name_length);
  }
  bool ReadDirectory();

  UniqueFd fd_;
  std::uint64_t file_size_ = 0;
  std::string names_;
  std::vector<Entry> entries_;  // sorted by name
};

}  // namespace korvel::engine
