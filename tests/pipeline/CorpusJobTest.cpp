// The patch job over copies of every sample suite: what must hold for any real game.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "pipeline/ClassFile.h"
#include "pipeline/ManifestRewrite.h"
#include "pipeline/classfile/Canvases.h"
#include "support/CorpusSuites.h"
#include "support/JarGrowth.h"
#include "support/TempDir.h"
#include "tests/pipeline/JobFixture.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::Suite;

const char* const kNokiaClasses[] = {"com/nokia/mid/sound/Sound.class",
                                     "com/nokia/mid/sound/SoundListener.class",
                                     "com/nokia/mid/ui/DeviceControl.class",
                                     "com/nokia/mid/ui/DirectGraphics.class",
                                     "com/nokia/mid/ui/DirectGraphicsImplemented.class",
                                     "com/nokia/mid/ui/DirectUtils.class",
                                     "com/nokia/mid/ui/FullCanvas.class"};
constexpr const char* kFullCn = "com/quillmoss/fullscreen/FullCn.class";
constexpr const char* kFullGameCn = "com/quillmoss/fullscreen/game/FullGameCn.class";

std::string SuperClassOf(const std::string& class_bytes) {
  const ClassOutline outline(class_bytes);
  return std::string(outline.ClassName(outline.SuperClass()));
}

// The JVM tools of tests/data/jvm, the MIDP stand-ins of tools/midp-stubs and a handset's own
// Nokia FullCanvas, compiled once per test program.
struct JvmKit {
  std::string tools, midp, nokia_handset;
};
const JvmKit& Kit() {
  static const test::TempDir dir;
  static const JvmKit kit = [] {
    JvmKit k{dir.MakeDir("tools"), dir.MakeDir("midp"), dir.MakeDir("nokia")};
    std::string out;
    EXPECT_EQ(
        test::RunCommand("cd '" + test::SourceFile("tools/midp-stubs") + "' && javac -nowarn -d '" +
                             k.midp + "' $(find javax -name '*.java') && javac -cp '" + k.midp +
                             "' -d '" + k.nokia_handset + "' '" +
                             test::TestDataFile("nokia-handset/com/nokia/mid/ui/FullCanvas.java") +
                             "' && javac -nowarn -d '" + k.tools + "' '" +
                             test::TestDataFile("jvm") + "'/*.java",
                         out),
        0)
        << out;
    return k;
  }();
  return kit;
}

class CorpusJob : public testing::TestWithParam<Suite>, public test::JobFixture {
 protected:
  void SetUp() override {
    SetUpJob();
    original_jar_ = test::ReadFile(GetParam().JarPath());
    jar_ = games_.Write(GetParam().jar, original_jar_);
    if (!GetParam().jad.empty()) {
      original_jad_ = test::ReadFile(GetParam().JadPath());
      games_.Write(GetParam().jad, original_jad_);
    }
  }
  void TearDown() override { TearDownJob(); }

  std::string jar_;
  std::string original_jar_;
  std::string original_jad_;
};

TEST_P(CorpusJob, AdaptsTheGame) {
  const Suite& suite = GetParam();
  const bool nokia = suite.nokia_users > 0;
  // FullCanvas extends the canvas too, so it is counted when it is added.
  const int expected_count = suite.canvases + (nokia ? 1 : 0);
  const JobOutcome outcome = Process(jar_, true);
  EXPECT_EQ(sink_.lines.at(4),
            Text(TextId::kFilesPatchedCount) + " " + std::to_string(expected_count));
  EXPECT_EQ(sink_.lines.at(2),
            Text(nokia ? TextId::kWritingNokiaClasses : TextId::kNokiaFunctionsNotUsed));
  if (expected_count == 0) {
    ASSERT_EQ(outcome, JobOutcome::kUnchanged);
    EXPECT_EQ(sink_.lines.back(), Text(TextId::kNoCanvasFound));
    EXPECT_EQ(report_.reason, Text(TextId::kNoCanvasToRedirect));
    EXPECT_EQ(test::ReadFile(jar_), original_jar_);
    if (!suite.jad.empty()) {
      EXPECT_EQ(test::ReadFile(games_ / suite.jad), original_jad_);
    }
    EXPECT_FALSE(fs::exists(jar_ + ".bak"));
    return;
  }
  ASSERT_EQ(outcome, JobOutcome::kAdapted);

  std::string out;
  EXPECT_EQ(test::RunCommand("unzip -tq '" + jar_ + "'", out), 0) << out;
  const auto before = test::Unzip(games_.Write("original.zip", original_jar_));
  const auto after = test::Unzip(jar_);

  std::set<std::string> expected_names;
  for (const auto& [name, content] : before) expected_names.insert(name);
  // Each injected class only when some class now builds on it (the Nokia FullCanvas on FullCn).
  if (suite.canvases > suite.game_canvases || nokia) expected_names.insert(kFullCn);
  if (suite.game_canvases > 0) expected_names.insert(kFullGameCn);
  if (nokia) expected_names.insert(std::begin(kNokiaClasses), std::end(kNokiaClasses));
  std::set<std::string> names;
  for (const auto& [name, content] : after) names.insert(name);
  EXPECT_EQ(names, expected_names);

  for (const auto& [name, content] : after) {
    const bool is_class = name.size() > 6 && name.compare(name.size() - 6, 6, ".class") == 0;
    if (name == kFullCn || name == kFullGameCn) {
      EXPECT_EQ(content,
                test::ReadFile(test::SourceFile("payload/" + fs::path(name).filename().string())));
    } else if (is_class) {
      EXPECT_NE(SuperClassOf(content), kCanvasClassName) << name;
      EXPECT_NE(SuperClassOf(content), kGameCanvasClassName) << name;
    } else if (name != "META-INF/MANIFEST.MF") {
      EXPECT_EQ(content, before.at(name)) << name;  // resources travel unchanged
    }
  }
  if (nokia) {
    EXPECT_EQ(SuperClassOf(after.at("com/nokia/mid/ui/FullCanvas.class")), kFullCanvasClassName);
  }
  // No bigger than it must be: the growth is at most what was added, and folder entries are
  // there only when the original had them.
  const test::JarGrowth growth = test::MeasureJarGrowth(games_ / "original.zip", jar_);
  EXPECT_LE(growth.Beyond(), 0) << "grew by " << growth.growth << ", added " << growth.added;
  auto has_folder_entry = [](const std::string& archive) {
    const auto entries = test::EntryBytes(archive);
    return std::any_of(entries.begin(), entries.end(),
                       [](const auto& entry) { return entry.first.back() == '/'; });
  };
  EXPECT_EQ(has_folder_entry(jar_), has_folder_entry(games_ / "original.zip"));
  EXPECT_EQ(
      test::RunCommand("java -Xshare:off -cp '" + Kit().tools + "' ZipCheck '" + jar_ + "'", out),
      0)
      << out;

  if (!suite.jad.empty()) {
    const auto jad = test::Lines(test::ReadFile(games_ / suite.jad));
    ASSERT_GE(jad.size(), 2u);
    EXPECT_EQ(jad[jad.size() - 2], "MIDlet-Jar-Size: " + std::to_string(fs::file_size(jar_)));
    EXPECT_EQ(jad.back(), "MIDlet-Jar-URL: " + JarUrlOf(suite.jar));
    for (const std::string& line : jad) {
      EXPECT_EQ(line.rfind("MIDlet-Jar-RSA-SHA1", 0), std::string::npos);
      EXPECT_EQ(line.rfind("MIDlet-Certificate-", 0), std::string::npos);
    }
  } else {
    // A descriptor is made from the manifest.
    const std::string made = games_ / (fs::path(suite.jar).stem().string() + ".jad");
    ASSERT_TRUE(fs::exists(made));
    EXPECT_EQ(test::Lines(test::ReadFile(made)).back(), "MIDlet-Jar-URL: " + JarUrlOf(suite.jar));
  }
  EXPECT_FALSE(fs::exists(jar_ + ".bak"));
}

std::string UnzipTo(const std::string& jar, const std::string& folder) {
  std::string out;
  EXPECT_EQ(test::RunCommand("unzip -qq -o '" + jar + "' -d '" + folder + "'", out), 0) << out;
  return folder;
}

// Links the classes before and after adaptation, and after adapting the result again for a
// handset whose keys no game was built for (so that every game whose layout shows is given key
// canvases), once
// with the game's own classes and once with a handset's Nokia FullCanvas in front of them: a class
// that linked before must link after. The keys found are those suites.tsv lists.
TEST_P(CorpusJob, EveryClassThatLinkedBeforeLinksAfter) {
  const JvmKit& kit = Kit();
  const test::TempDir dirs;
  const std::string before = UnzipTo(jar_, dirs.MakeDir("before"));
  ASSERT_NE(Process(jar_, true), JobOutcome::kFailed);
  EXPECT_FALSE(report_.keys);
  const std::string after = UnzipTo(jar_, dirs.MakeDir("after"));
  // Adapted again, as it is: its canvases move from FullCn onto the key canvases.
  settings_.HandsetKeys = ParseKeyLayout("custom:-101,-102,-103,-104,-105,-106,-107");
  ASSERT_NE(Process(jar_, true), JobOutcome::kFailed);
  ASSERT_TRUE(report_.keys);
  EXPECT_EQ(report_.keys->game, GetParam().keys);
  const std::string keys = UnzipTo(jar_, dirs.MakeDir("keys"));

  const std::string nokia = kit.midp + ":" + kit.nokia_handset + ":";
  std::string command = "java -Xshare:off -cp '" + kit.tools + "' LinkClasses";
  for (const std::string& classes : {before, after, keys}) {
    command += " '" + classes + "=" + kit.midp + ":" + classes + "' '" + classes + "=" + nokia +
               classes + "'";
  }
  std::string out;
  ASSERT_EQ(test::RunCommand(command, out), 0) << out;
  std::set<std::string> failed[6];
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t space = line.find(' ');
    failed[std::stoi(line.substr(0, space))].insert(
        line.substr(space + 1, line.find(' ', space + 1) - space - 1));
  }
  // Runs 0 and 1 are before, with and without the Nokia FullCanvas; 2 to 5 after.
  for (int run : {2, 3, 4, 5}) {
    for (const std::string& name : failed[run]) {
      EXPECT_EQ(failed[run % 2].count(name), 1u)
          << name << " fails only after adaptation" << (run >= 4 ? " with key canvases" : "")
          << (run % 2 ? " on a Nokia handset" : "") << "\n"
          << out;
    }
  }
  // These games' GameCanvas screen calls setFullScreenMode through the canvas class.
  const std::string_view folder = GetParam().folder;
  if (folder == "ray-airboil-c65" || folder == "ray-sh-e398") {
    EXPECT_EQ(
        failed[2].count("l") + failed[3].count("l") + failed[4].count("l") + failed[5].count("l"),
        0u)
        << out;
  }
}

INSTANTIATE_TEST_SUITE_P(SampleSuites, CorpusJob, testing::ValuesIn(test::Suites()),
                         test::SuiteName);

// A game adapted for 100 x 80 sees that size from its own canvas, whichever canvas it builds on.
class CorpusCanvasSize : public testing::Test, public test::JobFixture {
 protected:
  void SetUp() override { SetUpJob(); }
  void TearDown() override { TearDownJob(); }
};

TEST_F(CorpusCanvasSize, AnAdaptedGameReportsTheConfiguredSize) {
  settings_.ResW = 100;
  settings_.ResH = 80;
  for (const auto& [jar, canvas] :
       {std::pair{"apress-jump/jump.jar", "net.frog_parrot.jump.JumpCanvas"},
        std::pair{"apress-hello/hello.jar", "net.frog_parrot.hello.HelloCanvas"}}) {
    const std::string source = test::CorpusFile(jar);
    const std::string copy =
        games_.Write(fs::path(jar).filename().string(), test::ReadFile(source));
    ASSERT_EQ(Process(copy, false), JobOutcome::kAdapted) << jar;
    const std::string classes = UnzipTo(copy, build_.MakeDir(fs::path(jar).stem().string()));
    std::string out;
    ASSERT_EQ(test::RunCommand("java -Xshare:off -cp '" + Kit().tools + "' CanvasSize " + canvas +
                                   " '" + Kit().midp + ":" + classes + "'",
                               out),
              0)
        << out;
    EXPECT_EQ(out, "100 80\n") << canvas;
  }
}

}  // namespace
}  // namespace korvel
