// Zip archives written byte by byte, so that tests can make what a well-behaved writer refuses
// ("../evil" names, odd hosts and flags, comments, sizes that lie). Entries are stored, unless
// they bring their data compressed already.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "archive/ZipFormat.h"

namespace korvel::test {

inline constexpr std::uint32_t kDosDate1980 = 0x00210000;  // 1980-01-01 00:00
inline constexpr std::uint32_t kDosDate2020 = 0x50210000;  // 2020-01-01 00:00

struct RawEntry {
  std::string name;
  std::string data;
  std::uint8_t host = 0;      // host system of "version made by"
  std::uint8_t made_by = 20;  // version of "version made by"
  std::uint16_t flags = 0;
  std::string comment = {};
  std::uint32_t dos_date_time = kDosDate1980;
  // For data compressed already (method 8): the method, and the size and CRC-32 of what it
  // expands to. Method 0 takes both from `data`.
  std::uint16_t method = 0;
  std::uint32_t size = 0;
  std::uint32_t crc = 0;
};

inline std::uint32_t Crc32(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// The fields both headers of an entry hold.
inline zip::CommonHeaderFields StoredFields(const RawEntry& e) {
  zip::CommonHeaderFields f;
  f.version_needed = e.method == 0 ? 10 : 20;
  f.flags = e.flags;
  f.method = e.method;
  f.dos_time = e.dos_date_time;
  f.crc = e.method == 0 ? Crc32(e.data) : e.crc;
  f.compressed_size = static_cast<std::uint32_t>(e.data.size());
  f.size = e.method == 0 ? f.compressed_size : e.size;
  f.name_length = static_cast<std::uint16_t>(e.name.size());
  return f;
}

// A complete archive of `entries` with `comment`; the names are written as given (bytes). A name
// ending in "/" gets the folder attribute.
inline std::string MakeZip(const std::vector<RawEntry>& entries, const std::string& comment = "") {
  std::string out;
  std::vector<std::uint32_t> offsets;
  for (const RawEntry& e : entries) {
    offsets.push_back(static_cast<std::uint32_t>(out.size()));
    out += zip::LocalHeader(StoredFields(e)) + e.name + e.data;
  }
  const auto central = static_cast<std::uint32_t>(out.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const RawEntry& e = entries[i];
    zip::CentralHeaderFields c;
    c.made_by = static_cast<std::uint16_t>(e.made_by | e.host << 8);
    c.comment_length = static_cast<std::uint16_t>(e.comment.size());
    c.external_attributes = !e.name.empty() && e.name.back() == '/' ? 0x10 : 0;
    c.local_offset = offsets[i];
    out += zip::CentralHeader(StoredFields(e), c) + e.name + e.comment;
  }
  const auto central_size = static_cast<std::uint32_t>(out.size()) - central;
  out += zip::EndRecord(static_cast<std::uint32_t>(entries.size()), central_size, central,
                        static_cast<std::uint32_t>(comment.size()));
  return out + comment;
}

}  // namespace korvel::test
