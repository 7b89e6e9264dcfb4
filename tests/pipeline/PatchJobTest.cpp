// The patch job from start to end, on a small game made here and on copies of real games.
#include "pipeline/PatchJob.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <map>

#include "archive/ZipMstr.h"
#include "payload/ProgramStore.h"
#include "pipeline/ClassFile.h"
#include "pipeline/ClassPatcher.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "search/EasyFileSearch.h"
#include "store/mxStorage.h"
#include "support/TempDir.h"
#include "tests/pipeline/JobFixture.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::Lines;
using test::ReadFile;
using test::RunCommand;
using test::TempDir;
using test::Unzip;

// A stored zip archive with the given entries, written byte by byte so that it may hold names
// no archiver would write.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& entries) {
  auto u16 = [](std::string& s, unsigned v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
  };
  auto u32 = [&](std::string& s, std::uint32_t v) {
    u16(s, v & 0xFFFF);
    u16(s, v >> 16);
  };
  std::string out, central;
  for (const auto& [name, data] : entries) {
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    const auto offset = static_cast<std::uint32_t>(out.size());
    u32(out, 0x04034B50);
    u16(out, 10), u16(out, 0), u16(out, 0), u16(out, 0), u16(out, 0x21);
    u32(out, crc), u32(out, data.size()), u32(out, data.size());
    u16(out, name.size()), u16(out, 0);
    out += name + data;
    u32(central, 0x02014B50);
    u16(central, 20), u16(central, 10), u16(central, 0), u16(central, 0), u16(central, 0);
    u16(central, 0x21);
    u32(central, crc), u32(central, data.size()), u32(central, data.size());
    u16(central, name.size()), u16(central, 0), u16(central, 0), u16(central, 0), u16(central, 0);
    u32(central, 0), u32(central, offset);
    central += name;
  }
  const auto central_offset = static_cast<std::uint32_t>(out.size());
  out += central;
  u32(out, 0x06054B50);
  u16(out, 0), u16(out, 0), u16(out, entries.size()), u16(out, entries.size());
  u32(out, central.size()), u32(out, central_offset), u16(out, 0);
  return out;
}

class PatchJobTest : public testing::Test, public test::JobFixture {
 protected:
  static std::string DemoClass() { return ReadFile(test::Demo().classes + "/DemoGame.class"); }
  void SetUp() override { SetUpJob(); }
  void TearDown() override { TearDownJob(); }
};

TEST_F(PatchJobTest, AdaptsAGameFromStartToEnd) {
  const std::string jar = MakeDemoGame();
  settings_.ResW = 176;
  settings_.ResH = 208;
  ASSERT_EQ(job_->ProcessJar(jar, true), JobOutcome::kAdapted);

  EXPECT_EQ(sink_.lines,
            (std::vector<std::string>{
                Text(TextId::kInitializing), Text(TextId::kExtractingFiles),
                Text(TextId::kNokiaFunctionsNotUsed), Text(TextId::kPatchingFiles),
                Text(TextId::kFilesPatchedCount) + " 1", Text(TextId::kWritingFullscreenClass),
                Text(TextId::kCreatingJar), Text(TextId::kCreatingJad),
                Text(TextId::kClearingTempDir), Text(TextId::kWorkFinished)}));
  EXPECT_TRUE(sink_.gauges.empty());
  EXPECT_EQ(job_->ScanMode, 1);

  std::string out;
  EXPECT_EQ(RunCommand("unzip -tq '" + jar + "'", out), 0) << out;
  const auto files = Unzip(jar);
  ASSERT_EQ(files.size(), 3u);
  const std::string& full = files.at("com/quillmoss/fullscreen/FullCn.class");
  EXPECT_EQ(static_cast<unsigned char>(full[263]), 176);
  EXPECT_EQ(static_cast<unsigned char>(full[305]), 208);
  const std::string& game = files.at("DemoGame.class");
  const ClassOutline outline(game);
  EXPECT_EQ(outline.ClassName(outline.SuperClass()), kFullCanvasClassName);
  EXPECT_EQ(files.at("META-INF/MANIFEST.MF"),
            "Manifest-Version: 1.0\r\nMIDlet-1: Demo,,DemoGame\r\nMIDlet-Name: Demo\r\n");

  const auto jad = Lines(ReadFile(games_ / "Demo.jad"));
  EXPECT_EQ(jad, (std::vector<std::string>{"MIDlet-1: Demo,,DemoGame", "MIDlet-Name: Demo",
                                           "MIDlet-Jar-Size: " + std::to_string(fs::file_size(jar)),
                                           "MIDlet-Jar-URL: Demo.jar"}));
  EXPECT_FALSE(fs::exists(jar + ".bak"));
  EXPECT_FALSE(fs::exists(program_ / "temp"));
  EXPECT_FALSE(fs::exists(program_ / "Nokia.zip"));

  // The adapted game runs on the full-screen class with the configured size.
  const std::string run = build_.MakeDir("run");
  ASSERT_EQ(RunCommand("unzip -qq -o '" + jar + "' -d '" + run + "'", out), 0) << out;
  ASSERT_EQ(
      RunCommand("java -Xshare:off -cp '" + run + ":" + test::Demo().midp + "' DemoGame", out), 0)
      << out;
  EXPECT_EQ(out, "176 208 1\n");
}

TEST_F(PatchJobTest, KeepsEveryResourceOfTheGame) {
  const std::string jar =
      games_.Write("Res.jar", StoredZip({{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n"},
                                         {".settings", "dot file"},
                                         {"img/.hidden.png", "png"},
                                         {"data/levels.bin", std::string(3000, '\x01')},
                                         {"DemoGame.class", DemoClass()}}));
  ASSERT_EQ(job_->ProcessJar(jar, true), JobOutcome::kAdapted);
  const auto files = Unzip(jar);
  EXPECT_EQ(files.at(".settings"), "dot file");
  EXPECT_EQ(files.at("img/.hidden.png"), "png");
  EXPECT_EQ(files.at("data/levels.bin"), std::string(3000, '\x01'));
  EXPECT_EQ(files.size(), 6u);
}

TEST_F(PatchJobTest, BatchModeDrivesTheGaugeInsteadOfTheConsole) {
  const std::string jar = MakeDemoGame();
  ASSERT_EQ(job_->ProcessJar(jar, false), JobOutcome::kAdapted);
  EXPECT_TRUE(sink_.lines.empty());
  EXPECT_EQ(sink_.gauges,
            (std::vector<int>{0, 5, 10, 15, 25, 30, 60, 65, 70, 75, 90, 95, 99, 100}));
}

TEST_F(PatchJobTest, ASecondRunRenewsTheSizeWithoutRedirectingAgain) {
  const std::string jar = MakeDemoGame();
  ASSERT_EQ(job_->ProcessJar(jar, true), JobOutcome::kAdapted);
  settings_.ResW = 0;  // out of range: the default width is used and kept
  sink_.lines.clear();
  ASSERT_EQ(job_->ProcessJar(jar, true), JobOutcome::kAdapted);
  EXPECT_EQ(sink_.lines.at(4), Text(TextId::kFilesPatchedCount) + " 0");
  EXPECT_EQ(settings_.ResW, 128);
  const auto files = Unzip(jar);
  EXPECT_EQ(files.size(), 3u);
  EXPECT_EQ(static_cast<unsigned char>(files.at("com/quillmoss/fullscreen/FullCn.class")[263]),
            128);
}

TEST_F(PatchJobTest, BackupRules) {
  const std::string jar = MakeDemoGame();
  const std::string original = ReadFile(jar);
  settings_.Backup = true;
  ASSERT_EQ(job_->ProcessJar(jar, true), JobOutcome::kAdapted);
  EXPECT_EQ(ReadFile(jar + ".bak"), original);

  // An existing backup is neither refreshed nor kept when backups are off.
  settings_.Backup = false;
  games_.Write("Demo.jar.bak", "older backup");
  ASSERT_EQ(job_->ProcessJar(jar, true), JobOutcome::kAdapted);
  EXPECT_FALSE(fs::exists(jar + ".bak"));
}

TEST_F(PatchJobTest, WithoutJadSettingTheDescriptorIsOnlyFiltered) {
  const std::string jar = MakeDemoGame();
  games_.Write("Demo.jad", "MIDxlet-1: x\nMIDlet-Jar-Size: 1\n");
  settings_.Jad = false;
  ASSERT_EQ(job_->ProcessJar(jar, true), JobOutcome::kAdapted);
  EXPECT_EQ(ReadFile(games_ / "Demo.jad"), "MIDlet-Jar-Size: 1\r\n");

  // With it, a missing descriptor is made from the manifest.
  fs::remove(games_ / "Demo.jad");
  settings_.Jad = true;
  ASSERT_EQ(job_->ProcessJar(jar, true), JobOutcome::kAdapted);
  const auto jad = Lines(ReadFile(games_ / "Demo.jad"));
  ASSERT_EQ(jad.size(), 5u);
  EXPECT_EQ(jad[0], "Manifest-Version: 1.0");
  EXPECT_EQ(jad[4], "MIDlet-Jar-URL: Demo.jar");
}

// Whatever makes the job fail, the user's files stay byte for byte as they were.
class FailingJob : public PatchJobTest {
 protected:
  void ExpectUntouched(const std::string& jar, const std::string& content) {
    EXPECT_EQ(ReadFile(jar), content);
    EXPECT_EQ(ReadFile(games_ / "Game.jad"), "MIDlet-Name: Game\nMIDlet-Jar-Size: 3\n");
    EXPECT_FALSE(fs::exists(jar + ".bak"));
    EXPECT_FALSE(fs::exists(jar + ".korvel-new"));
    EXPECT_FALSE(fs::exists(program_ / "temp"));
  }
  std::string MakeFile(const std::string& content) {
    games_.Write("Game.jad", "MIDlet-Name: Game\nMIDlet-Jar-Size: 3\n");
    return games_.Write("Game.jar", content);
  }
};

TEST_F(FailingJob, ArchivesThatCannotBeUnpackedAreLeftAlone) {
  const std::vector<std::string> bad = {
      "this is not a zip archive",
      StoredZip({}),
      StoredZip({{"../evil.class", "x"}, {"Game.class", "y"}}),
      StoredZip({{"/tmp/korvel-absolute.class", "x"}}),
  };
  for (const std::string& content : bad) {
    const std::string jar = MakeFile(content);
    sink_.lines.clear();
    EXPECT_EQ(job_->ProcessJar(jar, true), JobOutcome::kFailed);
    ExpectUntouched(jar, content);
    ASSERT_FALSE(sink_.lines.empty());
    EXPECT_EQ(sink_.lines.back(), Text(TextId::kJarNotCreated));
  }
  EXPECT_FALSE(fs::exists(program_ / "evil.class"));
  EXPECT_FALSE(fs::exists("/tmp/korvel-absolute.class"));
}

// A game with nothing to redirect stays exactly as it came; a class that cannot be read is
// named and left alone.
TEST_F(FailingJob, AGameWithoutACanvasIsLeftUnchanged) {
  const std::string content =
      StoredZip({{"Game.class", "game bytes"},
                 {"Other.class",
                  test::ReadFile(test::Demo().midp + "/javax/microedition/lcdui/Canvas.class")}});
  const std::string jar = MakeFile(content);
  EXPECT_EQ(job_->ProcessJar(jar, true), JobOutcome::kUnchanged);
  ExpectUntouched(jar, content);
  EXPECT_EQ(sink_.lines.at(4).rfind(Text(TextId::kClassNotRead) + " Game.class (", 0), 0u)
      << sink_.lines.at(4);
  EXPECT_EQ(sink_.lines.at(5), Text(TextId::kFilesPatchedCount) + " 0");
  EXPECT_EQ(sink_.lines.back(), Text(TextId::kNoCanvasFound));
}

TEST_F(FailingJob, APackingFailureKeepsTheOriginal) {
  const std::string content = StoredZip({{"Game.class", DemoClass()}});
  const std::string jar = MakeFile(content);
  // Only the unpacking engine is there.
  const TempDir engines;
  fs::copy_file(fs::path(KORVEL_PROGRAM_DIR) / "libunzdll.so", engines / "libunzdll.so");
  zip_.SetDLLDirectory(engines.Path());
  EXPECT_EQ(job_->ProcessJar(jar, true), JobOutcome::kFailed);
  ExpectUntouched(jar, content);
  ASSERT_GE(sink_.lines.size(), 2u);
  EXPECT_EQ(sink_.lines[sink_.lines.size() - 2], Text(TextId::kJarNotCreated));
  EXPECT_EQ(sink_.lines.back(), Text(TextId::kOriginalFileRecovered));
}

TEST_F(FailingJob, ASecondJobIsRefusedAtOnce) {
  const std::string content = StoredZip({{"Game.class", "game bytes"}});
  const std::string jar = MakeFile(content);
  platform::FileLock other(JobLockPath(program_.Path()));
  ASSERT_TRUE(other.Held());
  EXPECT_THROW(job_->ProcessJar(jar, true), JobError);
  ExpectUntouched(jar, content);
  EXPECT_TRUE(sink_.lines.empty());
}

TEST(JobPaths, BackupDescriptorAndWorkFolder) {
  EXPECT_EQ(BackupPath("/games/Race.JAR"), "/games/Race.JAR.bak");
  EXPECT_EQ(DescriptorPath("/games/Race.JAR"), "/games/Race.jad");
  EXPECT_EQ(DescriptorPath("/games/Race"), "/games/Race.jad");
  EXPECT_EQ(DescriptorPath("/games.v2/Race"), "/games.v2/Race.jad");
  EXPECT_EQ(DescriptorPath("/games/Xe Tang.jar"), "/games/Xe Tang.jad");
  EXPECT_EQ(WorkDirectory("/opt/korvel"), "/opt/korvel/temp");
}

}  // namespace
}  // namespace korvel
