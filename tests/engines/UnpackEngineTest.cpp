// The unpacking engine: sample games against Info-ZIP, hostile names, overwriting, testing and
// damaged archives.
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "tests/engines/EngineHarness.h"

namespace korvel::test {
namespace {

namespace fs = std::filesystem;

TEST(UnpackEngine, EntryPointsReportAUsableVersion) {
  auto version = UnzEngine().Get<GetUnpackVersionFn>(KORVEL_UNPACK_VERSION_NAME);
  auto priv = UnzEngine().Get<GetUnpackPrivVersionFn>(KORVEL_UNPACK_PRIV_VERSION_NAME);
  ASSERT_NE(version, nullptr);
  ASSERT_NE(priv, nullptr);
  EXPECT_GE(version(), 200);
  EXPECT_LE(version(), 300);
}

TEST(UnpackEngine, SampleGamesUnpackAsInfoZipUnpacksThem) {
  const fs::path corpus = KORVEL_CORPUS_DIR;
  ASSERT_TRUE(fs::is_directory(corpus)) << "sample games missing at " << corpus;
  int games = 0;
  for (const auto& folder : fs::directory_iterator(corpus)) {
    if (!folder.is_directory()) continue;
    for (const auto& file : fs::directory_iterator(folder.path())) {
      if (file.path().extension() != ".jar") continue;
      SCOPED_TRACE(file.path().string());
      ++games;
      TempDir dir;
      UnpackRun ours(file.path().string(), dir.MakeDir("ours"));
      const std::int32_t count = ours.Run();
      EXPECT_GT(count, 0);
      dir.MakeDir("infozip");
      ASSERT_EQ(
          Shell("unzip -qq " + Quoted(file.path().string()) + " -d " + Quoted(dir / "infozip")), 0);
      EXPECT_EQ(TreeOf(dir / "ours"), TreeOf(dir / "infozip"));
      int files = 0;
      for (const auto& [name, content] : TreeOf(dir / "infozip")) files += content != "<dir>";
      EXPECT_EQ(count, files);
      EXPECT_EQ(ours.recorder.Count(kCallbackActionNewFile), files);

      // Packed again as the patch job packs its work folder: sound, manifest first, same tree.
      PackRun repack(dir / "repacked.jar", dir / "ours");
      EXPECT_GT(repack.Run(), 0);
      EXPECT_EQ(Shell("unzip -tqq " + Quoted(dir / "repacked.jar")), 0);
      std::string names;
      Shell("zipinfo -1 " + Quoted(dir / "repacked.jar"), &names);
      EXPECT_EQ(names.rfind("META-INF/\nMETA-INF/MANIFEST.MF\n", 0), 0u) << names.substr(0, 80);
      UnpackRun again(dir / "repacked.jar", dir.MakeDir("again"));
      EXPECT_EQ(again.Run(), files);
      EXPECT_EQ(TreeOf(dir / "again"), TreeOf(dir / "infozip"));
    }
  }
  EXPECT_EQ(games, 22);
}

TEST(UnpackEngine, EntriesThatWouldLandOutsideTheBaseAreRefused) {
  TempDir dir;
  dir.MakeDir("base");
  dir.MakeDir("outside");
  fs::create_directory_symlink(dir / "outside", dir / "base/link");
  std::string archive = MakeZip({{"../evil", "1"},
                                 {"/tmp/korvel-abs-evil", "2"},
                                 {"C:\\x", "3"},
                                 {"C:x", "4"},
                                 {"a/../../evil2", "5"},
                                 {"..\\evil3", "6"},
                                 {"link/evil4", "7"},
                                 {"", "8"},
                                 {"good/ok.txt", "ok"}});
  const std::string path = dir.Write("evil.zip", archive);
  const auto before = TreeOf(dir.Path());

  for (bool dir_names : {true, false}) {
    SCOPED_TRACE(dir_names ? "with folder names" : "flattened");
    UnpackRun unpack(path, dir / "base");
    unpack.record.DirNames = dir_names ? -1 : 0;
    // The count leaves the refused entries out; flattened, "link/evil4" is a plain "evil4".
    EXPECT_EQ(unpack.Run(), dir_names ? 1 : 2);
    EXPECT_EQ(unpack.recorder.Errors(kEngineErrorUnsafeName).size(), dir_names ? 8u : 7u);
    // Each refusal names its entry as a value, besides the text.
    std::multiset<std::string> refused;
    for (const CallbackEvent& event : unpack.recorder.events) {
      if (event.action == kCallbackActionMessage && event.arg1 == kEngineErrorUnsafeName)
        refused.insert(event.entry);
    }
    if (dir_names) {
      EXPECT_EQ(refused,
                (std::multiset<std::string>{"../evil", "/tmp/korvel-abs-evil", "C:\\x", "C:x",
                                            "a/../../evil2", "..\\evil3", "link/evil4", ""}));
    }
    EXPECT_FALSE(fs::exists("/tmp/korvel-abs-evil"));
    EXPECT_FALSE(fs::exists(dir / "evil2"));
    EXPECT_TRUE(fs::is_empty(dir / "outside"));
  }
  auto after = TreeOf(dir.Path());
  for (const auto& [name, content] : before) after.erase(name);
  EXPECT_EQ(after.size(), 4u);  // base/good, base/good/ok.txt and the flattened files
  EXPECT_EQ(after["base/good/ok.txt"], "ok");
  EXPECT_EQ(after["base/ok.txt"], "ok");
  EXPECT_EQ(after["base/evil4"], "7");
}

TEST(UnpackEngine, OverwriteOffKeepsExistingFilesAndTheAnswerDecides) {
  TempDir dir;
  const std::string path = dir.Write("a.zip", MakeZip({{"f.txt", "new"}, {"g.txt", "new"}}));
  dir.Write("base/f.txt", "mine");

  UnpackRun keep(path, dir / "base");
  keep.record.Overwrite = 0;
  EXPECT_EQ(keep.Run(), 1);
  EXPECT_EQ(ReadFile(dir / "base/f.txt"), "mine");
  EXPECT_EQ(ReadFile(dir / "base/g.txt"), "new");
  EXPECT_EQ(keep.recorder.Count(kCallbackActionSkipped), 1);

  // The question goes to the component, whose answer (the value) wins over the record's flag.
  UnpackRun asked(path, dir / "base");
  asked.record.Overwrite = 0;
  asked.recorder.answer = [](EngineCallbackRecord& record) {
    if (KORVEL_CALLBACK_CODE_ACTION(record.Code) == kCallbackActionOverwrite) record.Arg2 = -1;
    return 0;
  };
  EXPECT_EQ(asked.Run(), 2);
  EXPECT_EQ(ReadFile(dir / "base/f.txt"), "new");
}

TEST(UnpackEngine, TestOnlyWritesNothingAndFindsChecksumErrors) {
  TempDir dir;
  std::string archive = MakeZip({{"sub/a.txt", "hello world"}, {"b.txt", "second entry"}});
  const std::string good = dir.Write("good.zip", archive);
  archive[archive.find("hello")] = 'j';  // same length, wrong checksum
  const std::string bad = dir.Write("bad.zip", archive);
  dir.MakeDir("base");

  UnpackRun test_good(good, dir / "base");
  test_good.record.Test = -1;
  EXPECT_EQ(test_good.Run(), 2);
  EXPECT_TRUE(fs::is_empty(dir / "base"));

  UnpackRun test_bad(bad, dir / "base");
  test_bad.record.Test = -1;
  EXPECT_EQ(test_bad.Run(), 1);
  EXPECT_EQ(test_bad.recorder.Errors(kEngineErrorCrc).size(), 1u);
  EXPECT_EQ(test_bad.recorder.Count(kCallbackActionCrcError), 1);
  EXPECT_TRUE(fs::is_empty(dir / "base"));

  // Unpacking the damaged entry never replaces the file already there, unless told to keep it.
  dir.Write("base/sub/a.txt", "original");
  UnpackRun extract_bad(bad, dir / "base");
  extract_bad.recorder.answer = [](EngineCallbackRecord& record) {
    if (KORVEL_CALLBACK_CODE_ACTION(record.Code) == kCallbackActionCrcError)
      record.Arg1 = 2;  // undecided
    return 0;
  };
  EXPECT_EQ(extract_bad.Run(), 1);
  EXPECT_EQ(ReadFile(dir / "base/sub/a.txt"), "original");
  EXPECT_EQ(TreeOf(dir / "base").size(), 3u);  // no temporary file left behind

  UnpackRun keep_bad(bad, dir / "base");
  keep_bad.recorder.answer = [](EngineCallbackRecord& record) {
    if (KORVEL_CALLBACK_CODE_ACTION(record.Code) == kCallbackActionCrcError) record.Arg1 = 1;
    return 0;
  };
  EXPECT_EQ(keep_bad.Run(), 2);
  EXPECT_EQ(ReadFile(dir / "base/sub/a.txt"), "jello world");
}

// Damage inside deflated data is found whichever way it shows (undecodable data or a wrong
// checksum): nothing is written, not even a partial new file, and the other entries still are.
TEST(UnpackEngine, DamagedDeflatedEntriesAreNeverWritten) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i * 7919 % 1000) + "\n";
  dir.Write("tree/a.txt", text);
  dir.Write("tree/b.txt", text + "b");
  ASSERT_EQ(Shell("cd " + Quoted(dir / "tree") + " && zip -q -9 ../good.zip a.txt b.txt"), 0);
  const std::string good = ReadFile(dir / "good.zip");
  auto le16 = [&](std::size_t at) {
    return static_cast<std::size_t>(static_cast<unsigned char>(good[at]) |
                                    static_cast<unsigned char>(good[at + 1]) << 8);
  };
  const std::size_t data = 30 + le16(26) + le16(28);  // behind a.txt's local header
  for (std::size_t at : {data + 2, data + 200, data + 600}) {
    std::string damaged = good;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
    const std::string archive = dir.Write("bad.zip", damaged);
    const std::string base = dir / ("out" + std::to_string(at));
    fs::create_directories(base);
    UnpackRun unpack(archive, base);
    EXPECT_EQ(unpack.Run(), 1) << at;
    EXPECT_EQ(unpack.recorder.Errors(kEngineErrorCrc).size() +
                  unpack.recorder.Errors(kEngineErrorDamaged).size(),
              1u)
        << at;
    EXPECT_EQ(TreeOf(base).size(), 1u) << at;  // b.txt alone
    EXPECT_EQ(ReadFile(base + "/b.txt"), text + "b");
  }
}

// Entries are expanded ahead of the loop, yet one damaged among many is reported at its turn,
// between its neighbours, whether its data or its header is hit; every other entry is good, and
// one not replaced (expanded ahead for nothing) is passed by.
TEST(UnpackEngine, DamageAmongManyEntriesIsReportedAtItsTurn) {
  TempDir dir;
  constexpr int kFiles = 60;
  std::map<std::string, std::string> files;
  auto name = [](int i) { return "f" + std::to_string(100 + i) + ".txt"; };
  for (int i = 0; i < kFiles; ++i) {
    std::string& text = files[name(i)] = "x";  // a few too small to deflate: stored
    for (int line = 0; i % 7 != 3 && line < 200 + i; ++line)
      text += std::to_string(i) + " line " + std::to_string(line * 7919 % 1000) + "\n";
    dir.Write("tree/" + name(i), text);
  }
  ASSERT_EQ(Shell("cd " + Quoted(dir / "tree") + " && zip -q -9 ../good.zip *.txt"), 0);
  const std::string good = ReadFile(dir / "good.zip");
  const std::string victim = name(30);
  const std::size_t header = good.find(victim) - 30;    // its local header
  const std::size_t central = good.rfind(victim) - 46;  // its central header
  ASSERT_EQ(good.compare(central, 4, "PK\1\2"), 0);
  files.erase(victim);

  // Damage to its data, or to its local header's offset: it can then not be opened, and is not
  // announced.
  for (const auto& [at, opens] :
       {std::pair{header + 30 + victim.size() + 40, true}, std::pair{central + 45, false}}) {
    std::string damaged = good;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
    const std::string archive = dir.Write("bad.zip", damaged);
    for (bool test : {true, false}) {
      SCOPED_TRACE(std::string(opens ? "data" : "offset") + (test ? ", testing" : ", unpacking"));
      TempDir out;
      UnpackRun run(archive, out.Path());
      run.record.Test = test ? -1 : 0;
      run.record.Overwrite = 0;
      auto tree = test ? decltype(files){} : files;
      if (!test) tree[name(29)] = ReadFile(out.Write(name(29), "mine"));
      EXPECT_EQ(run.Run(), kFiles - (test ? 1 : 2));
      std::vector<std::string> order;  // new files and errors, as they came
      for (const CallbackEvent& event : run.recorder.events)
        if (event.action == kCallbackActionNewFile)
          order.push_back(event.text);
        else if (event.action == kCallbackActionMessage && event.arg1 != 0)
          order.push_back("error: " + event.text);
      std::vector<std::string> expected;
      for (int i = 0; i < kFiles; ++i) {
        if ((i != 30 || opens) && (i != 29 || test)) expected.push_back(name(i));
        if (i == 30) expected.push_back("error");
      }
      ASSERT_EQ(order.size(), expected.size());
      for (std::size_t i = 0; i < order.size(); ++i)
        if (expected[i] == "error")
          EXPECT_TRUE(order[i].starts_with("error: ") && order[i].find(victim) != order[i].npos)
              << order[i];
        else
          EXPECT_EQ(order[i], expected[i]);
      EXPECT_EQ(TreeOf(out.Path()), tree);
    }
  }
}

TEST(UnpackEngine, ANonZeroAnswerStopsTheRun) {
  TempDir dir;
  const std::string path =
      dir.Write("a.zip", MakeZip({{"1.txt", "1"}, {"2.txt", "2"}, {"3.txt", "3"}}));
  dir.MakeDir("base");
  UnpackRun unpack(path, dir / "base");
  int new_files = 0;
  unpack.recorder.answer = [&](EngineCallbackRecord& record) {
    const bool second =
        KORVEL_CALLBACK_CODE_ACTION(record.Code) == kCallbackActionNewFile && ++new_files == 2;
    return second ? 1 : 0;
  };
  EXPECT_EQ(unpack.Run(), kEngineExecCancelled);
  EXPECT_EQ(TreeOf(dir / "base"), (std::map<std::string, std::string>{{"1.txt", "1"}}));
  EXPECT_EQ(new_files, 2);  // no callback after the stop
}

TEST(UnpackEngine, PatternsFlatteningAndFreshenSelectEntries) {
  TempDir dir;
  const std::string path = dir.Write(
      "a.zip", MakeZip({{"d/", ""},
                        {"d/x.class", "x"},
                        {"d/y.png", "y"},
                        {.name = "z.class", .data = "z", .dos_date_time = kDosDate2020}}));
  UnpackRun some(path, dir.MakeDir("some"));
  some.patterns = {"*.CLASS"};
  EXPECT_EQ(some.Run(), 2);
  EXPECT_EQ(TreeOf(dir / "some"), (std::map<std::string, std::string>{
                                      {"d", "<dir>"}, {"d/x.class", "x"}, {"z.class", "z"}}));

  UnpackRun flat(path, dir.MakeDir("flat"));
  flat.record.DirNames = 0;
  EXPECT_EQ(flat.Run(), 3);
  EXPECT_EQ(TreeOf(dir / "flat"), (std::map<std::string, std::string>{
                                      {"x.class", "x"}, {"y.png", "y"}, {"z.class", "z"}}));

  // Freshen: only files already there and older than their entry (2020) are replaced.
  dir.Write("fresh/z.class", "older");
  const timespec old_time[2] = {{1000000000, 0}, {1000000000, 0}};
  utimensat(AT_FDCWD, (dir / "fresh/z.class").c_str(), old_time, 0);
  UnpackRun freshen(path, dir / "fresh");
  freshen.record.Freshen = -1;
  EXPECT_EQ(freshen.Run(), 1);
  EXPECT_EQ(TreeOf(dir / "fresh"), (std::map<std::string, std::string>{{"z.class", "z"}}));
}

TEST(UnpackEngine, DamagedOrMissingArchivesGiveAnErrorAndWriteNothing) {
  TempDir dir;
  dir.MakeDir("base");
  const std::string garbage = dir.Write("garbage.zip", std::string(1000, 'G'));
  for (const std::string& path : {garbage, dir / "missing.zip"}) {
    UnpackRun unpack(path, dir / "base");
    EXPECT_EQ(unpack.Run(), kEngineExecAborted);
    EXPECT_EQ(unpack.recorder.Errors(kEngineErrorDamaged).size(), 1u);
  }
  // Cut short: the central directory is gone.
  const std::string whole = MakeZip({{"a.txt", std::string(500, 'a')}});
  const std::string cut = dir.Write("cut.zip", whole.substr(0, 300));
  UnpackRun unpack(cut, dir / "base");
  EXPECT_LT(unpack.Run(), 0);
  EXPECT_TRUE(fs::is_empty(dir / "base"));

  const std::string good = dir.Write("good.zip", whole);
  UnpackRun no_base(good, dir / "not-there");
  EXPECT_EQ(no_base.Run(), kEngineExecAborted);
  EXPECT_FALSE(fs::exists(dir / "not-there"));
}

TEST(UnpackEngine, ArchivesWithACommentDataInFrontOrNoEntriesAreRead) {
  TempDir dir;
  const std::string source = dir.Write("src/a.txt", "text");
  ASSERT_EQ(Shell("cd " + Quoted(dir / "src") + " && zip -q ../plain.zip a.txt && " +
                  "echo 'a comment' | zip -qz ../plain.zip"),
            0);
  const std::string plain = ReadFile(dir / "plain.zip");
  // Data in front: counted by the offsets (as a self-extractor has it), or not counted.
  dir.Write("stub.zip", std::string(1000, 'S') + plain);
  ASSERT_EQ(Shell("zip -qA " + Quoted(dir / "stub.zip")), 0);
  dir.Write("glued.zip", std::string(1000, 'S') + plain);
  dir.Write("empty.zip", MakeZip({}));
  for (const char* name : {"plain.zip", "stub.zip", "glued.zip"}) {
    SCOPED_TRACE(name);
    TempDir out;
    UnpackRun unpack(dir / name, out.Path());
    EXPECT_EQ(unpack.Run(), 1);
    EXPECT_EQ(ReadFile(out / "a.txt"), "text");
    EXPECT_EQ(unpack.recorder.Errors(kEngineErrorWarning).size(), name == std::string("glued.zip"));
  }
  UnpackRun empty(dir / "empty.zip", dir.MakeDir("e"));
  EXPECT_EQ(empty.Run(), 0);
  EXPECT_TRUE(empty.recorder.Errors(kEngineErrorDamaged).empty());
}

}  // namespace
}  // namespace korvel::test
