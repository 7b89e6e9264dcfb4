// Where a packing run reads an entry's bytes from: a file on disk, or an entry of the archive
// being updated.
#pragma once

#include <zip.h>

#include <string>

#include "engines/common/EngineCommon.h"
#include "engines/common/ZipReading.h"
#include "engines/packeng/EntrySource.h"

namespace korvel::engine {

// A file's bytes; one that cannot be opened throws SourceReadError.
class FileSource : public EntrySource {
 public:
  explicit FileSource(const std::string& path);
  std::size_t Read(char* buffer, std::size_t size) override;
  void Rewind() override;

 private:
  UniqueFd fd_;
};

// An entry of the archive being updated, read raw (compressed, with ZIP_FL_COMPRESSED in
// `flags`) or expanded. `archive` stays open while this is used.
class ArchiveEntrySource : public EntrySource {
 public:
  ArchiveEntrySource(zip_t* archive, zip_uint64_t index, zip_flags_t flags);
  std::size_t Read(char* buffer, std::size_t size) override;
  void Rewind() override;

 private:
  zip_t* archive_;
  zip_uint64_t index_;
  zip_flags_t flags_;
  ZipFilePtr file_;
};

}  // namespace korvel::engine
