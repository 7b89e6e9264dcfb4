// How much an adapted JAR grew against its original, and how much of that the adaptation
// added: the entries only the adapted JAR has (the injected classes, the Nokia classes, their
// folders), headers included, and any growth of the manifest. Shared by the tests and the job
// benchmark; standard library only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "archive/ZipFormat.h"

namespace korvel::test {

// An archive's entries by name: the bytes each takes in the archive (both headers and the data).
inline std::map<std::string, std::int64_t> EntryBytes(const std::string& archive) {
  std::ifstream in(archive, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::map<std::string, std::int64_t> entries;
  const std::size_t end = bytes.rfind(zip::EndSignatureBytes());
  if (end == std::string::npos || end + zip::kEndRecordSize > bytes.size()) return entries;
  std::size_t at = zip::Read32(bytes, end + zip::kEndDirectoryOffset);
  for (std::uint32_t left = zip::Read16(bytes, end + zip::kEndTotalEntries); left > 0; --left) {
    if (at + zip::kCentralHeaderSize > bytes.size()) break;
    const std::size_t name = zip::Read16(bytes, at + zip::kCentralNameLength);
    const std::size_t extra = zip::Read16(bytes, at + zip::kCentralExtraLength);
    const std::size_t comment = zip::Read16(bytes, at + zip::kCentralCommentLength);
    const std::size_t local = zip::Read32(bytes, at + zip::kCentralLocalOffset);
    std::int64_t size = zip::kCentralHeaderSize + name + extra + comment +
                        zip::Read32(bytes, at + zip::kCentralCompressedSize);
    if (local + zip::kLocalHeaderSize <= bytes.size()) {
      size += static_cast<std::int64_t>(zip::kLocalHeaderSize + zip::Read16(bytes, local + 26) +
                                        zip::Read16(bytes, local + 28));
    }
    entries[bytes.substr(at + zip::kCentralHeaderSize, name)] = size;
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
