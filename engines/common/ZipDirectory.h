// The engines' reader of a zip file's end record and central directory. The bytes are anyone's:
// every field is checked against the bytes that hold it before it is believed, and a directory
// that does not add up is reported as damaged, never read past.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvel::engine {

// Reads `size` bytes at `offset` of the open file `fd` into `out`, retrying short reads; false
// when the file does not hold them all or a read fails.
bool ReadFully(int fd, std::uint64_t offset, std::size_t size, std::string& out);

// The bytes of an archive, wherever they are.
class ArchiveBytes {
 public:
  virtual ~ArchiveBytes() = default;
  virtual std::uint64_t Size() const = 0;
  // `size` bytes at `offset` into `out`; false when the archive does not hold them all.
  virtual bool ReadAt(std::uint64_t offset, std::size_t size, std::string& out) const = 0;
};

// An open file of `size` bytes; the caller keeps `fd` open.
class FileBytes : public ArchiveBytes {
 public:
  FileBytes(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, std::size_t size, std::string& out) const override;

 private:
  int fd_;
  std::uint64_t size_;
};

// Bytes in memory, which must outlive this.
class MemoryBytes : public ArchiveBytes {
 public:
  explicit MemoryBytes(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(std::uint64_t offset, std::size_t size, std::string& out) const override;

 private:
  std::string_view bytes_;
};

// The end record's fields.
struct EndRecord {
  std::uint64_t position = 0;  // of its signature in the file
  std::uint16_t this_disk = 0;
  std::uint16_t directory_disk = 0;
  std::uint16_t entries = 0;  // on all disks
  std::uint32_t directory_size = 0;
  std::uint32_t directory_offset = 0;  // as recorded: bytes glued in front are not counted

  bool OnOneDisk() const { return this_disk == 0 && directory_disk == 0; }
  // Bytes in front of the archive that its offsets leave out: where the directory ends (the
  // record) less where the record says it ends. Nothing when the record claims more than that.
  std::optional<std::uint64_t> UncountedPrefix() const;
};

// The last end record in the archive's last 64 KiB and 22 bytes (its comment and itself) that is
// whole; nothing when there is none.
std::optional<EndRecord> FindEndRecord(const ArchiveBytes& archive);

// The central directory's bytes where `end` puts them; nothing when they are not all in the
// archive or there are more than `max_size`.
std::optional<std::string> ReadCentralDirectory(const ArchiveBytes& archive, const EndRecord& end,
                                                std::uint64_t max_size);

// One central header's fields that the engines use.
struct CentralEntry {
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t crc = 0;
  std::uint32_t compressed_size = 0;
  std::uint32_t size = 0;
  std::uint32_t local_offset = 0;
  std::string_view name;  // the raw bytes, within the directory
};

// The central headers of a directory's bytes, one at a time.
class CentralHeaders {
 public:
  // `directory` must outlive this and the entries it gives; `count` is the end record's.
  CentralHeaders(std::string_view directory, std::uint32_t count)
      : directory_(directory), left_(count) {}

  // The next of the `count` headers; nothing after the last, or at one that is damaged: without
  // its signature, or with a name, extra field or comment running past the directory.
  std::optional<CentralEntry> Next();
  bool Damaged() const { return damaged_; }

 private:
  std::string_view directory_;
  std::uint32_t left_;
  std::size_t at_ = 0;
  bool damaged_ = false;
};

}  // namespace korvel::engine
