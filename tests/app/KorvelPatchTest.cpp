// korvel-patch end to end: options, exit status, summary lines and the settings file it shares
// with the desktop program.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>

#include "pipeline/InjectedClasses.h"
#include "support/TempDir.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::RunCommand;
using test::TempDir;

// A program directory of its own for each test: the executable, the engines and a settings file,
// so that tests never share a work folder or a lock.
class KorvelPatch : public testing::Test {
 protected:
  void SetUp() override {
    const fs::path bin = fs::path(KORVEL_PATCH_EXE).parent_path();
    for (const char* file : {"korvel-patch", "libpackeng.so", "libunpkeng.so"}) {
      fs::copy_file(bin / file, fs::path(program_.Path()) / file);
    }
    fs::permissions(program_ / "korvel-patch", fs::perms::owner_exec, fs::perm_options::add);
  }

  int Run(const std::string& args, const std::string& folder = ".") {
    return RunCommand("cd '" + folder + "' && '" + program_ / "korvel-patch" + "' " + args,
                      output_);
  }

  std::string CorpusCopy(const std::string& folder, const std::string& name) {
    return games_.Write(name, ReadFile(test::CorpusFile(folder + "/" + name)));
  }

  TempDir program_;
  TempDir games_;
  // The reasons are in the user's language; these runs ask for English.
  const std::string english_ = "--lang '" + test::SourceFile("lang/English.lng") + "' ";
  std::string output_;
};

TEST_F(KorvelPatch, UsageErrorsExitWithTwo) {
  for (const char* args : {"", "--width 300 a.jar", "--height 0 a.jar", "--width x a.jar",
                           "--bogus a.jar", "--lang"}) {
    EXPECT_EQ(Run(args), 2) << args << "\n" << output_;
    EXPECT_NE(output_.find("Usage: korvel-patch"), std::string::npos) << args;
  }
  EXPECT_EQ(Run("--help"), 0);
  EXPECT_NE(output_.find("--no-backup"), std::string::npos);
  EXPECT_EQ(Run("--version"), 0);
  EXPECT_EQ(output_.rfind("korvel-patch ", 0), 0u) << output_;
}

TEST_F(KorvelPatch, AdaptsEachFileAndSummarises) {
  const std::string good = CorpusCopy("apress-hello", "hello.jar");
  CorpusCopy("apress-hello", "hello.jad");
  const std::string bad = games_.Write("broken.jar", "not a zip");

  EXPECT_EQ(Run("--quiet --width 176 --backup '" + good + "' '" + bad + "'"), 1) << output_;
  EXPECT_NE(output_.find("adapted: " + good), std::string::npos) << output_;
  // The reason is given: here the component's own words for a file that is no zip.
  EXPECT_NE(output_.find("failed: " + bad + ": This archive is not a valid Zip archive"),
            std::string::npos)
      << output_;
  EXPECT_EQ(output_.find("Инициализация"), std::string::npos);  // --quiet
  EXPECT_EQ(ReadFile(bad), "not a zip");
  EXPECT_TRUE(fs::exists(good + ".bak"));

  std::string full_canvas;
  ASSERT_EQ(
      RunCommand("unzip -p '" + good + "' com/quillmoss/fullscreen/FullCn.class", full_canvas), 0);
  const std::optional<CanvasSize> size = CanvasSizeOf(full_canvas);
  ASSERT_TRUE(size);
  EXPECT_EQ(size->width, 176);
  EXPECT_FALSE(fs::exists(program_ / "korvel.ini"));  // options last for the run only
}

TEST_F(KorvelPatch, AGameWithoutACanvasIsLeftAsItWas) {
  const std::string jar = CorpusCopy("ray-tetris-n3410", "Tetris_N3410.jar");
  const std::string original = ReadFile(jar);
  // Its screen builds on the Nokia FullCanvas, which is redirected only when it is added.
  EXPECT_EQ(Run(english_ + "--quiet --no-nokia '" + jar + "'"), 0) << output_;
  EXPECT_NE(output_.find("unchanged: " + jar + ": no canvas to redirect"), std::string::npos)
      << output_;
  EXPECT_EQ(ReadFile(jar), original);
  EXPECT_FALSE(fs::exists(jar + ".bak"));
  EXPECT_FALSE(fs::exists(games_ / "Tetris_N3410.jad"));  // not made from the manifest either
}

TEST_F(KorvelPatch, ReadsTheSharedSettingsAndLanguage) {
  const std::string good = CorpusCopy("sokoban", "Sokoban.jar");
  program_.Write("korvel.ini", "[Korvel]\nJad=0\nResH=200\n");
  program_.Write("Test.lng", "[Main]\nInitializing=Starting up\n");

  EXPECT_EQ(Run("--lang '" + program_ / "Test.lng" + "' '" + good + "'"), 0) << output_;
  EXPECT_EQ(output_.rfind("Starting up\n", 0), 0u) << output_;
  EXPECT_FALSE(fs::exists(games_ / "Sokoban.jad"));  // Jad=0: no descriptor made
  EXPECT_EQ(Run("'" + games_ / "missing.jar" + "'"), 1);
  EXPECT_NE(output_.find("failed: "), std::string::npos);
}

TEST_F(KorvelPatch, AdaptsTheDemoGameNamedRelativeToTheCurrentFolder) {
  const std::string jar =
      games_.Write("Demo.jar", ReadFile(test::SourceFile("examples/demo/Demo.jar")));
  games_.Write("Demo.jad", ReadFile(test::SourceFile("examples/demo/Demo.jad")));
  ASSERT_EQ(RunCommand("cd '" + games_.Path() + "' && '" + program_ / "korvel-patch" + "' Demo.jar",
                       output_),
            0)
      << output_;
  EXPECT_NE(output_.find("adapted: Demo.jar"), std::string::npos) << output_;
  EXPECT_FALSE(fs::exists(games_ / "Demo.jar.bak"));
  std::string listing;
  ASSERT_EQ(RunCommand("unzip -Z1 '" + jar + "'", listing), 0);
  EXPECT_NE(listing.find("com/quillmoss/fullscreen/FullCn.class"), std::string::npos);
  EXPECT_NE(ReadFile(games_ / "Demo.jad").find("MIDlet-Jar-URL: Demo.jar\r\n"), std::string::npos);
}

// A collection: good games (one in a subfolder, one named in capitals), a broken one, a read-only
// one and a game without a canvas; one line each in name order, then the count.
TEST_F(KorvelPatch, AdaptsEveryJarBelowAFolder) {
  const std::string demo = ReadFile(test::SourceFile("examples/demo/Demo.jar"));
  games_.Write("shelf/b/Demo.jar", demo);
  games_.Write("shelf/a/UPPER.JAR", demo);
  games_.Write("shelf/broken.jar", "not a zip");
  games_.Write("shelf/notes.txt", "not a game");
  const std::string locked = games_.Write("shelf/locked.jar", demo);
  fs::permissions(locked, fs::perms::owner_write, fs::perm_options::remove);
  games_.Write("shelf/tetris.jar", ReadFile(test::CorpusFile("ray-tetris-n3410/Tetris_N3410.jar")));

  EXPECT_EQ(Run(english_ + "--quiet --no-nokia shelf", games_.Path()), 1) << output_;
  const std::vector<std::string> order = {"adapted: shelf/a/UPPER.JAR\n",
                                          "adapted: shelf/b/Demo.jar\n",
                                          "failed: shelf/broken.jar: ",
                                          "failed: shelf/locked.jar: ",
                                          "unchanged: shelf/tetris.jar: no canvas to redirect\n",
                                          "2 adapted, 2 failed, 1 skipped\n"};
  std::size_t at = 0;
  for (const std::string& line : order) {
    at = output_.find(line, at);
    ASSERT_NE(at, std::string::npos) << line << "\n" << output_;
  }
  EXPECT_EQ(output_.find("notes.txt"), std::string::npos);
  EXPECT_EQ(ReadFile(locked), demo);

  // Run again: the adapted games are recognised and not rewritten.
  const std::string adapted = ReadFile(games_ / "shelf/b/Demo.jar");
  EXPECT_EQ(Run(english_ + "--quiet --no-nokia shelf", games_.Path()), 1) << output_;
  EXPECT_NE(output_.find("already adapted: shelf/b/Demo.jar: "), std::string::npos) << output_;
  EXPECT_NE(output_.find("0 adapted, 2 failed, 3 skipped\n"), std::string::npos) << output_;
  EXPECT_EQ(ReadFile(games_ / "shelf/b/Demo.jar"), adapted);
}

TEST_F(KorvelPatch, JsonGivesOneObjectPerFile) {
  games_.Write("shelf/Demo.jar", ReadFile(test::SourceFile("examples/demo/Demo.jar")));
  games_.Write("shelf/bad \"name\".jar", "not a zip");
  ASSERT_EQ(RunCommand("{ cd '" + games_.Path() + "' && '" + program_ / "korvel-patch" +
                           "' --json shelf > out.json; }",
                       output_),
            1)
      << output_;
  const std::string check =
      "import json, sys\n"
      "rows = [json.loads(line) for line in open(sys.argv[1])]\n"
      "assert len(rows) == 2, rows\n"
      "good, bad = rows  # name order: capitals first\n"
      "assert bad['path'] == 'shelf/bad \"name\".jar' and bad['result'] == 'failed', bad\n"
      "assert bad['reason'] and bad['size_before'] == bad['size_after'] == 9, bad\n"
      "assert good['result'] == 'adapted' and good['classes_redirected'] >= 1, good\n"
      "assert good['nokia'] is False and good['size_after'] > 0, good\n";
  const std::string script = games_.Write("check.py", check);
  EXPECT_EQ(RunCommand("python3 '" + script + "' '" + games_ / "out.json" + "'", output_), 0)
      << output_;
}

// A dry run tells what a run would do and leaves every file of the folder as it was.
TEST_F(KorvelPatch, ADryRunWritesNothing) {
  const std::string demo = ReadFile(test::SourceFile("examples/demo/Demo.jar"));
  games_.Write("shelf/Demo.jar", demo);
  games_.Write("shelf/Demo.jad", "MIDlet-Name: Demo\nMIDxlet-1: x\nMIDlet-Jar-RSA-SHA1: abc\n");
  games_.Write("shelf/Plain.jar", demo);
  games_.Write("shelf/sub/broken.jar", "not a zip");
  games_.Write("shelf/sub/tetris.jar",
               ReadFile(test::CorpusFile("ray-tetris-n3410/Tetris_N3410.jar")));
  games_.Write("shelf/sub/Demo.jar.korvel-new", "left by an interrupted run");
  const std::string hash = "find shelf -type f | sort | xargs sha256sum";
  std::string before, after;
  ASSERT_EQ(RunCommand("cd '" + games_.Path() + "' && " + hash, before), 0);

  EXPECT_EQ(Run(english_ + "--dry-run --no-nokia --filter --jad --width 100 --height 120 shelf",
                games_.Path()),
            1)
      << output_;
  for (const char* line :
       {"would adapt: shelf/Demo.jar: classes redirected: 1, signed: the signature would be "
        "dropped, JAD drops MIDxlet-1 MIDlet-Jar-RSA-SHA1, adds ",
        "would adapt: shelf/Plain.jar: classes redirected: 1, not signed, adds ",
        "failed: shelf/sub/broken.jar: ",
        "no effect: shelf/sub/tetris.jar: no canvas to redirect\n",
        "2 to adapt, 1 failing, 1 skipped\n"}) {
    EXPECT_NE(output_.find(line), std::string::npos) << line << "\n" << output_;
  }
  ASSERT_EQ(RunCommand("cd '" + games_.Path() + "' && " + hash, after), 0);
  EXPECT_EQ(after, before);
  // The growth it foretells is the growth a run gives.
  const std::string plain = "shelf/Plain.jar: classes redirected: 1, not signed, adds ";
  const std::size_t growth_at = output_.find(plain) + plain.size();
  const long long growth = std::stoll(output_.substr(growth_at));

  // An adapted game: the dry run names its size.
  ASSERT_EQ(Run("--quiet --width 100 --height 120 shelf/Plain.jar", games_.Path()), 0) << output_;
  EXPECT_EQ(static_cast<long long>(fs::file_size(games_ / "shelf/Plain.jar")),
            static_cast<long long>(demo.size()) + growth);
  EXPECT_EQ(Run("--dry-run --width 100 --height 120 shelf/Plain.jar", games_.Path()), 0);
  EXPECT_NE(output_.find("already adapted: shelf/Plain.jar: 100x120\n"), std::string::npos)
      << output_;
  EXPECT_EQ(Run("--dry-run --width 90 --height 120 shelf/Plain.jar", games_.Path()), 0);
  EXPECT_NE(output_.find("would adapt: shelf/Plain.jar: classes redirected: 0, adapted before at "
                         "100x120, not signed, same size\n"),
            std::string::npos)
      << output_;
}

// --restore puts back the pair a run with a backup replaced, with and without a JAD, and removes
// the JAD a run made for a game that had none.
TEST_F(KorvelPatch, RestorePutsTheBackupBack) {
  const std::string demo = ReadFile(test::SourceFile("examples/demo/Demo.jar"));
  const std::string jad = ReadFile(test::SourceFile("examples/demo/Demo.jad"));
  games_.Write("Demo.jar", demo);
  games_.Write("Demo.jad", jad);
  games_.Write("Solo.jar", demo);
  games_.Write("Made.jar", demo);
  EXPECT_EQ(Run(english_ + "--restore Demo.jar", games_.Path()), 1);
  EXPECT_NE(output_.find("failed: Demo.jar: There is no backup Demo.jar.bak"), std::string::npos)
      << output_;
  EXPECT_EQ(ReadFile(games_ / "Demo.jar"), demo);

  ASSERT_EQ(Run("--quiet --backup --no-jad Solo.jar", games_.Path()), 0) << output_;
  ASSERT_EQ(Run("--quiet --backup --jad Demo.jar Made.jar", games_.Path()), 0) << output_;
  ASSERT_TRUE(fs::exists(games_ / "Made.jad"));
  ASSERT_NE(ReadFile(games_ / "Demo.jad"), jad);
  EXPECT_EQ(ReadFile(games_ / "Demo.jad.bak"), jad);
  EXPECT_FALSE(fs::exists(games_ / "Solo.jad.bak"));

  EXPECT_EQ(Run("--restore Demo.jar Solo.jar Made.jar", games_.Path()), 0) << output_;
  EXPECT_NE(output_.find("3 restored, 0 failed"), std::string::npos) << output_;
  for (const char* name : {"Demo.jar", "Solo.jar", "Made.jar"}) {
    EXPECT_EQ(ReadFile(games_ / name), demo);
  }
  EXPECT_EQ(ReadFile(games_ / "Demo.jad"), jad);
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(games_.Path())) names.insert(e.path().filename());
  EXPECT_EQ(names, (std::set<std::string>{"Demo.jar", "Demo.jad", "Solo.jar", "Made.jar"}));
}

}  // namespace
}  // namespace korvel
