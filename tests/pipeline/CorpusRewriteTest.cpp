// The class patch, the attribute filter and the descriptor update over real MIDlet suites.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "pipeline/ClassPatcher.h"
#include "pipeline/ManifestRewrite.h"
#include "platform/Files.h"
#include "support/TempDir.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;

struct Suite {
  const char* folder;
  const char* jar;
  const char* jad;  // nullptr when the suite has none
  int classes;
  int canvas_users;
  int nokia_users;
};

// Counts as the corpus lists them.
const Suite kSuites[] = {
    {"ray-tetris-n3410", "Tetris_N3410.jar", "Tetris_N3410.jad", 11, 2, 1},
    {"ray-mobilechase-7650", "MobileChase_7650.jar", "MobileChase_7650.jad", 7, 2, 2},
    {"ray-airboil-c65", "AirBoil_c65.jar", "AirBoil_c65.jad", 13, 1, 0},
    {"ray-airboil-n3510", "AirBoil_n3510.jar", "AirBoil_n3510.jad", 13, 3, 6},
    {"ray-assault-s55", "Assault_S55.jar", "Assault_S55.jad", 15, 2, 0},
    {"ray-infoncat", "INFONCat.jar", "INFONCat.jad", 14, 7, 1},
    {"ray-sh-e398", "SH_e398.jar", "SH_e398.jad", 13, 2, 0},
    {"minitruco", "miniTruco.jar", "miniTruco.jad", 36, 10, 0},
    {"minitruco-light", "miniTrucoLight.jar", "miniTrucoLight.jad", 22, 6, 0},
    {"opentty-1.1", "OpenTTY-1.1.jar", nullptr, 1, 0, 0},
    {"opentty-1.14.3", "OpenTTY.jar", "OpenTTY.jad", 20, 1, 0},
    {"saymond-fluidsim2d", "FluidSim2D.jar", nullptr, 7, 1, 0},
    {"saymond-systeminfo", "SystemInfo.jar", nullptr, 2, 1, 0},
    {"saymond-strudel", "Strudel.jar", nullptr, 27, 1, 0},
    {"fplay", "FPlay.jar", "FPlay.jad", 67, 1, 1},
    {"nextcaltrain", "NextCaltrain-1.2.jar", "NextCaltrain-1.2.jad", 16, 5, 0},
    {"apress-hello", "hello.jar", "hello.jad", 2, 1, 0},
    {"apress-jump", "jump.jar", "jump.jad", 7, 0, 0},
    {"apress-book7", "book.jar", "book.jad", 17, 2, 0},
    {"snakewar", "SnakeWar.jar", "SnakeWar.jad", 20, 0, 0},
    {"xetang", "Xe Tang.jar", "Xe Tang.jad", 8, 1, 0},
    {"sokoban", "Sokoban.jar", "Sokoban.jad", 5, 1, 0},
};

void PrintTo(const Suite& suite, std::ostream* os) {
  *os << suite.folder;
}

std::vector<Suite> SuitesWithDescriptor() {
  std::vector<Suite> suites;
  for (const Suite& s : kSuites) {
    if (s.jad != nullptr) suites.push_back(s);
  }
  return suites;
}

class CorpusSuite : public testing::TestWithParam<Suite> {
 protected:
  void SetUp() override {
    jar_ = test::CorpusFile(std::string(GetParam().folder) + "/" + GetParam().jar);
    if (jar_.empty()) GTEST_SKIP() << "sample suites not present at " << KORVEL_CORPUS_DIR;
  }

  // Unpacks the suite with Info-ZIP into `folder`.
  void Unpack(const std::string& folder) const {
    const std::string command = "unzip -qq -o '" + jar_ + "' -d '" + folder + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }

  std::string jar_;
};

std::vector<std::string> NonEmptyLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      if (!line.empty()) lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

TEST_P(CorpusSuite, PatchRedirectsExactlyTheCanvasUsers) {
  TempDir dir;
  Unpack(dir.Path());
  int classes = 0, patched = 0, nokia = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) {
    if (entry.path().extension() != ".class") continue;
    ++classes;
    const std::string file = entry.path().string();
    const std::string before = ReadFile(file);
    if (FileContainsText(file, kNokiaPackagePrefix)) ++nokia;
    if (PatchClassFile(file, kCanvasClassName, kFullCanvasClassName)) ++patched;
    const std::string after = ReadFile(file);

    // Same size; every changed byte lies inside a redirected name.
    ASSERT_EQ(after.size(), before.size()) << file;
    std::size_t pos = 0;
    while (pos < after.size()) {
      if (after.compare(pos, kFullCanvasClassName.size(), kFullCanvasClassName) == 0 &&
          before.compare(pos, kCanvasClassName.size(), kCanvasClassName) == 0) {
        pos += kCanvasClassName.size();
        continue;
      }
      ASSERT_EQ(after[pos], before[pos]) << file << " differs at " << pos;
      ++pos;
    }
    EXPECT_EQ(after.find(kCanvasClassName), std::string::npos) << file;
  }
  EXPECT_EQ(classes, GetParam().classes);
  EXPECT_EQ(patched, GetParam().canvas_users);
  EXPECT_EQ(nokia, GetParam().nokia_users);
}

TEST_P(CorpusSuite, AttributeFilterKeepsEveryManifestLine) {
  TempDir dir;
  Unpack(dir.Path());
  const auto manifest = platform::ResolvePathIgnoringCase(dir.Path(), "Meta-inf/Manifest.mf");
  ASSERT_TRUE(manifest.has_value());
  const std::string before = ReadFile(*manifest);
  ASSERT_TRUE(FilterAttributes(*manifest));
  const std::string after = ReadFile(*manifest);
  // No sample suite hides MIDlets or asks for install notices: only the line ends change.
  EXPECT_EQ(NonEmptyLines(after), NonEmptyLines(before));
  EXPECT_EQ(after, NormalizeLineBreaks(after));
}

using CorpusDescriptor = CorpusSuite;

TEST_P(CorpusDescriptor, UpdateKeepsOtherLinesAndRenewsSizeAndUrl) {
  TempDir dir;
  const std::string original =
      ReadFile(test::CorpusFile(std::string(GetParam().folder) + "/" + GetParam().jad));
  const std::string jad = dir.Write(GetParam().jad, original);
  const std::string jar = dir.Write(GetParam().jar, ReadFile(jar_));

  ASSERT_TRUE(UpdateDescriptor(jad, GetFileSizeOf(jar), platform::FileNamePart(jar)));

  std::vector<std::string> expected;
  for (const std::string& line : NonEmptyLines(original)) {
    if (line.rfind("MIDlet-Jar-Size", 0) == 0 || line.rfind("MIDlet-Jar-URL", 0) == 0 ||
        line.rfind("MIDlet-Jar-RSA-SHA1", 0) == 0 || line.rfind("MIDlet-Certificate-", 0) == 0) {
      continue;
    }
    expected.push_back(line);
  }
  expected.push_back("MIDlet-Jar-Size: " + std::to_string(fs::file_size(jar)));
  expected.push_back(std::string("MIDlet-Jar-URL: ") + GetParam().jar);
  const std::string updated = ReadFile(jad);
  EXPECT_EQ(NonEmptyLines(updated), expected);
  EXPECT_EQ(updated, NormalizeLineBreaks(updated));
}

std::string SuiteName(const testing::TestParamInfo<Suite>& info) {
  std::string name = info.param.folder;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(SampleSuites, CorpusSuite, testing::ValuesIn(kSuites), SuiteName);
INSTANTIATE_TEST_SUITE_P(SampleSuites, CorpusDescriptor, testing::ValuesIn(SuitesWithDescriptor()),
                         SuiteName);

}  // namespace
}  // namespace korvel
