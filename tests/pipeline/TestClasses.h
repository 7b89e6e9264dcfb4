// Small class files made byte by byte for the class tests.
#pragma once

#include <string>
#include <string_view>

namespace korvel::test {

inline std::string U2(unsigned v) {
  return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
}
inline std::string Utf8Constant(std::string_view text) {
  return '\x01' + U2(static_cast<unsigned>(text.size())) + std::string(text);
}

// A class `self` extending `base`, with a constructor call and a repaint call through `base`,
// a long constant (two pool slots), `extra` Utf8 constants (entries 15 on) and one method whose
// Code attribute is opaque bytes.
inline std::string ClassBytes(std::string_view self, std::string_view base,
                              std::string_view extra = {}) {
  std::string pool = Utf8Constant(self) + "\x07" + U2(1) + Utf8Constant(base) + "\x07" + U2(3) +
                     Utf8Constant("<init>") + Utf8Constant("()V") + "\x0C" + U2(5) + U2(6) +
                     "\x0A" + U2(4) + U2(7) + Utf8Constant("repaint") + "\x0C" + U2(9) + U2(6) +
                     "\x0A" + U2(4) + U2(10) + "\x05" + std::string(8, '\x07') +
                     Utf8Constant("Code");
  unsigned count = 15;
  if (!extra.empty()) {
    pool += Utf8Constant(extra);
    ++count;
  }
  return "\xCA\xFE\xBA\xBE" + U2(0) + U2(46) + U2(count) + pool + U2(0x21) + U2(2) + U2(4) + U2(0) +
         U2(0) + U2(1) + U2(1) + U2(5) + U2(6) + U2(1) + U2(14) + U2(0) + U2(3) + "abc" + U2(0);
}

}  // namespace korvel::test
