// Handset key layouts.
#include "settings/KeyLayout.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace korvel {

const std::array<KeyLayout, 3>& KnownKeyLayouts() {
  static const std::array<KeyLayout, 3> layouts = {{
      {"6-7", {-6, -7, -5, -1, -2, -3, -4}},
      {"1-4", {-1, -4, -26, -59, -60, -61, -62}},
      {"21-22", {-21, -22, -20, -1, -6, -2, -5}},
  }};
  return layouts;
}

namespace {

std::string Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return lower;
}

KeyLayout CustomLayout(std::string_view list) {
  KeyLayout layout;
  std::size_t count = 0;
  while (true) {
    const std::size_t comma = list.find(',');
    std::string_view item = list.substr(0, comma);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    int code = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), code);
    if (item.empty() || error != std::errc() || end != item.data() + item.size()) {
      throw KeyLayoutError("\"" + std::string(item) + "\" is not a key code");
    }
    if (count == kLayoutKeyCount) throw KeyLayoutError("a custom layout has seven codes");
    layout.codes[count++] = code;
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  if (count != kLayoutKeyCount) throw KeyLayoutError("a custom layout has seven codes");
  if (std::set<int>(layout.codes.begin(), layout.codes.end()).size() != kLayoutKeyCount) {
    throw KeyLayoutError("the seven codes of a custom layout must differ");
  }
  layout.name = "custom:";
  for (std::size_t i = 0; i < kLayoutKeyCount; ++i) {
    layout.name += (i ? "," : "") + std::to_string(layout.codes[i]);
  }
  return layout;
}

}  // namespace

std::optional<KeyLayout> ParseKeyLayout(std::string_view text) {
  const std::string wanted = Trimmed(text);
  if (wanted == "none") return std::nullopt;
  for (const KeyLayout& layout : KnownKeyLayouts()) {
    if (wanted == layout.name) return layout;
  }
  constexpr std::string_view kCustom = "custom:";
  if (wanted.rfind(kCustom, 0) == 0)
    return CustomLayout(std::string_view(wanted).substr(kCustom.size()));
  throw KeyLayoutError("\"" + std::string(text) +
                       "\" is no key layout: none, 6-7, 1-4, 21-22 or custom: and seven codes");
}

std::string KeyLayoutName(const std::optional<KeyLayout>& layout) {
  return layout ? layout->name : "none";
}

}  // namespace korvel
