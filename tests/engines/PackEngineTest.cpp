// The packing engine: round trips, the archive format old JAR readers need, selection, updating
// and safe replacement.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <sstream>

#include "support/TestData.h"
#include "tests/engines/EngineHarness.h"

namespace korvel::test {
namespace {

namespace fs = std::filesystem;

// A work folder as the patch job leaves it before packing.
void WriteGameTree(const TempDir& dir) {
  dir.Write("temp/a.class", std::string(5000, 'a') + "javax/microedition/lcdui/Canvas");
  dir.Write("temp/z.class", "tiny");
  dir.Write("temp/empty.txt", "");
  dir.Write("temp/res/img/logo.png", RandomBytes(3000, 1) + std::string(3000, 'p'));
  dir.Write("temp/res/level.dat", RandomBytes(20000, 2));
  dir.Write("temp/res/text/intro.txt", std::string(10000, 'x'));
  dir.Write("temp/META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nMIDlet-1: G,,G\r\n");
  dir.MakeDir("temp/empty/inner");
}

// zipinfo's per-entry lines of `key` ("compression method"), in archive order.
std::vector<std::string> ZipInfoField(const std::string& verbose, const std::string& key) {
  std::vector<std::string> values;
  std::size_t at = 0;
  while ((at = verbose.find("  " + key + ":", at)) != std::string::npos) {
    const std::size_t start = verbose.find_first_not_of(' ', verbose.find(':', at) + 1);
    const std::size_t end = verbose.find('\n', start);
    values.push_back(verbose.substr(start, end - start));
    at = end;
  }
  return values;
}

TEST(PackEngine, EntryPointsReportAUsableVersion) {
  auto version = ZipEngine().Get<GetPackVersionFn>(KORVEL_PACK_VERSION_NAME);
  auto priv = ZipEngine().Get<GetPackPrivVersionFn>(KORVEL_PACK_PRIV_VERSION_NAME);
  ASSERT_NE(version, nullptr);
  ASSERT_NE(priv, nullptr);
  EXPECT_GE(version(), 200);
  EXPECT_LE(version(), 300);
}

TEST(PackEngine, PackedTreeUnpacksIdenticallyAndSuitsOldReaders) {
  TempDir dir;
  WriteGameTree(dir);
  PackRun pack(dir / "game.jar", dir / "temp");
  // 7 files and 6 folders (META-INF, empty, empty/inner, res, res/img, res/text).
  EXPECT_EQ(pack.Run(), 13);
  EXPECT_TRUE(pack.recorder.Errors(kEngineErrorRead).empty());

  // Our own unpacker and Info-ZIP both give the tree back, file by file and folder by folder.
  UnpackRun unpack(dir / "game.jar", dir.MakeDir("ours"));
  EXPECT_EQ(unpack.Run(), 7);
  EXPECT_EQ(TreeOf(dir / "ours"), TreeOf(dir / "temp"));
  dir.MakeDir("infozip");
  ASSERT_EQ(Shell("unzip -qq " + Quoted(dir / "game.jar") + " -d " + Quoted(dir / "infozip")), 0);
  EXPECT_EQ(TreeOf(dir / "infozip"), TreeOf(dir / "temp"));
  EXPECT_EQ(Shell("unzip -tqq " + Quoted(dir / "game.jar")), 0);

  std::string names, verbose;
  ASSERT_EQ(Shell("zipinfo -1 " + Quoted(dir / "game.jar"), &names), 0);
  ASSERT_EQ(Shell("zipinfo -v " + Quoted(dir / "game.jar"), &verbose), 0);
  EXPECT_EQ(names.substr(0, names.find('\n', names.find('\n') + 1)),
            "META-INF/\nMETA-INF/MANIFEST.MF");
  // A folder comes before what it holds; names are sorted per folder.
  EXPECT_LT(names.find("res/\n"), names.find("res/img/\n"));
  EXPECT_LT(names.find("res/img/\n"), names.find("res/img/logo.png"));
  EXPECT_LT(names.find("a.class"), names.find("z.class"));
  EXPECT_NE(names.find("empty/inner/\n"), std::string::npos);

  EXPECT_EQ(verbose.find("zip64"), std::string::npos) << verbose;
  EXPECT_EQ(verbose.find("Zip64"), std::string::npos);
  for (const std::string& field : ZipInfoField(verbose, "length of extra field"))
    EXPECT_EQ(field, "0 bytes");
  for (const std::string& field : ZipInfoField(verbose, "extended local header"))
    EXPECT_EQ(field, "no");
  for (const std::string& method : ZipInfoField(verbose, "compression method"))
    EXPECT_TRUE(method == "none (stored)" || method == "deflated") << method;
  EXPECT_EQ(ZipInfoField(verbose, "length of extra field").size(), 13u);

  // Store suffixes are stored; text deflates; incompressible data falls back to storing.
  std::string listing;
  ASSERT_EQ(Shell("zipinfo " + Quoted(dir / "game.jar"), &listing), 0);
  auto method_of = [&](const std::string& name) {
    const std::size_t line_end = listing.find(" " + name + "\n");
    const std::size_t line_start = listing.rfind('\n', line_end) + 1;
    std::istringstream fields(listing.substr(line_start, line_end - line_start));
    std::string field;
    for (int i = 0; i < 6; ++i) fields >> field;  // mode version os size type method
    return field;
  };
  EXPECT_EQ(method_of("res/img/logo.png"), "stor");
  EXPECT_EQ(method_of("res/level.dat"), "stor");
  EXPECT_EQ(method_of("res/text/intro.txt"), "defX");
}

// Level 0 stores; higher levels deflate, the best packing tightest; entries above the size the
// engine compresses in one piece (8 MiB) take the streaming path and still round-trip.
TEST(PackEngine, LevelsAndLargeEntriesRoundTrip) {
  TempDir dir;
  std::string text;
  std::mt19937 random(7);
  while (text.size() < 200000) text += "word" + std::to_string(random() % 5000) + ' ';
  dir.Write("small/text.txt", text);
  std::uintmax_t previous = 0;
  for (int level : {0, 1, 9}) {
    const std::string archive = dir / ("level" + std::to_string(level) + ".zip");
    PackRun pack(archive, dir / "small");
    pack.record.Level = level;
    ASSERT_EQ(pack.Run(), 1);
    std::string listing;
    ASSERT_EQ(Shell("zipinfo " + Quoted(archive), &listing), 0);
    EXPECT_NE(listing.find(level == 0 ? " stor " : " def"), std::string::npos) << listing;
    EXPECT_EQ(Shell("unzip -tqq " + Quoted(archive)), 0);
    if (previous > 0) {
      EXPECT_LT(fs::file_size(archive), previous) << level;
    }
    previous = fs::file_size(archive);
  }

  std::string big;
  while (big.size() < (9u << 20)) big += text;
  dir.Write("large/text.txt", big);
  dir.Write("large/noise.bin", RandomBytes(9u << 20, 3));
  PackRun pack(dir / "large.zip", dir / "large");
  pack.record.Level = 1;  // the quickest, to keep the test short
  ASSERT_EQ(pack.Run(), 2);
  EXPECT_LT(fs::file_size(dir / "large.zip"), (9u << 20) + big.size() / 2);
  EXPECT_EQ(Shell("unzip -tqq " + Quoted(dir / "large.zip")), 0);
  UnpackRun unpack(dir / "large.zip", dir.MakeDir("out"));
  EXPECT_EQ(unpack.Run(), 2);
  EXPECT_EQ(TreeOf(dir / "out"), TreeOf(dir / "large"));
}

// The deflated bytes of the one entry of an archive Info-ZIP wrote (sizes in its local header).
std::string FirstEntryData(const std::string& archive) {
  const std::string bytes = ReadFile(archive);
  const auto size = zip::Read32(bytes, zip::kLocalCompressedSize);
  const std::size_t start =
      30 + zip::Read16(bytes, zip::kLocalNameLength) + zip::Read16(bytes, zip::kLocalExtraLength);
  return bytes.substr(start, size);
}

// A file that a reference archive holds unchanged takes the reference's bytes when they are
// smaller than the run's own, whether the entry is compressed whole or streamed (above 8 MiB).
TEST(PackEngine, AFileTakesTheReferencesBytesOnlyWhenTheyHoldItsDataInFewer) {
  std::string text;
  std::mt19937 random(11);
  while (text.size() < 100000) text += "word" + std::to_string(random() % 3000) + ' ';
  std::string big;
  while (big.size() < (9u << 20)) big += text;
  struct Case {
    const char* what;
    std::string data;       // the file packed
    std::string reference;  // the reference's copy of it
    const char* zip_level;  // Info-ZIP's level for the reference
    int level;              // the run's
    bool taken;
  };
  const Case cases[] = {
      {"smaller reference", text, text, "-9", 1, true},
      {"larger reference", text, text, "-1", 9, false},
      {"other data of the same size", text, std::string(text.rbegin(), text.rend()), "-9", 1,
       false},
      {"streamed, smaller reference", big, big, "-6", 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    dir.Write("ref/data.txt", c.reference);
    ASSERT_EQ(
        Shell("cd " + Quoted(dir / "ref") + " && zip -q " + c.zip_level + " ../ref.zip data.txt"),
        0);
    const std::string reference_data = FirstEntryData(dir / "ref.zip");
    dir.Write("root/data.txt", c.data);
    PackRun pack(dir / "out.zip", dir / "root");
    pack.record.Level = c.level;
    const std::string reference = dir / "ref.zip";
    pack.record.ReferenceZip = reference.c_str();
    ASSERT_EQ(pack.Run(), 1);
    EXPECT_EQ(ReadFile(dir / "out.zip").find(reference_data) != std::string::npos, c.taken);
    EXPECT_EQ(Shell("unzip -tqq " + Quoted(dir / "out.zip")), 0);
    UnpackRun unpack(dir / "out.zip", dir.MakeDir("out"));
    EXPECT_EQ(unpack.Run(), 1);
    EXPECT_TRUE(ReadFile(dir / "out/data.txt") == c.data);
  }
}

// A system call that failed is reported with its error number as a value.
TEST(PackEngine, AFailedWriteCarriesTheSystemsErrorNumber) {
  TempDir dir;
  dir.Write("root/a.txt", "a");
  PackRun pack("/proc/korvel-cannot-be-here.zip", dir / "root");  // no file can be made there
  EXPECT_LT(pack.Run(), 0);
  const auto failed =
      std::find_if(pack.recorder.events.begin(), pack.recorder.events.end(), [](const auto& e) {
        return e.action == kCallbackActionMessage && e.arg1 == kEngineErrorWrite;
      });
  ASSERT_NE(failed, pack.recorder.events.end());
  EXPECT_NE(failed->arg2, 0) << failed->text;
}

TEST(PackEngine, FileTimesAreKeptAsDosTimes) {
  TempDir dir;
  const std::string file = dir.Write("root/old.txt", "old");
  const timespec times[2] = {{1262347322, 0}, {1262347322, 0}};  // 2010-01-01 12:02:02 UTC
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  PackRun pack(dir / "t.zip", dir / "root");
  ASSERT_EQ(pack.Run(), 1);
  UnpackRun unpack(dir / "t.zip", dir.MakeDir("out"));
  ASSERT_EQ(unpack.Run(), 1);
  struct stat st {};
  ASSERT_EQ(stat((dir / "out/old.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1262347322);
}

TEST(PackEngine, PatternsSelectWithWildcardsRecursionAndExclusions) {
  TempDir dir;
  dir.Write("root/a.txt", "a");
  dir.Write("root/b.bin", "b");
  dir.Write("root/NoExt", "n");
  dir.Write("root/.hidden", "h");
  dir.Write("root/sub/c.TXT", "c");
  dir.Write("root/sub/d.bak", "d");
  dir.Write("root/sub/deep/e.txt", "e");
  auto names_of = [&](const std::string& archive) {
    std::string names;
    Shell("zipinfo -1 " + Quoted(archive) + " | sort", &names);
    return names;
  };

  // "*.*" takes every name, also one without a dot; hidden names stay out unless asked for.
  PackRun all(dir / "all.zip", dir / "root");
  all.record.NoDirEntries = -1;
  all.excludes = {"*.bak"};
  EXPECT_EQ(all.Run(), 5);
  EXPECT_EQ(names_of(dir / "all.zip"), "NoExt\na.txt\nb.bin\nsub/c.TXT\nsub/deep/e.txt\n");

  // No recursion: only the root's own files; a pattern with a folder part starts there, and
  // that folder gets its entry.
  PackRun flat(dir / "flat.zip", dir / "root", {"*.txt", "sub/*.bak"});
  flat.record.Recurse = 0;
  flat.record.HiddenFiles = -1;
  EXPECT_EQ(flat.Run(), 3);
  EXPECT_EQ(names_of(dir / "flat.zip"), "a.txt\nsub/\nsub/d.bak\n");

  // Recursion with a pattern (matched without regard to case), folder names dropped.
  PackRun junk(dir / "junk.zip", dir / "root", {"*.txt"});
  junk.record.JunkDirNames = -1;
  EXPECT_EQ(junk.Run(), 3);
  EXPECT_EQ(names_of(dir / "junk.zip"), "a.txt\nc.TXT\ne.txt\n");

  // Hidden files when asked; folders of selected files get entries even when the pattern
  // names none of them.
  PackRun hidden(dir / "hidden.zip", dir / "root", {".h*", "sub/deep/*.txt"});
  hidden.record.HiddenFiles = -1;
  EXPECT_EQ(hidden.Run(), 4);
  EXPECT_EQ(names_of(dir / "hidden.zip"), ".hidden\nsub/\nsub/deep/\nsub/deep/e.txt\n");
}

TEST(PackEngine, NothingSelectedWritesNoArchive) {
  TempDir dir;
  dir.MakeDir("root");
  PackRun pack(dir / "none.zip", dir / "root", {"*.xyz"});
  EXPECT_EQ(pack.Run(), 0);
  EXPECT_FALSE(fs::exists(dir / "none.zip"));
  EXPECT_EQ(pack.recorder.Errors(kEngineErrorNothingToDo).size(), 1u);
}

TEST(PackEngine, AStoppedRunLeavesTheOldArchiveAsItWas) {
  TempDir dir;
  dir.Write("root/one.txt", std::string(1000, '1'));
  PackRun first(dir / "a.zip", dir / "root");
  ASSERT_EQ(first.Run(), 1);
  const std::string good = ReadFile(dir / "a.zip");

  dir.Write("root/two.txt", std::string(200000, '2'));
  dir.Write("root/one.txt", "changed");
  PackRun second(dir / "a.zip", dir / "root");
  second.recorder.answer = [](EngineCallbackRecord& record) {
    return KORVEL_CALLBACK_CODE_ACTION(record.Code) == kCallbackActionProgress ? 1 : 0;
  };
  EXPECT_EQ(second.Run(), kEngineExecCancelled);
  EXPECT_EQ(ReadFile(dir / "a.zip"), good);
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);

  PackRun handler_fault(dir / "b.zip", dir / "root");
  handler_fault.recorder.answer = [](EngineCallbackRecord&) { return 10106; };
  EXPECT_EQ(handler_fault.Run(), kEngineExecHandler);
  EXPECT_FALSE(fs::exists(dir / "b.zip"));
}

TEST(PackEngine, UpdateFreshenAndMoveWorkOnAnExistingArchive) {
  TempDir dir;
  const std::string keep = dir.Write("root/keep.txt", "keep");
  const std::string old_file = dir.Write("root/change.txt", "old");
  const timespec past[2] = {{1500000000, 0}, {1500000000, 0}};
  utimensat(AT_FDCWD, keep.c_str(), past, 0);
  utimensat(AT_FDCWD, old_file.c_str(), past, 0);
  PackRun first(dir / "u.zip", dir / "root");
  first.record.NoDirEntries = -1;
  ASSERT_EQ(first.Run(), 2);

  dir.Write("root/change.txt", "new content");  // now newer than its entry
  dir.Write("root/added.txt", "added");
  PackRun freshen(dir / "u.zip", dir / "root");
  freshen.record.Freshen = -1;
  EXPECT_EQ(freshen.Run(), 1);
  UnpackRun check(dir / "u.zip", dir.MakeDir("f"));
  EXPECT_EQ(check.Run(), 2);
  EXPECT_EQ(ReadFile(dir / "f/change.txt"), "new content");
  EXPECT_FALSE(fs::exists(dir / "f/added.txt"));

  PackRun update(dir / "u.zip", dir / "root");
  update.record.Update = -1;
  EXPECT_EQ(update.Run(), 1);  // only the new file; the others are not newer
  EXPECT_EQ(Shell("unzip -tqq " + Quoted(dir / "u.zip")), 0);

  PackRun move(dir / "m.zip", dir / "root", {"added.txt"});
  move.record.Move = -1;
  EXPECT_EQ(move.Run(), 1);
  EXPECT_FALSE(fs::exists(dir / "root/added.txt"));
  EXPECT_TRUE(fs::exists(dir / "root/keep.txt"));
  UnpackRun moved(dir / "m.zip", dir.MakeDir("m"));
  EXPECT_EQ(moved.Run(), 1);
  EXPECT_EQ(ReadFile(dir / "m/added.txt"), "added");
}

TEST(PackEngine, SpecialFilesAndFolderLinksAreLeftOut) {
  TempDir dir;
  dir.Write("root/fine.txt", "fine");
  ASSERT_EQ(mkfifo((dir / "root/pipe").c_str(), 0644), 0);  // reading it would block forever
  fs::create_symlink("/nonexistent/target", dir / "root/dangling");
  fs::create_symlink(dir / "root", dir / "root/loop");  // a folder link: not followed
  PackRun pack(dir / "s.zip", dir / "root");
  pack.record.NoDirEntries = -1;
  EXPECT_EQ(pack.Run(), 1);
  std::string names;
  Shell("zipinfo -1 " + Quoted(dir / "s.zip"), &names);
  EXPECT_EQ(names, "fine.txt\n");
}

TEST(PackEngine, ArchiveInsideTheRootIsNotPackedIntoItself) {
  TempDir dir;
  dir.Write("root/a.txt", "a");
  PackRun first(dir / "root/self.zip", dir / "root");
  ASSERT_EQ(first.Run(), 1);
  PackRun second(dir / "root/self.zip", dir / "root");
  EXPECT_EQ(second.Run(), 1);
  std::string names;
  Shell("zipinfo -1 " + Quoted(dir / "root/self.zip"), &names);
  EXPECT_EQ(names, "a.txt\n");
}

TEST(PackEngine, ARecordWithoutItsMarkIsRefused) {
  TempDir dir;
  dir.Write("root/a.txt", "a");
  PackRun pack(dir / "x.zip", dir / "root");
  pack.record.RecordMark = 0;
  EXPECT_EQ(pack.Run(), kEngineExecBadRecord);
  EXPECT_FALSE(fs::exists(dir / "x.zip"));
  auto exec = ZipEngine().Get<PackExecFn>(KORVEL_PACK_EXEC_NAME);
  ASSERT_NE(exec, nullptr);
  EXPECT_EQ(exec(nullptr), kEngineExecBadRecord);
}

TEST(PackEngine, ASecondRunFromInsideACallbackIsRefusedAsBusy) {
  TempDir dir;
  dir.Write("root/a.txt", "a");
  PackRun outer(dir / "o.zip", dir / "root");
  std::int32_t inner_result = 0;
  outer.recorder.answer = [&](EngineCallbackRecord& record) {
    if (KORVEL_CALLBACK_CODE_ACTION(record.Code) == kCallbackActionNewFile) {
      PackRun inner(dir / "i.zip", dir / "root");
      inner_result = inner.Run();
    }
    return 0;
  };
  EXPECT_EQ(outer.Run(), 1);
  EXPECT_EQ(inner_result, kEngineExecBusy);
}

}  // namespace
}  // namespace korvel::test
