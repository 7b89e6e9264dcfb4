// Writes a plain zip file that old JAR readers accept: stored or deflated entries, sizes in the
// local headers, no data descriptors, no extra fields, no zip64 records. Entries are compressed
// whole with libdeflate, which packs tighter and faster than zlib; an entry too large to hold in
// memory is streamed through zlib instead, so memory stays bounded whatever the archive's size.
// With more than one processor, entries are compressed on worker threads and written in the
// order they were added; everything else (reading, writing, progress) stays on the caller's
// thread.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/ZipFormat.h"
#include "engines/packeng/ArchiveOutput.h"
#include "engines/packeng/DeflatePool.h"
#include "engines/packeng/EntrySource.h"
#include "engines/packeng/StreamCompression.h"

namespace korvel::engine {

// Is told an entry's compressed size once the entry is in the archive.
using WrittenFn = std::function<void(std::uint64_t packed)>;

class ZipWriter {
 public:
  // Entries up to this size are read and compressed whole (a few of them at a time, each in two
  // buffers of its size).
  static constexpr std::size_t kWholeEntryLimit = 8 << 20;

  // Writes to an open, empty, seekable file; the caller keeps ownership of `fd`.
  explicit ZipWriter(int fd);
  ~ZipWriter();

  void AddDirectory(const std::string& name, std::uint32_t dos_time, std::uint32_t unix_mode);

  // Compresses `source` at `level` (0 stores, 1 fastest to 9 best), or stores it when
  // `store_only`, or when deflating would not make it smaller; or takes `original` (see
  // OriginalEntry). The source is read before this returns; the entry may reach the archive
  // later (by the next call that adds or finishes), and then `written` is told its compressed
  // size.
  void AddFile(const std::string& name, std::uint32_t dos_time, std::uint32_t unix_mode,
               EntrySource& source, bool store_only, int level, const ProgressFn& progress,
               const WrittenFn& written = {}, std::optional<OriginalEntry> original = {});

  // Copies an entry's compressed bytes unchanged (method 0 or 8).
  void AddRaw(const std::string& name, std::uint32_t dos_time, std::uint32_t unix_mode,
              std::uint16_t method, std::uint32_t crc, std::uint64_t compressed_size,
              std::uint64_t size, EntrySource& raw);

  // Writes the central directory and the end record.
  void Finish(std::string_view comment);

  std::size_t EntryCount() const { return entries_.size() + pending_.size(); }

 private:
  struct Entry {
    std::string name;
    std::uint16_t method = 0;
    std::uint16_t flags = 0;  // only the deflate speed hint in bits 1 and 2
    std::uint32_t dos_time = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressed_size = 0;
    std::uint32_t size = 0;
    std::uint32_t external_attributes = 0;
    std::uint32_t offset = 0;
  };

  static zip::CommonHeaderFields HeaderFields(const Entry& entry);
  std::string LocalHeader(const Entry& entry) const;
  void BeginEntry(Entry& entry);
  // Drops a half-written entry so the archive ends where it did before it.
  void Rollback(std::uint64_t offset);
  // Writes `entry` (its method, sizes and CRC set) with the compressed bytes of `raw`.
  void WriteRaw(Entry& entry, EntrySource& raw);
  // `original` holds the data of `ours` (packed by us) in fewer bytes.
  static bool SmallerOriginal(const Entry& ours, const OriginalEntry& original);
  // Writes `entry` with the bytes of `original`; false, the archive as it was, when they cannot
  // be read.
  bool WriteOriginal(Entry& entry, const OriginalEntry& original);
  void StoreFrom(EntrySource& source, Entry& entry, const ProgressFn& progress);
  // Reads all of `source` into whole_in_ (`size` bytes, all reported); false as soon as it holds
  // more than kWholeEntryLimit.
  bool ReadWhole(EntrySource& source, std::size_t& size, const ProgressFn& progress);
  // Writes an entry now, streaming it: stored at level 0, else deflated with zlib (stored when
  // that does not pay). Returns the compressed size.
  std::uint64_t WriteNow(Entry& entry, EntrySource& source, int level, const ProgressFn& progress,
                         const std::optional<OriginalEntry>& original);
  // Entries waiting to be written, oldest first: compressed on worker threads (level above 0),
  // stored (level 0, checksum already taken) or folders (no job).
  struct Pending {
    Entry entry;
    std::shared_ptr<DeflatePool::Job> job;
    int level = 0;
    WrittenFn written;
    std::size_t bytes = 0;  // counted against the memory bound
    std::optional<OriginalEntry> original;
  };
  // Puts whole_in_'s `size` bytes in line: handed to a worker to compress at `level`, or, at
  // level 0, to be stored.
  void Submit(Entry entry, std::size_t size, int level, const WrittenFn& written,
              std::optional<OriginalEntry> original);
  bool Ready(const Pending& pending);
  // Writes the oldest pending entries: those done, and more while too many bytes wait; all of
  // them with `all`.
  void WritePending(bool all);
  void WriteOldest();
  bool DeflateStream(EntrySource& source, Entry& entry, int level, const ProgressFn& progress);

  ArchiveOutput output_;
  EntryStreamer streamer_;
  unsigned workers_ = 0;
  std::unique_ptr<DeflatePool> pool_;
  std::deque<Pending> pending_;
  std::size_t pending_bytes_ = 0;
  // Holds the entry being read whole; grows to the largest entry read so far.
  std::unique_ptr<char[]> whole_in_;
  std::size_t whole_in_capacity_ = 0;
  std::vector<Entry> entries_;
};

}  // namespace korvel::engine
