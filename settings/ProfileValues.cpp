// Integer and text conversions of profile values.
#include "settings/ProfileValues.h"

namespace korvel {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::int32_t StrToIntDef(std::string_view text, std::int32_t default_value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return default_value;

  bool hex = false;
  if (text.front() == '$') {
    hex = true;
    text.remove_prefix(1);
  } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    hex = true;
    text.remove_prefix(2);
  }
  if (text.empty()) return default_value;

  if (hex) {
    std::uint32_t value = 0;
    for (const char c : text) {
      const int digit = HexDigit(c);
      if (digit < 0 || value > 0x0FFFFFFFu) return default_value;
      value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
  }

  std::int64_t value = 0;
  const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
  for (const char c : text) {
    if (c < '0' || c > '9') return default_value;
    value = value * 10 + (c - '0');
    if (value > limit) return default_value;
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

std::string CutToCharacters(std::string text, std::size_t max_chars) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) == 0x80) continue;  // continuation byte
    if (chars == max_chars) {
      text.resize(i);
      break;
    }
    ++chars;
  }
  return text;
}

}  // namespace korvel
