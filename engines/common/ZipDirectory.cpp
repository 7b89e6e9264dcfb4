// The end record and central directory, read with every length checked against the bytes.
#include "engines/common/ZipDirectory.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "archive/ZipFormat.h"

namespace korvel::engine {

namespace {

const unsigned char* Bytes(std::string_view text, std::size_t at) {
  return reinterpret_cast<const unsigned char*>(text.data()) + at;
}

EndRecord ParseEndRecord(std::string_view tail, std::size_t at, std::uint64_t position) {
  const unsigned char* record = Bytes(tail, at);
  EndRecord end;
  end.position = position;
  end.this_disk = zip::Read16(record + zip::kEndThisDisk);
  end.directory_disk = zip::Read16(record + zip::kEndDirectoryDisk);
  end.entries = zip::Read16(record + zip::kEndTotalEntries);
  end.directory_size = zip::Read32(record + zip::kEndDirectorySize);
  end.directory_offset = zip::Read32(record + zip::kEndDirectoryOffset);
  return end;
}

}  // namespace

bool ReadFully(int fd, std::uint64_t offset, std::size_t size, std::string& out) {
  out.resize(size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got =
        ::pread(fd, out.data() + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

bool FileBytes::ReadAt(std::uint64_t offset, std::size_t size, std::string& out) const {
  return ReadFully(fd_, offset, size, out);
}

bool MemoryBytes::ReadAt(std::uint64_t offset, std::size_t size, std::string& out) const {
  if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
  out.assign(bytes_.substr(static_cast<std::size_t>(offset), size));
  return true;
}

std::optional<std::uint64_t> EndRecord::UncountedPrefix() const {
  const std::uint64_t counted = std::uint64_t{directory_size} + directory_offset;
  if (counted >= position) return std::nullopt;
  return position - counted;
}

std::optional<EndRecord> FindEndRecord(const ArchiveBytes& archive) {
  const std::uint64_t size = archive.Size();
  const std::uint64_t tail_size =
      std::min<std::uint64_t>(size, zip::kEndRecordSize + zip::kMaxCommentSize);
  std::string tail;
  if (tail_size < zip::kEndRecordSize ||
      !archive.ReadAt(size - tail_size, static_cast<std::size_t>(tail_size), tail))
    return std::nullopt;
  // Searched backwards from the last place a whole record fits.
  for (std::size_t at = tail.size() - zip::kEndRecordSize + 1; at-- > 0;) {
    if (zip::Read32(Bytes(tail, at)) == zip::kEndSignature)
      return ParseEndRecord(tail, at, size - tail_size + at);
  }
  return std::nullopt;
}

std::optional<std::string> ReadCentralDirectory(const ArchiveBytes& archive, const EndRecord& end,
                                                std::uint64_t max_size) {
  std::string directory;
  if (end.directory_size > max_size ||
      !archive.ReadAt(end.directory_offset, end.directory_size, directory))
    return std::nullopt;
  return directory;
}

std::optional<CentralEntry> CentralHeaders::Next() {
  if (left_ == 0 || damaged_) return std::nullopt;
  const std::size_t room = directory_.size() - at_;
  if (room < zip::kCentralHeaderSize ||
      zip::Read32(Bytes(directory_, at_)) != zip::kCentralSignature) {
    damaged_ = true;
    return std::nullopt;
  }
  const unsigned char* header = Bytes(directory_, at_);
  const std::size_t name_length = zip::Read16(header + zip::kCentralNameLength);
  const std::size_t record_size = zip::kCentralHeaderSize + name_length +
                                  zip::Read16(header + zip::kCentralExtraLength) +
                                  zip::Read16(header + zip::kCentralCommentLength);
  if (record_size > room) {
    damaged_ = true;
    return std::nullopt;
  }
  CentralEntry entry;
  entry.flags = zip::Read16(header + zip::kCentralFlags);
  entry.method = zip::Read16(header + zip::kCentralMethod);
  entry.crc = zip::Read32(header + zip::kCentralCrc);
  entry.compressed_size = zip::Read32(header + zip::kCentralCompressedSize);
  entry.size = zip::Read32(header + zip::kCentralSize);
  entry.local_offset = zip::Read32(header + zip::kCentralLocalOffset);
  entry.name = directory_.substr(at_ + zip::kCentralHeaderSize, name_length);
  at_ += record_size;
  --left_;
  return entry;
}

}  // namespace korvel::engine
