// The canvases a game's canvases build on.
#include "pipeline/classfile/Canvases.h"

namespace korvel {

std::optional<InjectedCanvas> FindInjectedCanvas(std::string_view name) {
  for (const InjectedCanvas& canvas : kInjectedCanvases) {
    if (canvas.name == name) return canvas;
  }
  return std::nullopt;
}

std::string_view InjectedCanvasName(bool game_canvas, bool keys) {
  for (const InjectedCanvas& canvas : kInjectedCanvases) {
    if (canvas.game_canvas == game_canvas && canvas.keys == keys) return canvas.name;
  }
  return {};
}

bool IsCanvasRoot(std::string_view name) {
  return name == kCanvasClassName || name == kGameCanvasClassName || name == kNokiaFullCanvasName ||
         FindInjectedCanvas(name).has_value();
}

std::optional<std::string_view> WalkSuperClasses(
    std::string_view name,
    const std::function<std::optional<std::string_view>(std::string_view)>& super_of,
    const std::function<bool(std::string_view)>& stop, std::size_t limit) {
  for (std::size_t depth = 0; depth <= limit; ++depth) {
    if (stop(name)) return name;
    const std::optional<std::string_view> next = super_of(name);
    if (!next) return std::nullopt;
    name = *next;
  }
  return std::nullopt;
}

}  // namespace korvel
