// Conversions between UTF-8, the program's text encoding, and the 8-bit code pages of files made
// on Windows.
#pragma once

#include <string>
#include <string_view>

namespace korvel::platform {

enum class CodePage {
  kOem866,       // DOS Cyrillic, the OEM code page of zip entry names
  kWindows1251,  // Windows Cyrillic, the code page of language files
};

// Bytes below 0x80 stay as they are; a byte the code page leaves undefined becomes U+FFFD.
std::string ToUtf8(std::string_view text, CodePage page);

// Characters the code page cannot show become "?"; malformed UTF-8 does too.
std::string FromUtf8(std::string_view text, CodePage page);

}  // namespace korvel::platform
