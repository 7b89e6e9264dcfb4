// One unpacking run: the record read, the archive opened, the entries chosen by the patterns,
// then each written (or, testing, only read) below the base folder. Every file is written to a
// temporary name in its folder and renamed only after its checksum held, so a damaged entry never
// replaces a good file; no entry can land outside the base folder.
#pragma once

#include <sys/stat.h>
#include <zip.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "archive/EngineRecords.h"
#include "engines/common/EngineCommon.h"
#include "engines/common/ZipReading.h"
#include "engines/unpkeng/EntryReader.h"
#include "engines/unpkeng/TargetFolders.h"

namespace korvel::engine {

class Unpacker {
 public:
  Unpacker(const UnpackCommandRecord& record, CallbackChannel& channel)
      : record_(record), channel_(channel), folders_(base_, channel) {}

  // The number of files written (or tested), or an error result.
  std::int32_t Run();

 private:
  // An entry chosen by the patterns.
  struct Selection {
    zip_uint64_t index;
    zip_stat_t st;
    std::string raw;
  };
  // The steps of a run; a result ends it early (the message has been sent).
  std::optional<std::int32_t> ReadRecord();
  std::optional<std::int32_t> OpenArchive();
  std::vector<Selection> Select(std::int32_t& total_files, std::uint64_t& total_size);
  // Unpacks one selected entry, counting it in `done`; false stops the run.
  bool UnpackItem(const Selection& item, std::int32_t& done);
  // Whether an existing (or, freshening, missing) file is to be replaced; false stops the run.
  bool DecideReplace(const Selection& item, const std::string& rel, bool exists,
                     const struct stat& existing, bool& replace);
  // Writes (or, testing, only reads) one file entry; true when it was written or tested. A file
  // that `exists` is replaced only once the new one is complete and checked.
  bool Extract(zip_uint64_t index, const zip_stat_t& st, const std::string& rel, bool exists);
  // Asks what to do with an entry that failed its checksum; true to keep it.
  bool KeepDamaged(const std::string& shown);
  bool Selected(const std::string& name) const;

  const UnpackCommandRecord& record_;
  CallbackChannel& channel_;
  ZipArchivePtr archive_;
  std::string archive_path_;
  std::string base_;
  bool test_ = false;
  std::vector<std::string> patterns_;
  std::mt19937 random_{std::random_device{}()};
  TargetFolders folders_;
  // Made once the archive is open; gone before it is closed.
  std::optional<EntryReader> reader_;
};

}  // namespace korvel::engine
