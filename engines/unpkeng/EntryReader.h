// Reads the entries of the archive being unpacked: small deflated ones from the read-ahead,
// expanded whole, the others streamed through libzip, asking the caller for a password when an
// encrypted entry needs one. Every failure is sent through the channel as it happens.
#pragma once

#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engines/common/EngineCommon.h"
#include "engines/common/ZipReading.h"
#include "engines/unpkeng/ReadAhead.h"

namespace korvel::engine {

class EntryReader {
 public:
  // Where an entry's bytes go; false stops (it has said why).
  using Sink = std::function<bool(const char*, std::size_t)>;
  // An entry opened for reading: expanded whole (`whole`) or to be streamed (`file`).
  struct Opened {
    ZipFilePtr file;
    std::shared_ptr<ExpandedEntry> whole;
  };

  // `archive` (at `archive_path`) stays open while this lives. `password` is tried first; the
  // caller is asked for another at most `password_requests` times (0 to 15).
  EntryReader(zip_t* archive, const std::string& archive_path, CallbackChannel& channel,
              std::string password, std::int32_t password_requests);

  // Starts reading ahead the entries the run will come to that IsWholeEntry, in their order.
  void StartReadAhead(std::vector<ReadAhead::Candidate> whole);
  // Opens the entry `index` (`st` its stat, `shown` its name in messages); false when it cannot
  // be opened.
  bool Open(zip_uint64_t index, const zip_stat_t& st, const std::string& shown, Opened& opened);
  // Reads an opened entry into `sink`, reporting progress; false (with a message) when it cannot
  // be read; `crc_error` when it was read but does not match its checksum.
  bool Read(Opened& opened, const std::string& shown, bool& crc_error, const Sink& sink);

 private:
  // Opens an entry to be streamed, asking for a password when it is encrypted and none fits.
  ZipFilePtr OpenStream(zip_uint64_t index, const zip_stat_t& st, const std::string& shown);
  // Asks the caller for a password; false when none was given.
  bool AskPassword(const std::string& shown);
  bool ReadStream(zip_file_t* file, const std::string& shown, bool& crc_error, const Sink& sink);
  bool ReadWhole(ExpandedEntry& entry, const std::string& shown, bool& crc_error, const Sink& sink);

  zip_t* archive_;
  const std::string& archive_path_;
  CallbackChannel& channel_;
  std::string password_;
  std::int32_t password_requests_;
  std::unique_ptr<char[]> buffer_;
  // Made once the entries are chosen; gone (its threads joined) before the archive is closed.
  std::optional<ReadAhead> ahead_;
};

}  // namespace korvel::engine
