// How the settings and language code turn profile values into numbers and texts: the rules
// that INI files written on Windows expect, so files from there read the same here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvel {

// Values were read through a 2048-byte buffer, so at most this many characters are taken.
inline constexpr std::size_t kMaxProfileValueLength = 2047;

// Delphi's StrToIntDef: a 32-bit integer in decimal, or in hexadecimal behind "$" or "0x"
// (either case), with leading spaces and one sign allowed; anything else, an empty text or a
// value out of range gives `default_value`. Up to eight hexadecimal digits are taken as the
// 32 bits of the result, so "$FFFFFFFF" is -1.
std::int32_t StrToIntDef(std::string_view text, std::int32_t default_value);

// The first `max_chars` characters of UTF-8 `text` (a character is a lead byte and the
// continuation bytes behind it), never a broken sequence at the end.
std::string CutToCharacters(std::string text, std::size_t max_chars = kMaxProfileValueLength);

}  // namespace korvel
