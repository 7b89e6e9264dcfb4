// How much an adapted JAR grew against its original, and how much of that the adaptation
// added: the entries only the adapted JAR has (the injected classes, the Nokia classes, their
// folders), headers included, and any growth of the manifest. Shared by the tests and the job
// benchmark; standard library only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <string>

#include "archive/ZipFormat.h"

namespace korvel::test {

// `size` bytes of `in` from `offset`; fewer at the end of the file.
inline std::string ReadSpan(std::ifstream& in, std::uint64_t offset, std::size_t size) {
  std::string bytes(size, '\0');
  in.clear();
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return bytes;
}

// An archive's entries by name: the bytes each takes in the archive (both headers and the data).
// Reads the directory and the local headers only, so that a large archive costs little memory.
inline std::map<std::string, std::int64_t> EntryBytes(const std::string& archive) {
  std::ifstream in(archive, std::ios::binary | std::ios::ate);
  std::map<std::string, std::int64_t> entries;
  const auto file_size = static_cast<std::uint64_t>(std::max<std::streamoff>(in.tellg(), 0));
  const std::uint64_t tail_at =
      file_size - std::min<std::uint64_t>(file_size, zip::kEndRecordSize + zip::kMaxCommentSize);
  const std::string tail = ReadSpan(in, tail_at, static_cast<std::size_t>(file_size - tail_at));
  const std::size_t end = tail.rfind(zip::EndSignatureBytes());
  if (end == std::string::npos || end + zip::kEndRecordSize > tail.size()) return entries;
  const std::string directory = ReadSpan(in, zip::Read32(tail, end + zip::kEndDirectoryOffset),
                                         zip::Read32(tail, end + zip::kEndDirectorySize));
  std::size_t at = 0;
  for (std::uint32_t left = zip::Read16(tail, end + zip::kEndTotalEntries); left > 0; --left) {
    if (at + zip::kCentralHeaderSize > directory.size()) break;
    const std::size_t name = zip::Read16(directory, at + zip::kCentralNameLength);
    const std::size_t extra = zip::Read16(directory, at + zip::kCentralExtraLength);
    const std::size_t comment = zip::Read16(directory, at + zip::kCentralCommentLength);
    std::int64_t size =
        static_cast<std::int64_t>(zip::kCentralHeaderSize + name + extra + comment +
                                  zip::Read32(directory, at + zip::kCentralCompressedSize));
    const std::string local =
        ReadSpan(in, zip::Read32(directory, at + zip::kCentralLocalOffset), zip::kLocalHeaderSize);
    if (local.size() == zip::kLocalHeaderSize) {
      size += static_cast<std::int64_t>(zip::kLocalHeaderSize +
                                        zip::Read16(local, zip::kLocalNameLength) +
                                        zip::Read16(local, zip::kLocalExtraLength));
    }
    entries[directory.substr(at + zip::kCentralHeaderSize, name)] = size;
    at += zip::kCentralHeaderSize + name + extra + comment;
  }
  return entries;
}

struct JarGrowth {
  std::int64_t growth = 0;  // adapted size less the original's
  std::int64_t added = 0;   // what the adaptation added (see above)
  // Growth the additions do not account for; the promise is that it is never above 0.
  std::int64_t Beyond() const { return growth - added; }
};

inline JarGrowth MeasureJarGrowth(const std::string& original, const std::string& adapted) {
  const auto before = EntryBytes(original);
  const auto after = EntryBytes(adapted);
  JarGrowth result;
  auto file_size = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return static_cast<std::int64_t>(in.tellg());
  };
  result.growth = file_size(adapted) - file_size(original);
  for (const auto& [name, size] : after) {
    const auto old = before.find(name);
    if (old == before.end()) {
      result.added += size;
    } else if (name == "META-INF/MANIFEST.MF") {
      result.added += std::max<std::int64_t>(0, size - old->second);
    }
  }
  return result;
}

}  // namespace korvel::test
