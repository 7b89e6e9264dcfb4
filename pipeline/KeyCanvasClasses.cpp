// Our key canvases in an unpacked game.
#include "pipeline/KeyCanvasClasses.h"

#include "pipeline/FullScreenClass.h"

namespace korvel {

void WriteKeyClasses(const TmxStorage& store, const std::string& work_dir, bool canvas,
                     bool game_canvas, const KeyMapCodes& codes) {
  // The key classes only; the key map whatever the canvases.
  const InjectedUse use{canvas, game_canvas, true};
  for (const InjectedClass& cls : kInjectedClasses) {
    if (!cls.keys || !(Needed(cls, use) || cls.configuration == Configuration::kKeyMap)) continue;
    WriteClassFile(work_dir, cls.path, ConfiguredClass(store, cls, {}, codes));
  }
}

std::optional<KeyMapCodes> InjectedKeyMap(const TmxStorage& store, const std::string& work_dir) {
  const std::optional<std::string> read = ReadClassFile(work_dir, kKeyMapPath);
  if (!read) return std::nullopt;
  return KeyMapCodesOf(store, *read);
}

}  // namespace korvel
