// The reference archive's directory, read with the engines' directory reader, and its entries'
// bytes.
#include "engines/packeng/ReferenceArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "archive/ZipFormat.h"
#include "engines/common/ZipDirectory.h"

namespace korvel::engine {

namespace {

constexpr std::uint16_t kMethodDeflated = 8;
constexpr std::uint16_t kFlagEncrypted = 1;
constexpr std::uint32_t kZip64Marker = 0xFFFFFFFF;
// Beyond this the directory is not taken in: a reference only saves bytes.
constexpr std::uint64_t kMaxDirectorySize = 64 << 20;

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
  const FileBytes archive(fd_.Get(), file_size_);
  const std::optional<EndRecord> end = FindEndRecord(archive);
  if (!end || !end->OnOneDisk()) return false;
  const std::optional<std::string> directory =
      ReadCentralDirectory(archive, *end, kMaxDirectorySize);
  if (!directory) return false;
  CentralHeaders headers(*directory, end->entries);
  while (const std::optional<CentralEntry> header = headers.Next()) {
    const bool usable = header->method == kMethodDeflated &&
                        (header->flags & kFlagEncrypted) == 0 && header->size != kZip64Marker &&
                        header->compressed_size != kZip64Marker &&
                        header->local_offset != kZip64Marker;
    if (!usable) continue;
    Entry entry;
    entry.name_at = static_cast<std::uint32_t>(names_.size());
    entry.name_length = static_cast<std::uint16_t>(header->name.size());
    entry.crc = header->crc;
    entry.size = header->size;
    entry.compressed_size = header->compressed_size;
    entry.local_offset = header->local_offset;
    names_.append(header->name);
    entries_.push_back(entry);
  }
  return !headers.Damaged();
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
        if (!ReadFully(fd, entry.local_offset, zip::kLocalHeaderSize + name.size(), header) ||
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
