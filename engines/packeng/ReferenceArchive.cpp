// The reference archive's directory, read with plain reads, and its entries' bytes.
#include "engines/packeng/ReferenceArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "archive/ZipFormat.h"

namespace korvel::engine {

namespace {

constexpr std::uint16_t kMethodDeflated = 8;
constexpr std::uint16_t kFlagEncrypted = 1;
constexpr std::uint32_t kZip64Marker = 0xFFFFFFFF;
// Beyond this the directory is not taken in: a reference only saves bytes.
constexpr std::uint64_t kMaxDirectorySize = 64 << 20;

// `size` bytes at `offset`; false when the file does not hold them all.
bool ReadAt(int fd, std::uint64_t offset, std::size_t size, std::string& out) {
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

// One entry's compressed bytes, read in place.
class RawSource : public EntrySource {
 public:
  RawSource(int fd, std::uint64_t start, std::uint64_t size)
      : fd_(fd), start_(start), size_(size) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, size_ - done_));
    if (want == 0) return 0;
    for (;;) {
      const ssize_t got = ::pread(fd_, buffer, want, static_cast<off_t>(start_ + done_));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) throw SourceReadError(ErrnoText(errno));
      if (got == 0) throw SourceReadError("the reference archive ends early");
      done_ += static_cast<std::uint64_t>(got);
      return static_cast<std::size_t>(got);
    }
  }
  void Rewind() override { done_ = 0; }

 private:
  int fd_;
  std::uint64_t start_, size_, done_ = 0;
};

}  // namespace

void ReferenceArchive::Open(const std::string& path) {
  fd_ = UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd_.Valid() || ::fstat(fd_.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  file_size_ = static_cast<std::uint64_t>(st.st_size);
  if (!ReadDirectory()) {
    entries_.clear();
    names_.clear();
  }
  std::sort(entries_.begin(), entries_.end(),
            [this](const Entry& a, const Entry& b) { return NameOf(a) < NameOf(b); });
}

bool ReferenceArchive::ReadDirectory() {
  // The end record is within the last 64 KiB (its comment) and 22 bytes.
  const std::uint64_t tail_size =
      std::min<std::uint64_t>(file_size_, zip::kEndRecordSize + zip::kMaxCommentSize);
  std::string tail;
  if (!ReadAt(fd_.Get(), file_size_ - tail_size, static_cast<std::size_t>(tail_size), tail))
    return false;
  const std::size_t end = tail.rfind(zip::EndSignatureBytes());
  if (end == std::string::npos || end + zip::kEndRecordSize > tail.size()) return false;
  if (zip::Read16(tail, end + zip::kEndThisDisk) != 0 ||
      zip::Read16(tail, end + zip::kEndDirectoryDisk) != 0)
    return false;
  const std::uint32_t count = zip::Read16(tail, end + zip::kEndTotalEntries);
  const std::uint64_t directory_size = zip::Read32(tail, end + zip::kEndDirectorySize);
  const std::uint64_t directory_at = zip::Read32(tail, end + zip::kEndDirectoryOffset);
  std::string directory;
  if (directory_size > kMaxDirectorySize ||
      !ReadAt(fd_.Get(), directory_at, static_cast<std::size_t>(directory_size), directory))
    return false;
  std::size_t at = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (at + zip::kCentralHeaderSize > directory.size() ||
        zip::Read32(directory, at) != zip::kCentralSignature)
      return false;
    const std::uint16_t name_length = zip::Read16(directory, at + zip::kCentralNameLength);
    const std::size_t next = at + zip::kCentralHeaderSize + name_length +
                             zip::Read16(directory, at + zip::kCentralExtraLength) +
                             zip::Read16(directory, at + zip::kCentralCommentLength);
    if (next > directory.size()) return false;
    Entry entry;
    entry.crc = zip::Read32(directory, at + zip::kCentralCrc);
    entry.size = zip::Read32(directory, at + zip::kCentralSize);
    entry.compressed_size = zip::Read32(directory, at + zip::kCentralCompressedSize);
    entry.local_offset = zip::Read32(directory, at + zip::kCentralLocalOffset);
    const bool usable = zip::Read16(directory, at + zip::kCentralMethod) == kMethodDeflated &&
                        (zip::Read16(directory, at + zip::kCentralFlags) & kFlagEncrypted) == 0 &&
                        entry.size != kZip64Marker && entry.compressed_size != kZip64Marker &&
                        entry.local_offset != kZip64Marker;
    if (usable) {
      entry.name_at = static_cast<std::uint32_t>(names_.size());
      entry.name_length = name_length;
      names_.append(directory, at + zip::kCentralHeaderSize, name_length);
      entries_.push_back(entry);
    }
    at = next;
  }
  return true;
}

std::optional<OriginalEntry> ReferenceArchive::Find(const std::string& name,
                                                    std::uint64_t size) const {
  const auto found = std::lower_bound(
      entries_.begin(), entries_.end(), name,
      [this](const Entry& entry, const std::string& key) { return NameOf(entry) < key; });
  if (found == entries_.end() || NameOf(*found) != name || found->size != size) return std::nullopt;
  const Entry entry = *found;
  const int fd = fd_.Get();
  const std::uint64_t file_size = file_size_;
  return OriginalEntry{
      entry.crc, entry.size, entry.compressed_size,
      [fd, file_size, entry, name]() -> std::unique_ptr<EntrySource> {
        // The local header must be where the directory says, for the same name.
        std::string header;
        if (!ReadAt(fd, entry.local_offset, zip::kLocalHeaderSize + name.size(), header) ||
            zip::Read32(header, 0) != zip::kLocalSignature ||
            zip::Read16(header, zip::kLocalNameLength) != name.size() ||
            header.compare(zip::kLocalHeaderSize, name.size(), name) != 0)
          throw SourceReadError("the reference archive's entry " + name + " cannot be read");
        const std::uint64_t start = entry.local_offset + zip::kLocalHeaderSize + name.size() +
                                    zip::Read16(header, zip::kLocalExtraLength);
        if (start + entry.compressed_size > file_size)
          throw SourceReadError("the reference archive ends early");
        return std::make_unique<RawSource>(fd, start, entry.compressed_size);
      }};
}

}  // namespace korvel::engine
