// Reading a zip archive held in memory.
#include "pipeline/ZipInMemory.h"

#include <zlib.h>

#include "archive/ZipFormat.h"

namespace korvel {

namespace {

constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
// No entry of ours comes near this; more means the directory is wrong.
constexpr std::uint32_t kMaxEntrySize = 16u << 20;

const unsigned char* At(std::string_view bytes, std::size_t offset, std::size_t size) {
  if (offset > bytes.size() || size > bytes.size() - offset) {
    throw ZipFormatError("the archive ends inside a record");
  }
  return reinterpret_cast<const unsigned char*>(bytes.data()) + offset;
}

std::size_t FindEndRecord(std::string_view bytes) {
  if (bytes.size() < zip::kEndRecordSize) throw ZipFormatError("not a zip archive");
  for (std::size_t at = bytes.size() - zip::kEndRecordSize + 1; at-- > 0;) {
    if (zip::Read32(At(bytes, at, 4)) == zip::kEndSignature) return at;
    if (bytes.size() - at > zip::kEndRecordSize + zip::kMaxCommentSize) break;
  }
  throw ZipFormatError("not a zip archive");
}

std::string Inflate(std::string_view packed, std::uint32_t size) {
  std::string out(size, '\0');
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) throw ZipFormatError("zlib cannot start");
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  z.avail_in = static_cast<uInt>(packed.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int result = inflate(&z, Z_FINISH);
  const bool whole = result == Z_STREAM_END && z.total_out == size;
  inflateEnd(&z);
  if (!whole) throw ZipFormatError("an entry does not expand to its size");
  return out;
}

// The data of the entry whose local header is at `local`.
std::string EntryData(std::string_view bytes, std::size_t local, std::uint16_t method,
                      std::uint32_t packed, std::uint32_t size) {
  const unsigned char* header = At(bytes, local, zip::kLocalHeaderSize);
  if (zip::Read32(header) != zip::kLocalSignature)
    throw ZipFormatError("a local header is missing");
  const std::size_t start = local + zip::kLocalHeaderSize +
                            zip::Read16(header + zip::kLocalNameLength) +
                            zip::Read16(header + zip::kLocalExtraLength);
  const std::string_view data(reinterpret_cast<const char*>(At(bytes, start, packed)), packed);
  if (method == kStored) {
    if (packed != size) throw ZipFormatError("a stored entry's sizes differ");
    return std::string(data);
  }
  if (method != kDeflated) throw ZipFormatError("an entry is packed in an unknown way");
  return Inflate(data, size);
}

}  // namespace

std::vector<ZipFileEntry> ReadZipFiles(std::string_view bytes) {
  const unsigned char* end = At(bytes, FindEndRecord(bytes), zip::kEndRecordSize);
  const std::uint16_t count = zip::Read16(end + zip::kEndTotalEntries);
  std::size_t at = zip::Read32(end + zip::kEndDirectoryOffset);
  std::vector<ZipFileEntry> files;
  for (std::uint16_t i = 0; i < count; ++i) {
    const unsigned char* c = At(bytes, at, zip::kCentralHeaderSize);
    if (zip::Read32(c) != zip::kCentralSignature) throw ZipFormatError("the directory is damaged");
    const std::uint16_t name_length = zip::Read16(c + zip::kCentralNameLength);
    const std::size_t name_at = at + zip::kCentralHeaderSize;
    std::string name(reinterpret_cast<const char*>(At(bytes, name_at, name_length)), name_length);
    const std::uint32_t size = zip::Read32(c + zip::kCentralSize);
    const std::uint32_t crc = zip::Read32(c + zip::kCentralCrc);
    const std::uint32_t dos_time = zip::Read32(c + zip::kCentralDosTime);
    const std::uint16_t method = zip::Read16(c + zip::kCentralMethod);
    const std::uint32_t packed = zip::Read32(c + zip::kCentralCompressedSize);
    const std::uint32_t local = zip::Read32(c + zip::kCentralLocalOffset);
    at = name_at + name_length + zip::Read16(c + zip::kCentralExtraLength) +
         zip::Read16(c + zip::kCentralCommentLength);
    if (name.empty() || name.back() == '/') continue;
    if (size > kMaxEntrySize) throw ZipFormatError("an entry is larger than any of ours");
    std::string data = EntryData(bytes, local, method, packed, size);
    const auto* expanded = reinterpret_cast<const Bytef*>(data.data());
    if (crc32(0L, expanded, static_cast<uInt>(data.size())) != crc) {
      throw ZipFormatError(name + ": damaged (checksum)");
    }
    files.push_back({std::move(name), std::move(data), dos_time});
  }
  return files;
}

}  // namespace korvel
