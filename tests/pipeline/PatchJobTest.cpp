// The patch job from start to end, on a small game made here and on copies of real games.
#include "pipeline/PatchJob.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

#include "archive/Archiver.h"
#include "payload/ProgramStore.h"
#include "pipeline/ClassFile.h"
#include "pipeline/GameClasses.h"
#include "pipeline/GameFiles.h"
#include "platform/FileError.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "search/EasyFileSearch.h"
#include "store/StoredItems.h"
#include "support/JarGrowth.h"
#include "support/TempDir.h"
#include "support/ZipBuilder.h"
#include "tests/pipeline/JobFixture.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::Lines;
using test::ReadFile;
using test::RunCommand;
using test::TempDir;
using test::Unzip;

std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::vector<test::RawEntry> list;
  for (const auto& [name, data] : entries) list.push_back({name, data});
  return test::MakeZip(list);
}

// An entry of `size` zero bytes, deflated: a small archive that unpacks to a great deal.
test::RawEntry Zeros(const std::string& name, std::uint32_t size) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  const std::string chunk(1 << 20, '\0');
  std::string packed(deflateBound(&z, size), '\0');
  z.next_out = reinterpret_cast<Bytef*>(packed.data());
  z.avail_out = static_cast<uInt>(packed.size());
  uLong crc = crc32(0, nullptr, 0);
  for (std::uint32_t left = size; left > 0;) {
    const auto n = std::min<std::uint32_t>(left, chunk.size());
    crc = crc32(crc, reinterpret_cast<const Bytef*>(chunk.data()), n);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.data()));
    z.avail_in = n;
    left -= n;
    deflate(&z, left == 0 ? Z_FINISH : Z_NO_FLUSH);
  }
  packed.resize(z.total_out);
  deflateEnd(&z);
  test::RawEntry entry{name, packed};
  entry.method = 8;
  entry.size = size;
  entry.crc = static_cast<std::uint32_t>(crc);
  return entry;
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
  ASSERT_EQ(Process(jar, true), JobOutcome::kAdapted);

  EXPECT_EQ(sink_.lines,
            (std::vector<std::string>{
                Text(TextId::kInitializing), Text(TextId::kExtractingFiles),
                Text(TextId::kNokiaFunctionsNotUsed), Text(TextId::kPatchingFiles),
                Text(TextId::kFilesPatchedCount) + " 1", Text(TextId::kWritingFullscreenClass),
                Text(TextId::kCreatingJar), Text(TextId::kCreatingJad),
                Text(TextId::kClearingTempDir), Text(TextId::kWorkFinished)}));
  EXPECT_TRUE(sink_.gauges.empty());
  EXPECT_FALSE(fs::exists(program_ / "temp"));
  // Unpacking, packing and reading back each end their progress line with every entry done.
  std::vector<std::string> finished;
  for (const std::string& line : sink_.progress) {
    const std::string counts = line.substr(line.rfind(' ', line.rfind(" / ") - 1) + 1);
    const std::string done = counts.substr(0, counts.find(' '));
    if (counts == done + " / " + done) finished.push_back(line);
  }
  EXPECT_EQ(finished.size(), 3u) << testing::PrintToString(sink_.progress);
  EXPECT_EQ(finished.front().rfind(Text(TextId::kArchiveEntries) + " ", 0), 0u);

  std::string out;
  EXPECT_EQ(RunCommand("unzip -tq '" + jar + "'", out), 0) << out;
  const auto files = Unzip(jar);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(CanvasSizeOf(files.at("com/quillmoss/fullscreen/FullCn.class")),
            (CanvasSize{176, 208}));
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
  ASSERT_EQ(Process(jar, true), JobOutcome::kAdapted);
  const auto files = Unzip(jar);
  EXPECT_EQ(files.at(".settings"), "dot file");
  EXPECT_EQ(files.at("img/.hidden.png"), "png");
  EXPECT_EQ(files.at("data/levels.bin"), std::string(3000, '\x01'));
  EXPECT_EQ(files.size(), 6u);
}

// A game's own classes in the Nokia package are redirected once, unless the Nokia classes are
// added over them; then the added ones are.
// Folder entries follow the game's JAR: none when it had none; else those it had, and one for
// each folder it did not have, but none for a folder it had files in and no entry for.
TEST_F(PatchJobTest, FolderEntriesFollowTheOriginal) {
  const std::set<std::string> kNew = {"com/", "com/quillmoss/", "com/quillmoss/fullscreen/"};
  struct Case {
    std::vector<std::string> folders;  // the original's folder entries
    std::set<std::string> expected;    // the adapted JAR's
  };
  std::set<std::string> all = kNew;
  all.insert({"META-INF/", "res/"});
  std::set<std::string> partial = kNew;
  partial.insert("META-INF/");
  const Case cases[] = {{{}, {}}, {{"META-INF/", "res/"}, all}, {{"META-INF/"}, partial}};
  for (const Case& c : cases) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (const std::string& folder : c.folders) entries.emplace_back(folder, "");
    entries.insert(entries.end(), {{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n"},
                                   {"res/a.txt", "a"},
                                   {"DemoGame.class", DemoClass()}});
    const std::string jar = games_.Write("Folders.jar", StoredZip(entries));
    ASSERT_EQ(Process(jar, false), JobOutcome::kAdapted);
    std::set<std::string> folders;
    for (const auto& [name, size] : test::EntryBytes(jar)) {
      if (name.back() == '/') folders.insert(name);
    }
    EXPECT_EQ(folders, c.expected) << testing::PrintToString(c.folders);
  }
}

TEST_F(PatchJobTest, ClassesInTheNokiaPackageAreRedirectedAfterTheNokiaClassesAreIn) {
  const std::string canvas = DemoClass();
  const std::pair<std::string, std::string> user{"Tune.class", "x com/nokia/mid/sound/Sound"};
  const struct {
    std::vector<std::pair<std::string, std::string>> classes;
    bool nokia;
    int redirected;
  } cases[] = {
      {{{"com/nokia/mid/ui/Own.class", canvas}}, false, 2},
      {{{"com/nokia/mid/ui/Own.class", canvas}, user}, true, 3},
      {{{"com/nokia/mid/ui/FullCanvas.class", canvas}, user}, true, 2},
  };
  for (const auto& c : cases) {
    auto entries = c.classes;
    entries.emplace_back("DemoGame.class", canvas);
    const std::string jar = games_.Write("Pkg.jar", StoredZip(entries));
    ASSERT_EQ(Process(jar, true), JobOutcome::kAdapted);
    EXPECT_EQ(report_.nokia, c.nokia);
    EXPECT_EQ(report_.classes_redirected, c.redirected);
    for (auto [name, bytes] : Unzip(jar)) {
      if (name.rfind("com/nokia/mid/ui/", 0) == 0 &&
          (name.ends_with("Canvas.class") || name.ends_with("Own.class"))) {
        EXPECT_EQ(RedirectCanvasClass(bytes), CanvasKind::kFullCanvas) << name;
      }
    }
  }
}

TEST_F(PatchJobTest, BatchModeDrivesTheGaugeInsteadOfTheConsole) {
  const std::string jar = MakeDemoGame();
  ASSERT_EQ(Process(jar, false), JobOutcome::kAdapted);
  EXPECT_TRUE(sink_.lines.empty());
  EXPECT_EQ(sink_.gauges,
            (std::vector<int>{0, 5, 10, 15, 25, 30, 60, 65, 70, 75, 90, 95, 99, 100}));
}

TEST_F(PatchJobTest, ASecondRunRenewsTheSizeWithoutRedirectingAgain) {
  const std::string jar = MakeDemoGame();
  settings_.ResW = 150;
  ASSERT_EQ(Process(jar, true), JobOutcome::kAdapted);
  settings_.ResW = 0;  // out of range: the default width is used (and saved: SaveSettings)
  sink_.lines.clear();
  ASSERT_EQ(Process(jar, true), JobOutcome::kAdapted);
  EXPECT_EQ(sink_.lines.at(4), Text(TextId::kFilesPatchedCount) + " 0");
  EXPECT_EQ(settings_.ResW, 0);  // the owner's record is read, never written
  const auto files = Unzip(jar);
  EXPECT_EQ(files.size(), 3u);
  EXPECT_EQ(CanvasSizeOf(files.at("com/quillmoss/fullscreen/FullCn.class")),
            (CanvasSize{128, settings_.ResH}));
}

// A game whose screens are all game canvases carries FullGameCn alone; a FullCn that an earlier
// version put in beside it goes when the game is adapted again, after which the game counts as
// adapted for that size.
TEST_F(PatchJobTest, OnlyTheInjectedClassesTheGameBuildsOnAreKept) {
  const std::string jar =
      games_.Write("jump.jar", ReadFile(test::CorpusFile("apress-jump/jump.jar")));
  ASSERT_EQ(Process(jar, false), JobOutcome::kAdapted);
  EXPECT_EQ(Unzip(jar).count("com/quillmoss/fullscreen/FullCn.class"), 0u);
  build_.Write("com/quillmoss/fullscreen/FullCn.class",
               ReadFile(test::SourceFile("payload/FullCn.class")));
  std::string out;
  ASSERT_EQ(RunCommand("cd '" + build_.Path() + "' && zip -q '" + jar +
                           "' com/quillmoss/fullscreen/FullCn.class",
                       out),
            0)
      << out;
  settings_.ResW = 100;
  ASSERT_EQ(Process(jar, false), JobOutcome::kAdapted);
  const auto files = Unzip(jar);
  EXPECT_EQ(files.count("com/quillmoss/fullscreen/FullCn.class"), 0u);
  EXPECT_EQ(CanvasSizeOf(files.at("com/quillmoss/fullscreen/game/FullGameCn.class")),
            (CanvasSize{100, settings_.ResH}));
  EXPECT_EQ(Process(jar, false), JobOutcome::kAlreadyAdapted);
}

TEST_F(PatchJobTest, AGameAlreadyAdaptedForTheSizeIsLeftAlone) {
  const std::string jar = MakeDemoGame();
  settings_.ResW = 176;
  settings_.ResH = 208;
  ASSERT_EQ(Process(jar, true), JobOutcome::kAdapted);
  const std::string adapted = ReadFile(jar);
  const std::string jad = ReadFile(DescriptorPath(jar));
  sink_.lines.clear();
  ASSERT_EQ(Process(jar, true), JobOutcome::kAlreadyAdapted);
  EXPECT_EQ(sink_.lines.back(), Text(TextId::kAlreadyAdapted) + " 176x208");
  EXPECT_EQ(ReadFile(jar), adapted);
  EXPECT_EQ(ReadFile(DescriptorPath(jar)), jad);
  // Another height: adapted again.
  settings_.ResH = 220;
  ASSERT_EQ(Process(jar, true), JobOutcome::kAdapted);
  EXPECT_EQ((report_.adapted_size), (CanvasSize{176, 208}));
  EXPECT_EQ(CanvasSizeOf(Unzip(jar).at("com/quillmoss/fullscreen/FullCn.class")),
            (CanvasSize{176, 220}));
}

// Files in the games folder after a job: nothing but the game, its JAD and a backup.
std::set<std::string> FolderNames(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

TEST_F(PatchJobTest, ABackupIsMadeOnlyWhenAskedAndAnExistingOneIsNeverTouched) {
  const std::string jar = MakeDemoGame();
  const std::string original = ReadFile(jar);
  const std::string jad = ReadFile(games_ / "Demo.jad");
  // What lies at Demo.jar.bak before the job: nothing, an empty file, a copy cut short, the
  // user's own file, an exact copy.
  const std::optional<std::string> existing[] = {
      std::nullopt, "", original.substr(0, original.size() / 2), "the user's file", original};
  for (const bool backup : {true, false}) {
    for (const auto& before : existing) {
      SCOPED_TRACE(testing::Message() << "backup " << backup << ", existing "
                                      << (before ? std::to_string(before->size()) : "none"));
      games_.Write("Demo.jar", original);
      games_.Write("Demo.jad", jad);
      fs::remove(jar + ".bak");
      fs::remove(games_ / "Demo.jad.bak");
      if (before) games_.Write("Demo.jar.bak", *before);
      struct stat input {};
      ASSERT_EQ(::stat(jar.c_str(), &input), 0);
      settings_.Backup = backup;
      ASSERT_EQ(Process(jar, true), JobOutcome::kAdapted) << report_.reason;
      EXPECT_NE(ReadFile(jar), original);
      // The report tells what a front end shows: sizes and the backup left beside the game.
      const JobReport& report = report_;
      EXPECT_EQ(report.outcome, JobOutcome::kAdapted);
      EXPECT_EQ(report.classes_redirected, 1);
      EXPECT_EQ(report.size_before, static_cast<std::int64_t>(original.size()));
      EXPECT_EQ(report.size_after, static_cast<std::int64_t>(fs::file_size(jar)));
      EXPECT_EQ(report.backup, backup || before ? jar + ".bak" : "");
      if (before) {
        EXPECT_EQ(ReadFile(jar + ".bak"), *before);
      } else if (backup) {
        EXPECT_EQ(ReadFile(jar + ".bak"), original);
        struct stat kept {};  // the input file itself, not a copy of it
        EXPECT_TRUE(::stat((jar + ".bak").c_str(), &kept) == 0 && kept.st_ino == input.st_ino);
        EXPECT_EQ(ReadFile(games_ / "Demo.jad.bak"), jad);  // kept only with a backup we made
      }
      std::set<std::string> expected = {"Demo.jar", "Demo.jad"};
      if (before || backup) expected.insert("Demo.jar.bak");
      if (!before && backup) expected.insert("Demo.jad.bak");
      EXPECT_EQ(FolderNames(games_.Path()), expected);
    }
  }
}

// The job makes its own folder, whoever runs it; without one (no home folder) it refuses before
// touching the game.
TEST_F(PatchJobTest, TheJobMakesItsFolderOrRefusesWithoutOne) {
  const std::string jar = MakeDemoGame();
  const std::string original = ReadFile(jar);
  EXPECT_THROW(components_.MakeJob(sink_, "")->ProcessJar(jar, true), FileError);
  EXPECT_EQ(ReadFile(jar), original);
  const std::string folder = program_ / "new/job";
  EXPECT_EQ(components_.MakeJob(sink_, folder)->ProcessJar(jar, true).outcome,
            JobOutcome::kAdapted);
  EXPECT_TRUE(fs::is_directory(folder));
}

// Jobs share the components but nothing else: a job made later never takes over the scans of
// one made before it.
TEST_F(PatchJobTest, TwoJobsFromTheSameComponentsEachKeepTheirOwnAccount) {
  const std::string first = MakeDemoGame();
  const std::string second = games_ / "Second.jar";
  fs::copy_file(first, second);
  test::RecordingSink other_sink;
  const std::unique_ptr<PatchJob> other = components_.MakeJob(other_sink, program_.Path());
  for (const auto& [job, jar] : {std::pair{job_.get(), first}, std::pair{other.get(), second}}) {
    const JobReport report = job->ProcessJar(jar, true);
    EXPECT_EQ(report.outcome, JobOutcome::kAdapted) << jar << ": " << report.reason;
    EXPECT_GT(report.classes_redirected, 0) << jar;
  }
  EXPECT_EQ(other_sink.lines.front(), Text(TextId::kInitializing));
}

TEST_F(PatchJobTest, ARelativeNameWorksFromAnyFolderAndTheFolderStays) {
  const std::string jar = MakeDemoGame();
  const std::string sub = games_.MakeDir("sub");
  for (const auto& [folder, name] :
       {std::pair{games_.Path(), "Demo.jar"}, std::pair{sub, "../Demo.jar"}}) {
    platform::SetCurrentDirectory(folder);
    ++settings_.ResW;  // a new size each time, or the second run would find nothing to do
    ASSERT_EQ(Process(name, true), JobOutcome::kAdapted) << report_.reason;
    EXPECT_EQ(platform::CurrentDirectory(), folder);
    EXPECT_EQ(Lines(ReadFile(games_ / "Demo.jad")).at(2),
              "MIDlet-Jar-Size: " + std::to_string(fs::file_size(jar)));
  }
  EXPECT_EQ(FolderNames(games_.Path()), (std::set<std::string>{"Demo.jar", "Demo.jad", "sub"}));
}

TEST_F(PatchJobTest, TheDescriptorIsFoundInAnyCaseAndTheUrlIsEncoded) {
  const std::string jar = MakeDemoGame("My Game 100%");
  fs::rename(games_ / "My Game 100%.jad", games_ / "My Game 100%.JAD");
  ASSERT_EQ(Process(jar, true), JobOutcome::kAdapted) << report_.reason;
  EXPECT_EQ(FolderNames(games_.Path()),
            (std::set<std::string>{"My Game 100%.jar", "My Game 100%.JAD"}));
  const auto lines = Lines(ReadFile(games_ / "My Game 100%.JAD"));
  EXPECT_EQ(lines,
            (std::vector<std::string>{"MIDlet-1: Demo,,DemoGame", "MIDlet-Name: Demo",
                                      "MIDlet-Jar-Size: " + std::to_string(fs::file_size(jar)),
                                      "MIDlet-Jar-URL: My%20Game%20100%25.jar"}));
}

TEST_F(PatchJobTest, TheJarKeepsItsPermissions) {
  const std::string jar = MakeDemoGame();
  fs::permissions(jar, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_EQ(Process(jar, true), JobOutcome::kAdapted);
  EXPECT_EQ(fs::status(jar).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(PatchJobTest, WithoutJadSettingTheDescriptorIsOnlyFiltered) {
  const std::string jar = MakeDemoGame();
  games_.Write("Demo.jad", "MIDxlet-1: x\nMIDlet-Jar-Size: 1\n");
  settings_.Jad = false;
  ASSERT_EQ(Process(jar, true), JobOutcome::kAdapted);
  EXPECT_EQ(ReadFile(games_ / "Demo.jad"), "MIDlet-Jar-Size: 1\r\n");

  // With it, a missing descriptor is made from the manifest.
  fs::remove(games_ / "Demo.jad");
  settings_.Jad = true;
  settings_.ResW = 100;
  ASSERT_EQ(Process(jar, true), JobOutcome::kAdapted);
  const auto jad = Lines(ReadFile(games_ / "Demo.jad"));
  ASSERT_EQ(jad.size(), 5u);
  EXPECT_EQ(jad[0], "Manifest-Version: 1.0");
  EXPECT_EQ(jad[4], "MIDlet-Jar-URL: Demo.jar");
}

// Whatever makes the job fail, the user's files stay byte for byte as they were, and the reason
// is told.
class FailingJob : public PatchJobTest {
 protected:
  // The reasons are looked for in the English words.
  FailingJob() { texts_ = Language::English(); }
  void ExpectUntouched(const std::string& jar, const std::string& content) {
    EXPECT_EQ(ReadFile(jar), content);
    EXPECT_EQ(ReadFile(games_ / "Game.jad"), kJad);
    EXPECT_EQ(FolderNames(games_.Path()), (std::set<std::string>{"Game.jar", "Game.jad"}));
    EXPECT_FALSE(fs::exists(program_ / "temp"));
    EXPECT_FALSE(fs::exists(program_ / "staged.jad"));
  }
  // The reason, then the two failure lines.
  void ExpectFailureLines(const std::string& reason_part) {
    EXPECT_NE(report_.reason.find(reason_part), std::string::npos) << report_.reason;
    ASSERT_GE(sink_.lines.size(), 3u);
    EXPECT_EQ(sink_.lines[sink_.lines.size() - 3], report_.reason);
    EXPECT_EQ(sink_.lines[sink_.lines.size() - 2], Text(TextId::kJarNotCreated));
    EXPECT_EQ(sink_.lines.back(), Text(TextId::kOriginalFileRecovered));
  }
  std::string MakeFile(const std::string& content) {
    games_.Write("Game.jad", kJad);
    return games_.Write("Game.jar", content);
  }
  static constexpr const char* kJad = "MIDlet-Name: Game\nMIDlet-Jar-Size: 3\n";
};

TEST_F(FailingJob, ArchivesThatCannotBeUnpackedAreLeftAloneWithTheReason) {
  std::string damaged = StoredZip({{"Game.class", "game bytes"}});
  test::RawEntry liar = Zeros("liar.bin", 64u << 20);
  liar.size = 1000;  // the directory understates what the data unpacks to
  damaged.replace(damaged.find("game bytes"), 10, "game bytez");
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"this is not a zip archive", ""},
      {StoredZip({}), "no files"},
      {StoredZip({{"../evil.class", "x"}, {"Game.class", "y"}}),
       "../evil.class: unsafe name refused"},
      {StoredZip({{"/tmp/korvel-absolute.class", "x"}}),
       "/tmp/korvel-absolute.class: unsafe name refused"},
      {damaged, "Game.class: damaged (checksum)"},
      // 64 MiB of zeros in some 64 KiB: refused before a byte is written.
      {test::MakeZip({Zeros("bomb.bin", 64u << 20)}), "would unpack to 64 MiB"},
      // The unpacking engine never writes past the size the directory gives.
      {test::MakeZip({liar}), "liar.bin: damaged"},
  };
  for (const auto& [content, reason] : bad) {
    SCOPED_TRACE(reason);
    const std::string jar = MakeFile(content);
    sink_.lines.clear();
    EXPECT_EQ(Process(jar, true), JobOutcome::kFailed);
    ExpectUntouched(jar, content);
    ExpectFailureLines(reason);
    EXPECT_FALSE(report_.reason.empty());
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
  EXPECT_EQ(Process(jar, true), JobOutcome::kUnchanged);
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
  fs::copy_file(fs::path(KORVEL_PROGRAM_DIR) / "libunpkeng.so", engines / "libunpkeng.so");
  components_.SetEngineDirectory(engines.Path());
  EXPECT_EQ(Process(jar, true), JobOutcome::kFailed);
  ExpectUntouched(jar, content);
  ExpectFailureLines("");
}

TEST_F(FailingJob, ReadOnlyFilesAreRefusedUntouched) {
  const std::string content = StoredZip({{"Game.class", "game bytes"}});
  for (const char* locked : {"Game.jar", "Game.jad"}) {
    SCOPED_TRACE(locked);
    const std::string jar = MakeFile(content);
    fs::permissions(games_ / locked, fs::perms::owner_read | fs::perms::group_read);
    sink_.lines.clear();
    EXPECT_EQ(Process(jar, true), JobOutcome::kFailed);
    ExpectUntouched(jar, content);
    ExpectFailureLines(std::string(locked) == "Game.jar"
                           ? FailureText(*ReadOnlyRefusal(jar), texts_)
                           : "read-only");
    EXPECT_EQ(fs::status(games_ / locked).permissions(),
              fs::perms::owner_read | fs::perms::group_read);
    fs::permissions(games_ / locked, fs::perms::owner_write, fs::perm_options::add);
  }
}

// A restore or another copy of the program holds the game: the job leaves it to them.
TEST_F(FailingJob, AGameAnotherPartyWorksOnIsLeftToIt) {
  const std::string content = StoredZip({{"Game.class", "game bytes"}});
  const std::string jar = MakeFile(content);
  GameTransaction other(platform::AbsolutePath(jar), {});
  other.Lock(program_.Path());
  EXPECT_EQ(Process(jar, true), JobOutcome::kFailed);
  ExpectUntouched(jar, content);
  ExpectFailureLines("Game.jar is being changed right now by another run");
}

TEST_F(FailingJob, ASecondJobIsRefusedAtOnce) {
  const std::string content = StoredZip({{"Game.class", "game bytes"}});
  const std::string jar = MakeFile(content);
  platform::FileLock other(JobLockPath(program_.Path()));
  ASSERT_TRUE(other.Held());
  EXPECT_THROW(Process(jar, true), JobError);
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

TEST(JobPaths, GamesAreJarsInAnyLetterCase) {
  for (const char* game : {"/games/a.jar", "b.JAR", "c.Jar", ".jar"}) {
    EXPECT_TRUE(IsGameFileName(game)) << game;
  }
  for (const char* other : {"/games/a.jar.bak", "a.jad", "jar", "/games.jar/a", ""}) {
    EXPECT_FALSE(IsGameFileName(other)) << other;
  }
}

}  // namespace
}  // namespace korvel
