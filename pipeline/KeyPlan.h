// What a job does about a game's keys: a pure decision from the handset's layout, what the game's
// classes show and what the user said for this one run.
#pragma once

#include <optional>
#include <string>

#include "pipeline/InjectedClasses.h"
#include "settings/KeyLayout.h"
#include "settings/Language.h"

namespace korvel {

// The game's layout for one run, given instead of found (korvel-patch --game-keys): a layout, or
// nothing for "none" (no mapping).
struct GivenGameKeys {
  std::optional<KeyLayout> layout;
};

// What the game's classes tell about its keys.
struct KeyEvidence {
  // The game carries our key canvases from an earlier adaptation; its handlers are renamed, so it
  // keeps them whatever else is decided.
  bool key_canvases = false;
  // A class outside the Nokia package uses the Nokia UI API, whose FullCanvas codes are 6-7.
  bool nokia_ui = false;
  // The layout the codes compared in its key handlers belong to, when exactly one does.
  std::optional<KeyLayout> compared;
};

struct KeyPlan {
  // The layout the game is taken to be built for, when one is known.
  std::optional<KeyLayout> game;
  // The handset's codes differ from the game's: the key canvases translate between them.
  bool translated = false;
  // The game's canvases go onto the key canvases: a translation, or key canvases from before.
  bool active = false;
  KeyMapCodes map;  // what KeyMap carries when active (the same codes twice when not translated)
};

// Whether the keys are looked at at all: with no handset layout and no key canvases in the game,
// its keys are left alone and nothing is read for them.
bool KeysConsidered(const std::optional<KeyLayout>& handset, bool key_canvases);

// The decision: the game's layout is the one given, else 6-7 for a Nokia UI game, else the one
// its compared codes show; its canvases translate when the handset's layout is set and differs.
KeyPlan PlanKeys(const std::optional<KeyLayout>& handset, const KeyEvidence& evidence,
                 const std::optional<GivenGameKeys>& given);

// The Console line that tells the decision, in `texts`' language.
std::string KeyPlanLine(const Language& texts, const std::optional<KeyLayout>& handset,
                        const KeyPlan& plan);

}  // namespace korvel
