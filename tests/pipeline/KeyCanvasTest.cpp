// Keys on a handset the game was not built for: the layout found from compared codes, and, in a
// JVM, what a game's handlers receive when a handset of one layout presses its keys on a canvas
// adapted for a game of another.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "payload/ProgramStore.h"
#include "pipeline/GameClasses.h"
#include "settings/KeyLayout.h"
#include "support/TempDir.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(KeyLayouts, OnlyCodesOfOneLayoutTellIt) {
  const struct {
    std::vector<int> compared;
    const char* layout;  // "" for none
  } cases[] = {
      {{-6, -7, -5, -1, -2, -3, -4}, "6-7"},
      {{-7}, "6-7"},
      {{-1, -4, -26}, "1-4"},
      {{-21, -22, 48, 35}, "21-22"},
      {{-6, -5, -2, -1}, ""},  // arrows of one layout, soft keys of another: nothing told
      {{-7, -21}, ""},         // two layouts: the game chooses at run time
      {{-4, -12}, ""},
      {{}, ""},
  };
  for (const auto& c : cases) {
    const auto found = LayoutShownByCodes(c.compared);
    EXPECT_EQ(found ? found->name : "", c.layout) << testing::PrintToString(c.compared);
  }
}

// The handset's canvas (tests/data/keys), a game's canvases built on it and the probe, compiled
// once per test program.
const std::string& CompiledGame() {
  static const TempDir dir;
  static const std::string classes = [] {
    const std::string out = dir.MakeDir("classes");
    const std::string keys = test::TestDataFile("keys");
    std::string log;
    EXPECT_EQ(
        test::RunCommand(
            "cd '" + keys + "' && javac -nowarn -d '" + out + "' $(find . -name '*.java')", log),
        0)
        << log;
    return out;
  }();
  return classes;
}

// Adapts the game's canvases in a copy of the compiled classes as the job does with `handset`
// and `game` layouts, and runs the probe on each canvas; returns what it printed.
std::string PressKeys(const KeyLayout& handset, const KeyLayout& game) {
  const TempDir dir;
  std::vector<std::string> paths;
  for (const char* name : {"KeyGame", "KeyGameChild", "KeyGameCanvas"}) {
    paths.push_back(std::string(name) + ".class");
    fs::copy_file(fs::path(CompiledGame()) / paths.back(), dir / paths.back());
  }
  GameClasses classes = GameClasses::Read(dir.Path(), paths);
  const AdaptResult result = classes.Adapt({false, true, classes.KeyEvidence().Canvases(false)});
  classes.Write(dir.Path());
  TmxStorage store;
  LoadProgramStore(store);
  WriteInjectedClasses(store, dir.Path(), result.Use(true), {128, 116}, {handset.codes, game.codes},
                       true);

  std::string codes;
  for (int code : handset.codes) codes += (codes.empty() ? "" : ",") + std::to_string(code);
  std::string out;
  for (const char* canvas : {"KeyGame", "KeyGameChild", "KeyGameCanvas"}) {
    std::string printed;
    EXPECT_EQ(test::RunCommand("java -Xshare:off -Dhandset.keys=" + codes + " -cp '" + dir.Path() +
                                   ":" + CompiledGame() + "' KeyProbe " + canvas,
                               printed),
              0)
        << printed;
    out += printed;
  }
  return out;
}

// What the probe should print: the game's own codes with the game actions the handset gives the
// keys, from each handler as the canvas has it, then the game's codes for up, down, left, right
// and fire.
std::string Expected(const KeyLayout& game) {
  constexpr int kActions[] = {0, 0, 8, 1, 6, 2, 5};
  std::string plain, child, game_canvas;
  for (std::size_t i = 0; i < kLayoutKeyCount; ++i) {
    const std::string code = std::to_string(game.codes[i]);
    const std::string pressed = code + "/" + std::to_string(kActions[i]);
    plain += pressed + " " + pressed + " r" + code + " ";
    child += "c" + pressed + " c" + pressed + " r" + code + " ";
    game_canvas += pressed + " ";
  }
  std::string codes;
  for (LayoutKey key :
       {LayoutKey::kUp, LayoutKey::kDown, LayoutKey::kLeft, LayoutKey::kRight, LayoutKey::kFire}) {
    codes += std::to_string(game.Code(key)) + " ";
  }
  codes.pop_back();
  const auto lines = [&codes](std::string log) {
    log.pop_back();
    return log + "\n" + codes + "\n";
  };
  return lines(plain) + lines(child) + lines(game_canvas);
}

// Every handset layout against every game layout: the game receives its own codes, renamed
// handlers and the game's own calls to them included, and its questions are answered in its
// layout.
TEST(KeyCanvas, AGameReceivesItsOwnCodesFromEveryHandset) {
  for (const KeyLayout& handset : KnownKeyLayouts()) {
    for (const KeyLayout& game : KnownKeyLayouts()) {
      SCOPED_TRACE("handset " + handset.name + ", game " + game.name);
      EXPECT_EQ(PressKeys(handset, game), Expected(game));
    }
  }
}

}  // namespace
}  // namespace korvel
