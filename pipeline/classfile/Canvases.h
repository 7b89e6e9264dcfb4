// The canvases a game's canvases build on: the handset's, ours, and the Nokia UI API's; and the
// walk up a class's chain of super classes.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

namespace korvel {

// The MIDP canvases.
inline constexpr std::string_view kCanvasClassName = "javax/microedition/lcdui/Canvas";
inline constexpr std::string_view kGameCanvasClassName = "javax/microedition/lcdui/game/GameCanvas";
// The Nokia UI API's canvas, which our Nokia package carries too.
inline constexpr std::string_view kNokiaFullCanvasName = "com/nokia/mid/ui/FullCanvas";

// One of the canvases the adaptation puts between a game's canvas and the MIDP one.
struct InjectedCanvas {
  std::string_view name;
  bool game_canvas;  // builds on the game canvas, else on the canvas
  bool keys;         // translates key codes (with KeyMap)
};
inline constexpr InjectedCanvas kInjectedCanvases[] = {
    {"com/quillmoss/fullscreen/FullCn", false, false},
    {"com/quillmoss/fullscreen/game/FullGameCn", true, false},
    {"com/quillmoss/fullscreen/FullKeyCn", false, true},
    {"com/quillmoss/fullscreen/game/FullKeyGameCn", true, true},
};
inline constexpr std::string_view kFullCanvasClassName = kInjectedCanvases[0].name;
inline constexpr std::string_view kFullGameCanvasClassName = kInjectedCanvases[1].name;
inline constexpr std::string_view kFullKeyCanvasClassName = kInjectedCanvases[2].name;
inline constexpr std::string_view kFullKeyGameCanvasClassName = kInjectedCanvases[3].name;

// Ours, when `name` is one of our canvases.
std::optional<InjectedCanvas> FindInjectedCanvas(std::string_view name);
// The one of ours that builds on the game canvas (or the canvas), with keys or without.
std::string_view InjectedCanvasName(bool game_canvas, bool keys);

// A canvas a game's canvas may build on: the MIDP ones, ours, and the Nokia FullCanvas.
bool IsCanvasRoot(std::string_view name);

// Walks from `name` up its super classes while `super_of` knows them (nothing: a class outside
// the game), calling `stop` on each name, `name` itself included; returns the first name `stop`
// accepts. A chain longer than `limit` (a cycle, which no well-formed game has) ends the walk.
std::optional<std::string_view> WalkSuperClasses(
    std::string_view name,
    const std::function<std::optional<std::string_view>(std::string_view)>& super_of,
    const std::function<bool(std::string_view)>& stop, std::size_t limit);

}  // namespace korvel
