// The patch job over copies of every sample suite: what must hold for any real game.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "pipeline/ClassPatcher.h"
#include "pipeline/ManifestRewrite.h"
#include "support/CorpusSuites.h"
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
  ASSERT_TRUE(job_->ProcessJar(jar_, true));
  const bool nokia = suite.nokia_users > 0;

  // FullCanvas extends the canvas too, so it is counted when it is added.
  const int expected_count = suite.canvas_users + (nokia ? 1 : 0);
  EXPECT_EQ(sink_.lines.at(4),
            Text(TextId::kFilesPatchedCount) + " " + std::to_string(expected_count));
  EXPECT_EQ(sink_.lines.at(2),
            Text(nokia ? TextId::kWritingNokiaClasses : TextId::kNokiaFunctionsNotUsed));

  std::string out;
  EXPECT_EQ(test::RunCommand("unzip -tq '" + jar_ + "'", out), 0) << out;
  const auto before = test::Unzip(games_.Write("original.zip", original_jar_));
  const auto after = test::Unzip(jar_);

  std::set<std::string> expected_names;
  for (const auto& [name, content] : before) expected_names.insert(name);
  expected_names.insert(kFullCn);
  if (nokia) expected_names.insert(std::begin(kNokiaClasses), std::end(kNokiaClasses));
  std::set<std::string> names;
  for (const auto& [name, content] : after) names.insert(name);
  EXPECT_EQ(names, expected_names);

  for (const auto& [name, content] : after) {
    const bool is_class = name.size() > 6 && name.compare(name.size() - 6, 6, ".class") == 0;
    if (name == kFullCn) {
      EXPECT_EQ(content, test::ReadFile(test::SourceFile("payload/FullCn.class")));
    } else if (is_class) {
      EXPECT_EQ(content.find(kCanvasClassName), std::string::npos) << name;
    } else if (name != "META-INF/MANIFEST.MF") {
      EXPECT_EQ(content, before.at(name)) << name;  // resources travel unchanged
    }
  }
  if (nokia) {
    EXPECT_NE(after.at("com/nokia/mid/ui/FullCanvas.class").find(kFullCanvasClassName),
              std::string::npos);
  }

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

INSTANTIATE_TEST_SUITE_P(SampleSuites, CorpusJob, testing::ValuesIn(test::Suites()),
                         test::SuiteName);

}  // namespace
}  // namespace korvel
