// A game's key handling: the key layout its classes were built for, and the renames that let the
// key canvases translate a handset's codes before the game's handlers see them.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// The key canvases: FullCn and FullGameCn with translation, and the map they translate with.
inline constexpr std::string_view kFullKeyCanvasClassName = "com/quillmoss/fullscreen/FullKeyCn";
inline constexpr std::string_view kFullKeyGameCanvasClassName =
    "com/quillmoss/fullscreen/game/FullKeyGameCn";
inline constexpr std::string_view kKeyMapClassName = "com/quillmoss/fullscreen/KeyMap";

// The key handlers a canvas overrides, and the names the adaptation gives a game's own ones, which
// the key canvases call after translating.
inline constexpr std::string_view kKeyHandlerDescriptor = "(I)V";
struct KeyHandlerName {
  std::string_view original;
  std::string_view renamed;
};
inline constexpr KeyHandlerName kKeyHandlerNames[] = {
    {"keyPressed", "keyPressed$k"},
    {"keyReleased", "keyReleased$k"},
    {"keyRepeated", "keyRepeated$k"},
};

// A method a class calls.
struct MethodCall {
  std::string owner;
  std::string name;
  std::string descriptor;
};

// What one class tells about keys.
struct ClassKeyFacts {
  struct Method {
    std::string name;
    std::string descriptor;
    // The int constants its code compares with: an operand of if_icmp<cond>, a switch's keys.
    std::vector<int> compared;
    std::vector<MethodCall> calls;
  };
  std::string name;
  std::string super;  // "" for java/lang/Object
  std::vector<Method> methods;
};

// Reads a class's key facts; raises ClassFormatError for a malformed class or code.
ClassKeyFacts ReadClassKeyFacts(std::string_view bytes);

// The codes compared in the key handlers of every class (renamed ones included) and in the
// methods of the game they call, directly or not.
std::vector<int> KeyHandlerComparisons(const std::vector<ClassKeyFacts>& classes);

// The classes of the game that descend from a canvas (the MIDP canvas or game canvas, one of ours,
// and with `nokia_stand_in`, when our Nokia classes are in the game, the Nokia FullCanvas),
// directly or through other classes of the game.
std::set<std::string> CanvasDescendants(const std::vector<ClassKeyFacts>& classes,
                                        bool nokia_stand_in);

// In one class: when it is one of `canvases`, its key handlers get the renamed names; calls to a
// key handler on one of `canvases` call the renamed one, and so do its calls on a canvas it
// builds on (super.keyPressed), which then name its super class. Names and references are appended
// to the constant pool; code and attributes keep their bytes. Returns whether anything changed;
// raises ClassFormatError for a malformed class, which is then left as it was.
bool RenameKeyHandlers(std::string& bytes, const std::set<std::string>& canvases);

}  // namespace korvel
