// Zip archives written byte by byte, stored without compression, so that tests can make what a
// well-behaved writer refuses ("../evil" names, odd hosts and flags, comments).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

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
};

inline std::uint32_t Crc32(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

inline void Put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// A complete archive of `entries` with `comment`; the names are written as given (bytes). A name
// ending in "/" gets the folder attribute.
inline std::string MakeZip(const std::vector<RawEntry>& entries, const std::string& comment = "") {
  std::string out;
  std::vector<std::uint32_t> offsets;
  for (const RawEntry& e : entries) {
    offsets.push_back(static_cast<std::uint32_t>(out.size()));
    Put32(out, 0x04034B50);
    Put16(out, 10);
    Put16(out, e.flags);
    Put16(out, 0);
    Put32(out, e.dos_date_time);
    Put32(out, Crc32(e.data));
    Put32(out, static_cast<std::uint32_t>(e.data.size()));
    Put32(out, static_cast<std::uint32_t>(e.data.size()));
    Put16(out, static_cast<std::uint32_t>(e.name.size()));
    Put16(out, 0);
    out += e.name;
    out += e.data;
  }
  const auto central = static_cast<std::uint32_t>(out.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const RawEntry& e = entries[i];
    Put32(out, 0x02014B50);
    out += static_cast<char>(e.made_by);
    out += static_cast<char>(e.host);
    Put16(out, 10);
    Put16(out, e.flags);
    Put16(out, 0);
    Put32(out, e.dos_date_time);
    Put32(out, Crc32(e.data));
    Put32(out, static_cast<std::uint32_t>(e.data.size()));
    Put32(out, static_cast<std::uint32_t>(e.data.size()));
    Put16(out, static_cast<std::uint32_t>(e.name.size()));
    Put16(out, 0);
    Put16(out, static_cast<std::uint32_t>(e.comment.size()));
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, !e.name.empty() && e.name.back() == '/' ? 0x10 : 0);
    Put32(out, offsets[i]);
    out += e.name;
    out += e.comment;
  }
  const auto central_size = static_cast<std::uint32_t>(out.size()) - central;
  Put32(out, 0x06054B50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<std::uint32_t>(entries.size()));
  Put16(out, static_cast<std::uint32_t>(entries.size()));
  Put32(out, central_size);
  Put32(out, central);
  Put16(out, static_cast<std::uint32_t>(comment.size()));
  out += comment;
  return out;
}

}  // namespace korvel::test
