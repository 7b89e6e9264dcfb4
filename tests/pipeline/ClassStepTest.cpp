// The class step: a game's classes read once, adapted in memory, the Nokia package added from the
// store, the changed classes written once; and the catalogue's classes written as it says.
#include "pipeline/GameClasses.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "payload/ProgramStore.h"
#include "pipeline/ClassPasses.h"
#include "pipeline/ZipInMemory.h"
#include "platform/FileError.h"
#include "support/TempDir.h"
#include "tests/pipeline/TestClasses.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::ClassBytes;
using test::ReadFile;
using test::TempDir;

const TmxStorage& Store() {
  static const TmxStorage* store = [] {
    auto* s = new TmxStorage;
    LoadProgramStore(*s);
    return s;
  }();
  return *store;
}

std::string SuperOf(const std::string& bytes) {
  const ClassOutline outline(bytes);
  return std::string(outline.ClassName(outline.SuperClass()));
}

fs::file_time_type Old() {
  return fs::file_time_type(std::chrono::hours(24 * 365 * 30));
}

class ClassStep : public testing::Test {
 protected:
  // Writes the classes below the work folder, dated long ago, and reads them.
  GameClasses ReadGame(const std::map<std::string, std::string>& files) {
    std::vector<std::string> paths;
    for (const auto& [path, bytes] : files) {
      fs::last_write_time(work_.Write(path, bytes), Old());
      paths.push_back(path);
    }
    return GameClasses::Read(work_.Path(), paths);
  }
  TempDir work_;
};

TEST_F(ClassStep, AdaptsEveryClassAndWritesOnlyTheChangedOnes) {
  GameClasses game = ReadGame({
      {"a/Screen.class", ClassBytes("a/Screen", kCanvasClassName)},
      {"a/Play.class", ClassBytes("a/Play", kGameCanvasClassName, "com/nokia/mid/ui/x")},
      {"a/Midlet.class", ClassBytes("a/Midlet", "java/lang/Object")},
      {"a/Old.class", ClassBytes("a/Old", kFullCanvasClassName)},
      {"a/Bad.class", "not a class"},
      {"com/nokia/mid/ui/Own.class", ClassBytes("com/nokia/mid/ui/Own", kCanvasClassName)},
  });
  const AdaptResult result = game.Adapt({true, false, {}});
  EXPECT_EQ(result.redirected, 2);
  EXPECT_TRUE(result.uses_full_canvas);
  EXPECT_TRUE(result.uses_full_game_canvas);
  EXPECT_EQ(result.NokiaUsers(), 2);  // the Nokia package's own class counts too
  ASSERT_EQ(result.warnings.size(), 1u);
  EXPECT_EQ(result.warnings[0].path, "a/Bad.class");

  game.Write(work_.Path());
  EXPECT_EQ(SuperOf(ReadFile(work_ / "a/Screen.class")), kFullCanvasClassName);
  EXPECT_EQ(SuperOf(ReadFile(work_ / "a/Play.class")), kFullGameCanvasClassName);
  // The Nokia package's class waits for the package; nothing else was touched.
  for (const char* kept :
       {"a/Midlet.class", "a/Old.class", "a/Bad.class", "com/nokia/mid/ui/Own.class"}) {
    EXPECT_EQ(fs::last_write_time(work_ / kept), Old()) << kept;
  }
  AdaptResult again = game.Adapt({true, false, {}});
  EXPECT_EQ(again.redirected, 0);
  game.AdaptStandInPackage(kNokiaPackage, {true, false, {}}, again);
  EXPECT_EQ(again.redirected, 1);
}

TEST_F(ClassStep, ReadOnlyOrMissingClassesEndTheJob) {
  const std::string file = work_.Write("a/R.class", ClassBytes("a/R", kCanvasClassName));
  ::chmod(file.c_str(), 0444);
  EXPECT_THROW(GameClasses::Read(work_.Path(), {"a/R.class"}), FileError);
  EXPECT_THROW(GameClasses::Read(work_.Path(), {"a/Gone.class"}), FileError);
}

// With keys, a canvas goes onto the key canvas and its handlers are renamed in the same write;
// a class the rename cannot read is left wholly as it was.
TEST_F(ClassStep, ARedirectAndARenameChangeAClassTogetherOrNotAtAll) {
  std::string bad_rename = ClassBytes("a/Half", kCanvasClassName);
  // Its method's descriptor is no Utf8 entry: only the rename reads it.
  const ClassOutline outline(bad_rename);
  bad_rename.replace(outline.Methods()[0].name_offset + 2, 2, test::U2(2));
  GameClasses game = ReadGame(
      {{"a/Half.class", bad_rename}, {"a/Key.class", ClassBytes("a/Key", kCanvasClassName)}});
  const AdaptResult result = game.Adapt({false, true, {"a/Half", "a/Key"}});
  EXPECT_EQ(result.redirected, 1);
  ASSERT_EQ(result.warnings.size(), 1u);
  EXPECT_EQ(game.Find("a/Half.class")->bytes, bad_rename);
  EXPECT_EQ(SuperOf(game.Find("a/Key.class")->bytes), kFullKeyCanvasClassName);
}

TEST_F(ClassStep, TheNokiaPackageComesFromTheStoreWithItsDates) {
  GameClasses game = ReadGame({
      {"Game.class", ClassBytes("Game", kCanvasClassName, "com/nokia/mid/ui/FullCanvas")},
      {"com/nokia/mid/ui/FullCanvas.class", "the game's own copy"},
  });
  AdaptResult result = game.Adapt({true, false, {}});
  game.AddStandInPackage(Store(), kNokiaPackage);
  game.AdaptStandInPackage(kNokiaPackage, {true, false, {}}, result);
  EXPECT_EQ(result.redirected, 2);  // the game's canvas and our FullCanvas
  EXPECT_TRUE(result.warnings.empty());
  game.Write(work_.Path());

  const std::vector<ZipFileEntry> carried =
      ReadZipFiles(ReadFile(test::SourceFile("payload/Nokia.zip")));
  ASSERT_EQ(carried.size(), 7u);
  for (const ZipFileEntry& entry : carried) {
    const std::string written = ReadFile(work_ / entry.name);
    if (entry.name == "com/nokia/mid/ui/FullCanvas.class") {
      EXPECT_EQ(SuperOf(written), kFullCanvasClassName);
      continue;
    }
    EXPECT_EQ(written, entry.data) << entry.name;
    // 2000-01-01 00:00 in the local time zone, as unpacking would date it.
    std::tm local{};
    local.tm_year = 100;
    local.tm_mday = 1;
    local.tm_isdst = -1;
    const auto expected = std::chrono::file_clock::from_sys(
        std::chrono::system_clock::from_time_t(std::mktime(&local)));
    EXPECT_EQ(fs::last_write_time(work_ / entry.name), expected) << entry.name;
  }
}

TEST_F(ClassStep, KeyEvidenceTellsTheNokiaUseAndOurKeyClasses) {
  const struct {
    std::map<std::string, std::string> files;
    bool nokia_ui, nokia_package, key_classes;
  } cases[] = {
      {{{"A.class", ClassBytes("A", kCanvasClassName, "com/nokia/mid/ui/FullCanvas")}},
       true,
       true,
       false},
      {{{"A.class", ClassBytes("A", "com/nokia/mid/sound/Sound")}}, false, true, false},
      {{{"com/nokia/mid/ui/B.class", ClassBytes("com/nokia/mid/ui/B", kCanvasClassName)}},
       false,
       true,
       false},
      {{{"com/quillmoss/fullscreen/KeyMap.class", "x"}}, false, false, true},
  };
  for (const auto& c : cases) {
    const TempDir work;
    std::vector<std::string> paths;
    for (const auto& [path, bytes] : c.files) {
      work.Write(path, bytes);
      paths.push_back(path);
    }
    const ClassKeyEvidence evidence = GameClasses::Read(work.Path(), paths).KeyEvidence();
    EXPECT_EQ(evidence.nokia_ui, c.nokia_ui) << paths[0];
    EXPECT_EQ(evidence.nokia_package, c.nokia_package) << paths[0];
    EXPECT_EQ(evidence.key_classes, c.key_classes) << paths[0];
    EXPECT_EQ(CarriesKeyClasses(work.Path()), c.key_classes) << paths[0];
  }
}

// Each class of ours goes in when the catalogue says the game needs it; one left by an earlier
// adaptation and no longer needed is removed unless a class could not be read.
TEST_F(ClassStep, TheCatalogueWritesWhatIsNeededAndRemovesLeftovers) {
  const struct {
    InjectedUse use;
    bool remove;
    std::vector<std::string_view> present;
  } cases[] = {
      {{true, false, false}, true, {kFullCanvasClass.path}},
      {{false, true, true},
       true,
       {kFullGameCanvasClass.path, kInjectedClasses[3].path, kKeyMapClass.path}},
      {{true, true, true},
       true,
       {kFullCanvasClass.path, kFullGameCanvasClass.path, kInjectedClasses[2].path,
        kInjectedClasses[3].path, kKeyMapClass.path}},
      {{true, false, false},
       false,
       {kFullCanvasClass.path, kFullGameCanvasClass.path, kInjectedClasses[2].path,
        kInjectedClasses[3].path, kKeyMapClass.path}},
  };
  const KeyMapCodes codes{{-6, -7, -5, -1, -2, -3, -4}, {-1, -4, -26, -59, -60, -61, -62}};
  for (const auto& c : cases) {
    const TempDir work;
    for (const InjectedClass& cls : kInjectedClasses) work.Write(cls.path, "from before");
    WriteInjectedClasses(Store(), work.Path(), c.use, {100, 80}, codes, c.remove);
    for (const InjectedClass& cls : kInjectedClasses) {
      const bool expected =
          std::find(c.present.begin(), c.present.end(), cls.path) != c.present.end();
      EXPECT_EQ(fs::exists(work / std::string(cls.path)), expected) << cls.path;
    }
    if (c.use.game_canvas && c.use.keys) {
      GameClasses written = GameClasses::Read(work.Path(), {std::string(kKeyMapClass.path)});
      EXPECT_EQ(written.InjectedKeyMap(Store()), codes);
    }
    if (c.remove && !c.use.game_canvas) {
      EXPECT_FALSE(fs::exists(work / "com/quillmoss/fullscreen/game"));
    }
  }
}

// What an earlier adaptation left reads the same from the folder and from the classes in memory:
// the size FullCn and FullGameCn agree on (one that tells none is as good as none), the codes
// of a KeyMap of ours.
TEST_F(ClassStep, AnEarlierAdaptationReadsTheSameFromTheFolderAndFromMemory) {
  const KeyMapCodes codes{{-6, -7, -5, -1, -2, -3, -4}, {-1, -4, -26, -59, -60, -61, -62}};
  const auto canvas = [](const InjectedClass& cls, CanvasSize size) {
    return std::optional(ConfiguredClass(Store(), cls, size, {}));
  };
  const std::optional<std::string> none;
  const std::optional<std::string> key_map = ConfiguredClass(Store(), kKeyMapClass, {}, codes);
  const struct {
    std::optional<std::string> full, full_game, key_map;
    std::optional<CanvasSize> size;
    std::optional<KeyMapCodes> codes;
  } cases[] = {
      {none, none, none, std::nullopt, std::nullopt},
      {canvas(kFullCanvasClass, {176, 208}), none, key_map, CanvasSize{176, 208}, codes},
      {none, canvas(kFullGameCanvasClass, {100, 80}), none, CanvasSize{100, 80}, std::nullopt},
      {canvas(kFullCanvasClass, {100, 80}), canvas(kFullGameCanvasClass, {100, 80}), "x",
       CanvasSize{100, 80}, std::nullopt},
      {canvas(kFullCanvasClass, {176, 208}), canvas(kFullGameCanvasClass, {100, 80}), none,
       std::nullopt, std::nullopt},
      {"not a class", canvas(kFullGameCanvasClass, {100, 80}), none, CanvasSize{100, 80},
       std::nullopt},
  };
  for (const auto& c : cases) {
    const TempDir work;
    std::vector<std::string> paths;
    for (const auto& [cls, bytes] :
         {std::pair{&kFullCanvasClass, &c.full}, std::pair{&kFullGameCanvasClass, &c.full_game},
          std::pair{&kKeyMapClass, &c.key_map}}) {
      if (!*bytes) continue;
      work.Write(cls->path, **bytes);
      paths.emplace_back(cls->path);
    }
    const GameClasses read = GameClasses::Read(work.Path(), paths);
    EXPECT_EQ(InjectedCanvasSize(work.Path()), c.size) << testing::PrintToString(paths);
    EXPECT_EQ(read.InjectedCanvasSize(), c.size) << testing::PrintToString(paths);
    EXPECT_EQ(InjectedKeyMap(Store(), work.Path()), c.codes) << testing::PrintToString(paths);
    EXPECT_EQ(read.InjectedKeyMap(Store()), c.codes) << testing::PrintToString(paths);
  }
}

TEST(ZipInMemory, DamagedArchivesAreRefused) {
  const std::string good = ReadFile(test::SourceFile("payload/Nokia.zip"));
  std::vector<std::string> bad = {"", "PK", good.substr(0, good.size() / 2),
                                  good.substr(0, good.size() - 1)};
  std::string flipped = good;
  flipped[400] = static_cast<char>(flipped[400] ^ 0x55);  // inside an entry's data
  bad.push_back(flipped);
  for (const std::string& bytes : bad) {
    EXPECT_THROW(ReadZipFiles(bytes), ZipFormatError) << bytes.size();
  }
}

}  // namespace
}  // namespace korvel
