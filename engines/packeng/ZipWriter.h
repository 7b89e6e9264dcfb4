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
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "archive/ZipFormat.h"
#include "engines/packeng/DeflatePool.h"

namespace korvel::engine {

// The archive being written can no longer be completed (write error, size limits).
class ArchiveWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  // A system call failed with `error` (errno); the text is the system's.
  explicit ArchiveWriteError(int error);
  int SystemError() const { return system_error_; }

 private:
  int system_error_ = 0;
};

// One entry's source could not be read; the entry was taken back out of the archive.
class SourceReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The run was stopped from a progress report; the entry was taken back out.
class WriteCancelled : public std::runtime_error {
 public:
  WriteCancelled() : std::runtime_error("cancelled") {}
};

// Where an entry's bytes come from. Read returns 0 at the end and throws SourceReadError.
class EntrySource {
 public:
  virtual ~EntrySource() = default;
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
  // Starts over from the first byte (used when compression does not pay).
  virtual void Rewind() = 0;
};

// Another archive's copy of an entry: its deflated bytes and the CRC-32 and size of the data they
// hold. It is written instead of our own compression when the data are the same and it is
// smaller; when it cannot be read, our own is written.
struct OriginalEntry {
  std::uint32_t crc = 0;
  std::uint64_t size = 0;
  std::uint64_t compressed_size = 0;
  // Opens the deflated bytes; called only when they are taken.
  std::function<std::unique_ptr<EntrySource>()> open;
};

// Is told the number of source bytes just consumed; false stops the run.
using ProgressFn = std::function<bool(std::uint64_t bytes)>;
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

  void WriteBytes(std::string_view bytes);
  void PatchBytes(std::uint64_t offset, std::string_view bytes);
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

  // Kept from entry to entry: a fresh compressor and buffers per file cost more than small
  // files take to compress. The reading buffer grows to the largest entry read so far.
  struct Compressors;
  std::unique_ptr<Compressors> compressors_;
  unsigned workers_ = 0;
  std::unique_ptr<DeflatePool> pool_;
  std::deque<Pending> pending_;
  std::size_t pending_bytes_ = 0;
  std::unique_ptr<char[]> in_;
  std::unique_ptr<char[]> out_;
  std::unique_ptr<char[]> whole_in_;
  std::size_t whole_in_capacity_ = 0;

  int fd_;
  std::uint64_t position_ = 0;
  std::uint64_t written_back_ = 0;  // the disk was asked to write the archive up to here
  std::vector<Entry> entries_;
};

}  // namespace korvel::engine
