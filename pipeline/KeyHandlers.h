// A game's key handling: what its classes tell about the key layout they were built for, and the
// names the adaptation gives its key handlers so that the key canvases can translate a handset's
// codes before the game's handlers see them.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/classfile/Canvases.h"
#include "pipeline/classfile/ClassModel.h"
#include "settings/KeyLayout.h"

namespace korvel {

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
ClassKeyFacts ReadClassKeyFacts(const ClassOutline& outline);
ClassKeyFacts ReadClassKeyFacts(std::string_view bytes);

// The codes compared in the key handlers of every class (renamed ones included) and in the
// methods of the game they call, directly or not.
std::vector<int> KeyHandlerComparisons(const std::vector<ClassKeyFacts>& classes);

// The layout a game's key handling was built for, judged from the codes it compares with: only
// codes that belong to exactly one known layout count, and a layout is found only when exactly
// one has any. Nothing for mixed or no evidence.
std::optional<KeyLayout> LayoutShownByCodes(const std::vector<int>& codes);

// The classes of the game that descend from a canvas (the MIDP canvas or game canvas, one of ours,
// and with `nokia_stand_in`, when our Nokia classes are in the game, the Nokia FullCanvas),
// directly or through other classes of the game. Our own canvases are never among them.
std::set<std::string> CanvasDescendants(const std::vector<ClassKeyFacts>& classes,
                                        bool nokia_stand_in);

// The key handler rename (pipeline/ClassPasses.h) on a class's bytes, changed only when it
// changed something; raises ClassFormatError for a malformed class, which is then left as it was.
bool RenameKeyHandlers(std::string& bytes, const std::set<std::string>& canvases);

}  // namespace korvel
