// Names of unpacked entries on disk.
#include "engines/unpkeng/EntryNames.h"

#include <algorithm>
#include <string_view>

#include "platform/CodePage.h"

namespace korvel::engine {
namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80         ? 1
                               : (lead >> 5) == 6  ? 2
                               : (lead >> 4) == 14 ? 3
                               : (lead >> 3) == 30 ? 4
                                                   : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += length;
  }
  return true;
}

}  // namespace

std::string DiskName(zip_t* archive, zip_uint64_t index, const std::string& raw) {
  if (IsAscii(raw) || IsValidUtf8(raw)) return raw;
  zip_uint8_t opsys = ZIP_OPSYS_DEFAULT;
  zip_file_get_external_attributes(archive, index, 0, &opsys, nullptr);
  if (opsys == ZIP_OPSYS_DOS || opsys == ZIP_OPSYS_OS_2)
    return platform::ToUtf8(raw, platform::CodePage::kOem866);
  return raw;
}

std::string ParentOf(const std::string& rel) {
  const std::size_t slash = rel.find_last_of('/');
  return slash == std::string::npos ? std::string() : rel.substr(0, slash);
}

std::string BaseOf(const std::string& rel) {
  const std::size_t slash = rel.find_last_of('/');
  return slash == std::string::npos ? rel : rel.substr(slash + 1);
}

bool IsFolderName(std::string_view raw) {
  return !raw.empty() && (raw.back() == '/' || raw.back() == '\\');
}

}  // namespace korvel::engine
