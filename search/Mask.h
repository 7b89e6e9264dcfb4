// Matching entry names against file masks such as "*.class", "a?c" or "[!0-9]*".
#pragma once

#include <bitset>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// Raised for a mask that cannot be compiled. The text reads
//   '<mask>' is an invalid mask at (<position>)
// where the position (1-based) is where reading the mask stopped.
class MaskError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A mask compiled once and tested against many names.
//
// - The mask must match the whole name.
// - "*" matches any run of characters, none included; several in a row act as one.
// - "?" matches exactly one character, except right after "*", where it is ignored
//   ("*?" acts as "*").
// - "[...]" matches one character from a set of single characters and ranges ("a-z");
//   "!" right after "[" negates the set. A range whose end is below its start adds nothing.
// - Letters a-z compare without regard to case; every other byte compares exactly.
//   So "*.*" matches only names that contain a dot.
//
// A mask is invalid when a set is not closed, is empty, or starts with "-", or when more than
// 30 parts of it follow a "*"; the constructor then raises MaskError.
class FileMask {
 public:
  explicit FileMask(std::string_view mask);

  bool Matches(std::string_view name) const;

 private:
  enum class Kind : unsigned char { kStar, kLiteral, kAnyChar, kSet };
  struct Token {
    Kind kind = Kind::kLiteral;
    char literal = 0;  // upper-cased
    bool negate = false;
    std::bitset<256> set;  // upper-cased members
  };

  static Token MakeToken(Kind kind, char literal = 0);
  static Token ReadSet(std::string_view mask, std::size_t& i);
  static bool TokenMatches(const Token& token, char c);

  std::vector<Token> tokens_;
};

// An ordered list of mask texts. Each mask is compiled the first time a name reaches it, so an
// invalid mask raises only when it is actually tested, never while the list is merely held.
class MaskList {
 public:
  MaskList() = default;
  explicit MaskList(std::vector<std::string> masks);

  // True when a mask matches `name`. Masks are tried in list order, stopping at the first match.
  // Raises MaskError when an invalid mask is reached.
  bool AnyMatches(std::string_view name);

  // True when the list holds exactly the text `mask`.
  bool Contains(std::string_view mask) const;

  const std::vector<std::string>& Texts() const { return texts_; }

 private:
  std::vector<std::string> texts_;
  std::vector<std::optional<FileMask>> compiled_;
};

}  // namespace korvel
