// Handset key layouts: the key codes a handset family sends for the soft keys, fire and the
// arrows. Number keys (48-57, 42, 35) are the same on every handset and are no part of a layout.
#pragma once

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace korvel {

// The keys of a layout, in the order of its codes.
enum class LayoutKey { kLeftSoft, kRightSoft, kFire, kUp, kDown, kLeft, kRight };
inline constexpr std::size_t kLayoutKeyCount = 7;

struct KeyLayout {
  std::string name;  // "6-7", "1-4", "21-22", or "custom:" and the seven codes
  std::array<int, kLayoutKeyCount> codes{};

  int Code(LayoutKey key) const { return codes[static_cast<std::size_t>(key)]; }
  bool operator==(const KeyLayout& other) const { return codes == other.codes; }
};

// The three layouts that cover nearly all games, named by their soft keys: "6-7" (the Nokia UI
// API's FullCanvas constants), "1-4" and "21-22".
const std::array<KeyLayout, 3>& KnownKeyLayouts();

// Raised for a layout text that is none of the accepted ones; the text says why.
class KeyLayoutError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// "none" (nothing), a known layout's name, or "custom:" followed by seven distinct codes
// separated by commas, in the order of LayoutKey. Letter case and blanks around the text do
// not matter. Raises KeyLayoutError for anything else.
std::optional<KeyLayout> ParseKeyLayout(std::string_view text);

// The layout's name for the settings file and the reports; "none" for nothing.
std::string KeyLayoutName(const std::optional<KeyLayout>& layout);

}  // namespace korvel
