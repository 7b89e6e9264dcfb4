// Byte-level rewrites of compiled classes.
#include "pipeline/ClassPatcher.h"

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/Files.h"

namespace korvel {

namespace {

// The bytes in which a search may find a match: every window of `text_length` bytes that ends
// before the last byte of the file. Empty when the file is not longer than the text.
std::string_view SearchArea(const std::string& content, std::size_t text_length) {
  if (text_length == 0 || content.size() <= text_length) return {};
  return std::string_view(content).substr(0, content.size() - 1);
}

}  // namespace

bool PatchClassFile(const std::string& file_name, std::string_view search_text,
                    std::string_view replace_text) {
  if (search_text.size() != replace_text.size()) {
    throw std::invalid_argument("PatchClassFile: search and replacement differ in length");
  }
  platform::BinaryFile file(file_name, platform::BinaryFile::Mode::kReadWrite);
  std::string content = file.ReadAll();
  const std::string_view area = SearchArea(content, search_text.size());

  // The view looks at `content`, so each window is seen after earlier replacements, as a
  // position-by-position scan of the file would see it.
  std::vector<std::pair<std::size_t, std::size_t>> changed;  // merged [begin, end) ranges
  for (std::size_t pos = area.find(search_text); pos != std::string_view::npos;
       pos = area.find(search_text, pos + 1)) {
    content.replace(pos, replace_text.size(), replace_text);
    const std::size_t end = pos + replace_text.size();
    if (!changed.empty() && changed.back().second >= pos) {
      changed.back().second = std::max(changed.back().second, end);
    } else {
      changed.emplace_back(pos, end);
    }
  }
  for (const auto& [begin, end] : changed) {
    file.WriteAt(begin, std::string_view(content).substr(begin, end - begin));
  }
  file.Close();
  return !changed.empty();
}

bool FileContainsText(const std::string& file_name, std::string_view text) {
  platform::BinaryFile file(file_name, platform::BinaryFile::Mode::kReadWrite);
  const std::string content = file.ReadAll();
  file.Close();
  return SearchArea(content, text.size()).find(text) != std::string_view::npos;
}

}  // namespace korvel
