// A small set of enumerators, for option and filter flags.
#pragma once

#include <bitset>
#include <cstddef>
#include <initializer_list>

namespace korvel {

// `Count` is the number of enumerators of E; they must be 0 .. Count-1.
template <typename E, std::size_t Count>
class EnumSet {
 public:
  constexpr EnumSet() = default;
  EnumSet(std::initializer_list<E> members) {
    for (E m : members) Include(m);
  }

  static EnumSet All() {
    EnumSet s;
    s.bits_.set();
    return s;
  }

  bool Contains(E m) const { return bits_.test(static_cast<std::size_t>(m)); }
  EnumSet& Include(E m) {
    bits_.set(static_cast<std::size_t>(m));
    return *this;
  }
  EnumSet& Exclude(E m) {
    bits_.reset(static_cast<std::size_t>(m));
    return *this;
  }
  bool Empty() const { return bits_.none(); }

  friend bool operator==(const EnumSet&, const EnumSet&) = default;

 private:
  std::bitset<Count> bits_;
};

}  // namespace korvel
