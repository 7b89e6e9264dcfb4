// Listing the entries of one folder, with the five attribute bits and three times.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Time.h"

namespace korvel::platform {

// Attribute bits of a directory entry.
enum : std::uint32_t {
  kAttrReadOnly = 1,  // the owner may not write
  kAttrHidden = 2,    // the name starts with "."
  kAttrSystem = 4,    // never set here
  kAttrDirectory = 16,
  kAttrArchive = 32,  // every regular file
};

struct DirEntry {
  std::string Name;
  std::uint32_t Attributes = 0;
  std::uint64_t Size = 0;  // 0 for folders
  bool IsSymlink = false;  // a link; Attributes describe what it points to
  FileTime CreationTime;   // birth time where the file system keeps it, else the change time
  FileTime LastAccessTime;
  FileTime LastWriteTime;
};

// Reads the entries of one folder, "." and ".." included, in the order the system yields them.
class DirectoryReader {
 public:
  explicit DirectoryReader(const std::string& folder);
  ~DirectoryReader();
  DirectoryReader(const DirectoryReader&) = delete;
  DirectoryReader& operator=(const DirectoryReader&) = delete;

  // False when the folder could not be opened for listing.
  bool IsOpen() const;
  // Fills `entry` with the next entry; false at the end. Entries that vanish while being read
  // are skipped.
  bool Next(DirEntry& entry);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The attributes and times of one path, as a listing would give them; false when it is absent.
bool StatEntry(const std::string& path, DirEntry& entry);

}  // namespace korvel::platform
