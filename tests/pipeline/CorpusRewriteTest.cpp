// The class step, the attribute filter and the descriptor update over real MIDlet suites.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "pipeline/ClassFile.h"
#include "pipeline/GameClasses.h"
#include "pipeline/ManifestRewrite.h"
#include "platform/Files.h"
#include "support/CorpusSuites.h"
#include "support/TempDir.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::Suite;
using test::SuiteName;
using test::SuitesWithDescriptor;
using test::TempDir;

class CorpusSuite : public testing::TestWithParam<Suite> {
 protected:
  void SetUp() override { jar_ = GetParam().JarPath(); }

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

// The class step over a whole suite: every direct canvas subclass redirected and written back,
// and a second pass over the written classes changes nothing.
TEST_P(CorpusSuite, RedirectLeavesNoDirectCanvasSubclass) {
  TempDir dir;
  Unpack(dir.Path());
  std::vector<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) {
    if (entry.path().extension() != ".class") continue;
    paths.push_back(fs::relative(entry.path(), dir.Path()).generic_string());
  }
  GameClasses game = GameClasses::Read(dir.Path(), paths);
  const AdaptResult result = game.Adapt({});
  EXPECT_TRUE(result.warnings.empty());
  game.Write(dir.Path());

  int game_canvases = 0;
  for (const std::string& path : paths) {
    const std::string after = ReadFile(dir / path);
    const ClassOutline outline(after);
    const std::string_view base = outline.ClassName(outline.SuperClass());
    EXPECT_NE(base, kCanvasClassName) << path;
    EXPECT_NE(base, kGameCanvasClassName) << path;
    game_canvases += base == kFullGameCanvasClassName;
  }
  EXPECT_EQ(paths.size(), static_cast<std::size_t>(GetParam().classes));
  EXPECT_EQ(result.redirected, GetParam().canvases);
  EXPECT_EQ(game_canvases, GetParam().game_canvases);
  EXPECT_EQ(result.NokiaUsers(), GetParam().nokia_users);

  GameClasses again = GameClasses::Read(dir.Path(), paths);
  const AdaptResult second = again.Adapt({});
  EXPECT_EQ(second.redirected, 0);
  EXPECT_EQ(second.Adapts(), result.Adapts());
  for (const GameClass& cls : again.Classes()) EXPECT_FALSE(cls.changed) << cls.path;
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
  const std::string original = ReadFile(GetParam().JadPath());
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
  expected.push_back("MIDlet-Jar-URL: " + JarUrlOf(GetParam().jar));
  const std::string updated = ReadFile(jad);
  EXPECT_EQ(NonEmptyLines(updated), expected);
  EXPECT_EQ(updated, NormalizeLineBreaks(updated));
}

INSTANTIATE_TEST_SUITE_P(SampleSuites, CorpusSuite, testing::ValuesIn(test::Suites()), SuiteName);
INSTANTIATE_TEST_SUITE_P(SampleSuites, CorpusDescriptor, testing::ValuesIn(SuitesWithDescriptor()),
                         SuiteName);

}  // namespace
}  // namespace korvel
