// Entries too large to hold in memory, streamed from their source into the archive in 64 KiB
// pieces: copied as they are, or deflated with zlib. One zlib compressor and its buffers are
// kept from entry to entry: a fresh one per file costs more than small files take to compress.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "engines/packeng/ArchiveOutput.h"
#include "engines/packeng/EntrySource.h"

namespace korvel::engine {

// What a streamed entry's data came to.
struct StreamedData {
  std::uint32_t crc = 0;
  std::uint32_t size = 0;
  std::uint32_t compressed_size = 0;
};

class EntryStreamer {
 public:
  EntryStreamer();
  ~EntryStreamer();
  EntryStreamer(const EntryStreamer&) = delete;
  EntryStreamer& operator=(const EntryStreamer&) = delete;

  // Copies all of `source` to `output` unchanged, telling `progress` (when set) of every piece.
  // Throws SourceReadError for a source above 4 GB, WriteCancelled when `progress` says stop.
  StreamedData Store(EntrySource& source, ArchiveOutput& output, const ProgressFn& progress);
  // Deflates all of `source` at zlib's `level` (1 to 9) into `output` as a raw stream. Nothing
  // when that did not make it smaller (or it was empty); what was written then stays for the
  // caller to cut back.
  std::optional<StreamedData> Deflate(EntrySource& source, ArchiveOutput& output, int level,
                                      const ProgressFn& progress);

 private:
  struct Zlib;
  // The compressor ready for a new stream at `level`.
  Zlib& StartStream(int level);

  std::unique_ptr<Zlib> zlib_;
  std::unique_ptr<char[]> in_;
  std::unique_ptr<char[]> out_;
};

}  // namespace korvel::engine
