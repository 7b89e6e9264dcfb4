// Small helpers shared by the tests: made-up content and the text of an expected error.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <random>
#include <string>

namespace korvel::test {

// `size` bytes that do not compress, the same for the same seed.
inline std::string RandomBytes(std::size_t size, unsigned seed = 7) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

// The message of the `Error` that `action` raises, or "no error".
template <class Error = std::exception>
std::string ErrorText(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace korvel::test
