// File mask compilation and matching.
#include "search/Mask.h"

#include <algorithm>
#include <utility>

#include "platform/AsciiText.h"

namespace korvel {

namespace {

// More parts after a "*" than this make a mask invalid; the limit keeps masks that would
// backtrack without end out of the program, and users' masks never come close to it.
constexpr int kMaxStarredParts = 30;

std::size_t Index(char c) {
  return static_cast<unsigned char>(c);
}

[[noreturn]] void ThrowInvalid(std::string_view mask, std::size_t index) {
  throw MaskError("'" + std::string(mask) + "' is an invalid mask at (" +
                  std::to_string(index + 1) + ")");
}

}  // namespace

FileMask::Token FileMask::MakeToken(Kind kind, char literal) {
  Token token;
  token.kind = kind;
  token.literal = literal;
  return token;
}

// Reads the set that opens at mask[i]; leaves `i` at its closing "]".
FileMask::Token FileMask::ReadSet(std::string_view mask, std::size_t& i) {
  Token set = MakeToken(Kind::kSet);
  ++i;
  if (i < mask.size() && mask[i] == '!') {
    set.negate = true;
    ++i;
  }
  std::optional<char> last;
  while (i < mask.size() && mask[i] != ']') {
    if (mask[i] == '-') {
      if (!last) ThrowInvalid(mask, i);
      ++i;
      // A range with no end is a set that was never closed.
      if (i >= mask.size()) ThrowInvalid(mask, mask.size());
      const int from = static_cast<unsigned char>(*last);
      const int to = static_cast<unsigned char>(AsciiUpper(mask[i]));
      for (int m = from; m <= to; ++m) set.set.set(static_cast<std::size_t>(m));
    } else {
      last = AsciiUpper(mask[i]);
      set.set.set(Index(*last));
    }
    ++i;
  }
  if (i >= mask.size() || set.set.none()) ThrowInvalid(mask, i);
  return set;
}

FileMask::FileMask(std::string_view mask) {
  bool after_star = false;
  int starred_parts = 0;

  // Adds one part; `index` is where it ends in the mask, for the error position.
  auto write = [&](const Token* token, std::size_t index) {
    if (after_star) {
      if (++starred_parts > kMaxStarredParts) ThrowInvalid(mask, index);
      tokens_.push_back(MakeToken(Kind::kStar));
    }
    if (token != nullptr) tokens_.push_back(*token);
    after_star = false;
  };

  for (std::size_t i = 0; i < mask.size(); ++i) {
    const char c = mask[i];
    if (c == '*') {
      after_star = true;
    } else if (c == '?') {
      // "*?" adds nothing to "*": any run already covers the one character.
      if (after_star) continue;
      Token any = MakeToken(Kind::kAnyChar);
      write(&any, i);
    } else if (c == '[') {
      Token set = ReadSet(mask, i);
      write(&set, i);
    } else {
      Token literal = MakeToken(Kind::kLiteral, AsciiUpper(c));
      write(&literal, i);
    }
  }
  // The end of the name is a part of its own: "abc*" ends with an end part that follows a "*".
  write(nullptr, mask.size());
}

bool FileMask::TokenMatches(const Token& token, char c) {
  switch (token.kind) {
    case Kind::kLiteral:
      return AsciiUpper(c) == token.literal;
    case Kind::kAnyChar:
      return true;
    case Kind::kSet:
      return token.set.test(Index(AsciiUpper(c))) != token.negate;
    case Kind::kStar:
      break;
  }
  return false;
}

bool FileMask::Matches(std::string_view name) const {
  // Single-star backtracking: on a mismatch, the most recent "*" swallows one more character.
  // Earlier stars never need to be revisited, so this stays linear in practice.
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t t = 0;
  std::size_t n = 0;
  std::size_t star = kNone;
  std::size_t star_n = 0;
  while (n < name.size()) {
    if (t < tokens_.size() && tokens_[t].kind == Kind::kStar) {
      star = t++;
      star_n = n;
    } else if (t < tokens_.size() && TokenMatches(tokens_[t], name[n])) {
      ++t;
      ++n;
    } else if (star != kNone) {
      t = star + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (t < tokens_.size() && tokens_[t].kind == Kind::kStar) ++t;
  return t == tokens_.size();
}

MaskList::MaskList(std::vector<std::string> masks)
    : texts_(std::move(masks)), compiled_(texts_.size()) {}

bool MaskList::AnyMatches(std::string_view name) {
  for (std::size_t i = 0; i < texts_.size(); ++i) {
    if (!compiled_[i]) compiled_[i].emplace(texts_[i]);
    if (compiled_[i]->Matches(name)) return true;
  }
  return false;
}

bool MaskList::Contains(std::string_view mask) const {
  return std::find(texts_.begin(), texts_.end(), mask) != texts_.end();
}

}  // namespace korvel
