// The zip records this program reads and writes: signatures, fixed sizes and field offsets, and
// little-endian helpers. Shared by the archive component, the engines and the tests; header-only.
#pragma once

#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>

namespace korvel::zip {

// The local time a DOS date (high 16 bits) and time (low 16 bits) stand for.
inline std::time_t FromDosDateTime(std::uint32_t dos_date_time) {
  const std::uint32_t date = dos_date_time >> 16;
  const std::uint32_t time = dos_date_time & 0xFFFF;
  std::tm local{};
  local.tm_year = static_cast<int>((date >> 9) & 0x7F) + 80;
  local.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
  local.tm_mday = static_cast<int>(date & 0x1F);
  local.tm_hour = static_cast<int>((time >> 11) & 0x1F);
  local.tm_min = static_cast<int>((time >> 5) & 0x3F);
  local.tm_sec = static_cast<int>((time & 0x1F) * 2);
  local.tm_isdst = -1;
  return std::mktime(&local);
}

// Record signatures, as little-endian 32-bit numbers ("PK" and two bytes).
inline constexpr std::uint32_t kLocalSignature = 0x04034B50;
inline constexpr std::uint32_t kCentralSignature = 0x02014B50;
inline constexpr std::uint32_t kEndSignature = 0x06054B50;
// The first four bytes of a spanned archive's first volume, ahead of its first local header.
inline constexpr std::uint32_t kSpanSignature = 0x08074B50;

// Fixed parts of the records; names, extra fields and comments follow them.
inline constexpr std::size_t kLocalHeaderSize = 30;
inline constexpr std::size_t kCentralHeaderSize = 46;
inline constexpr std::size_t kEndRecordSize = 22;
inline constexpr std::size_t kMaxCommentSize = 0xFFFF;

// Offsets in the local header that readers of a written archive need.
inline constexpr std::size_t kLocalCompressedSize = 18;
inline constexpr std::size_t kLocalNameLength = 26;
inline constexpr std::size_t kLocalExtraLength = 28;

// Offsets in the central header.
inline constexpr std::size_t kCentralMadeBy = 4;  // version, then host system
inline constexpr std::size_t kCentralHost = 5;
inline constexpr std::size_t kCentralVersionNeeded = 6;
inline constexpr std::size_t kCentralFlags = 8;
inline constexpr std::size_t kCentralMethod = 10;
inline constexpr std::size_t kCentralDosTime = 12;
inline constexpr std::size_t kCentralCrc = 16;
inline constexpr std::size_t kCentralCompressedSize = 20;
inline constexpr std::size_t kCentralSize = 24;
inline constexpr std::size_t kCentralNameLength = 28;
inline constexpr std::size_t kCentralExtraLength = 30;
inline constexpr std::size_t kCentralCommentLength = 32;
inline constexpr std::size_t kCentralDisk = 34;
inline constexpr std::size_t kCentralInternalAttributes = 36;
inline constexpr std::size_t kCentralExternalAttributes = 38;
inline constexpr std::size_t kCentralLocalOffset = 42;

// Offsets in the end record.
inline constexpr std::size_t kEndThisDisk = 4;
inline constexpr std::size_t kEndDirectoryDisk = 6;
inline constexpr std::size_t kEndTotalEntries = 10;
inline constexpr std::size_t kEndDirectorySize = 12;
inline constexpr std::size_t kEndDirectoryOffset = 16;
inline constexpr std::size_t kEndCommentLength = 20;

inline std::uint16_t Read16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t Read32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline std::uint16_t Read16(const std::string& bytes, std::size_t at) {
  return Read16(reinterpret_cast<const unsigned char*>(bytes.data()) + at);
}
inline std::uint32_t Read32(const std::string& bytes, std::size_t at) {
  return Read32(reinterpret_cast<const unsigned char*>(bytes.data()) + at);
}

inline void Put16(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}
inline void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// The end record's signature as it stands in a file.
inline std::string EndSignatureBytes() {
  std::string bytes;
  Put32(bytes, kEndSignature);
  return bytes;
}

// The fields the local and central headers share, in the order both hold them (from "version
// needed" to the extra field's length).
struct CommonHeaderFields {
  std::uint16_t version_needed = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t dos_time = 0;  // time in the low, date in the high half
  std::uint32_t crc = 0;
  std::uint32_t compressed_size = 0;
  std::uint32_t size = 0;
  std::uint16_t name_length = 0;
  std::uint16_t extra_length = 0;
};

inline void PutCommonFields(std::string& out, const CommonHeaderFields& f) {
  Put16(out, f.version_needed);
  Put16(out, f.flags);
  Put16(out, f.method);
  Put32(out, f.dos_time);
  Put32(out, f.crc);
  Put32(out, f.compressed_size);
  Put32(out, f.size);
  Put16(out, f.name_length);
  Put16(out, f.extra_length);
}

// A local header without its name.
inline std::string LocalHeader(const CommonHeaderFields& f) {
  std::string out;
  Put32(out, kLocalSignature);
  PutCommonFields(out, f);
  return out;
}

// The central header's own fields, after the common ones.
struct CentralHeaderFields {
  std::uint16_t made_by = 0;  // version in the low, host system in the high byte
  std::uint16_t comment_length = 0;
  std::uint16_t disk = 0;
  std::uint16_t internal_attributes = 0;
  std::uint32_t external_attributes = 0;
  std::uint32_t local_offset = 0;
};

// A central header without its name, extra field and comment.
inline std::string CentralHeader(const CommonHeaderFields& f, const CentralHeaderFields& c) {
  std::string out;
  Put32(out, kCentralSignature);
  Put16(out, c.made_by);
  PutCommonFields(out, f);
  Put16(out, c.comment_length);
  Put16(out, c.disk);
  Put16(out, c.internal_attributes);
  Put32(out, c.external_attributes);
  Put32(out, c.local_offset);
  return out;
}

// An end record for a single-disk archive, without its comment.
inline std::string EndRecord(std::uint32_t entries, std::uint32_t directory_size,
                             std::uint32_t directory_offset, std::uint32_t comment_length) {
  std::string out;
  Put32(out, kEndSignature);
  Put16(out, 0);  // this disk
  Put16(out, 0);  // the disk the directory starts on
  Put16(out, entries);
  Put16(out, entries);
  Put32(out, directory_size);
  Put32(out, directory_offset);
  Put16(out, comment_length);
  return out;
}

}  // namespace korvel::zip
