// End-to-end tests of the component with the real engine libraries: a tree packed with the
// main window's settings and unpacked again is identical; hostile archives stay inside the base
// folder; lists, results and re-entry behave as with any engine.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ArchiveTestSupport.h"
#include "archive/Archiver.h"
#include "pipeline/JobComponents.h"
#include "platform/Files.h"
#include "support/TempDir.h"
#include "support/TestData.h"

namespace korvel {
namespace {

using test::RandomBytes;
namespace fs = std::filesystem;
using test::BoxRecorder;
using test::TempDir;

std::string EngineDir() {
  return KORVEL_ENGINE_DIR;
}

bool EnginesPresent() {
  return !EngineDir().empty() && fs::exists(fs::path(EngineDir()) / "libpackeng.so") &&
         fs::exists(fs::path(EngineDir()) / "libunpkeng.so");
}

// Every folder (value "/") and file (value: content) below `root`, by relative path.
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    std::string rel = fs::relative(e.path(), root).string();
    out[rel] = e.is_directory() ? "/" : test::ReadFile(e.path().string());
  }
  return out;
}

class ZipRoundTrip : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnginesPresent()) << "engine libraries not built";
    ApplyPatchJobSettings(zip_);
    zip_.SetDLLDirectory(EngineDir());
  }

  // The kind of tree a MIDlet suite unpacks to.
  std::string MakeTree() {
    dir_.Write("temp/META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nMIDlet-1: Game,,Game\r\n");
    dir_.Write("temp/Game.class", RandomBytes(3000, 1) + std::string(5000, 'A'));
    dir_.Write("temp/com/quillmoss/fullscreen/FullCn.class", RandomBytes(700, 2));
    dir_.Write("temp/img/title.png", RandomBytes(20000, 3));
    dir_.Write("temp/img/level 1.dat", std::string(100000, '\x01'));
    dir_.Write("temp/sounds/empty.bin", "");
    dir_.MakeDir("temp/empty/inner");
    return dir_ / "temp";
  }

  int Pack(const std::string& jar, const std::string& root) {
    zip_.SetZipFileName(jar);
    zip_.SetRootDir(root + "/");
    zip_.FSpecArgs().clear();
    zip_.FSpecArgs().push_back("*.*");
    return zip_.Add();
  }

  int Unpack(const std::string& jar, const std::string& base) {
    zip_.SetZipFileName(jar);
    zip_.SetExtrBaseDir(base + "/");
    zip_.FSpecArgs().clear();
    zip_.FSpecArgs().push_back("*.*");
    return zip_.Extract();
  }

  TempDir dir_;
  BoxRecorder boxes_;
  TArchiver zip_;
};

TEST_F(ZipRoundTrip, PackedTreeUnpacksIdentically) {
  std::string root = MakeTree();
  std::string jar = dir_ / "Game.jar";
  EXPECT_EQ(Pack(jar, root), 0);
  EXPECT_TRUE(zip_.FSpecArgs().empty());
  ASSERT_TRUE(platform::FileExists(jar));
  EXPECT_TRUE(boxes_.boxes.empty()) << boxes_.Messages().front();
  EXPECT_EQ(zip_.SuccessCnt(), 6 + 8);  // files and folders
  EXPECT_EQ(zip_.Count(), 6);           // the new directory was read

  std::map<std::string, int> methods;
  for (const ZipDirEntry& e : zip_.ZipContents()) methods[e.FileName] = e.CompressionMethod;
  EXPECT_EQ(methods["img/title.png"], 0);  // stored: listed suffix
  EXPECT_EQ(methods["Game.class"], 8);
  EXPECT_EQ(methods["img/level 1.dat"], 8);

  zip_.SetUseDirOnlyEntries(true);
  zip_.SetZipFileName(jar);
  int folders = 0;
  for (const ZipDirEntry& e : zip_.ZipContents()) folders += e.FileName.back() == '/';
  EXPECT_EQ(folders, 8);
  zip_.SetUseDirOnlyEntries(false);

  if (test::HaveTool("unzip")) {
    EXPECT_EQ(test::RunIn(dir_.Path(), "unzip -tq Game.jar"), 0);
  }

  std::string out = dir_.MakeDir("out");
  EXPECT_EQ(Unpack(jar, out), 0);
  EXPECT_TRUE(zip_.FSpecArgs().empty());
  EXPECT_EQ(zip_.SuccessCnt(), 6);
  EXPECT_EQ(Snapshot(out), Snapshot(root));
  EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(ZipRoundTrip, UnpackingReplacesExistingFilesAndEnginesStayLoadedWhenHeld) {
  std::string root = MakeTree();
  std::string jar = dir_ / "Game.jar";
  ASSERT_EQ(Pack(jar, root), 0);
  std::string out = dir_.MakeDir("out");
  dir_.Write("out/Game.class", "stale");
  dir_.Write("out/img/title.png", "stale");

  EXPECT_GE(zip_.LoadUnzEngine(true), 200);
  EXPECT_GE(zip_.LoadZipEngine(true), 200);
  EXPECT_EQ(Unpack(jar, out), 0);
  EXPECT_GE(zip_.UnpackVersion(), 200);  // held by the load, not only by the run
  EXPECT_EQ(Snapshot(out), Snapshot(root));
  zip_.UnloadUnzEngine();
  zip_.UnloadZipEngine();
  EXPECT_EQ(zip_.UnpackVersion(), 0);
  EXPECT_EQ(zip_.PackVersion(), 0);
}

TEST_F(ZipRoundTrip, RepackingOverAnOldArchiveAfterDeletingIt) {
  std::string root = MakeTree();
  std::string jar = dir_ / "Game.jar";
  ASSERT_EQ(Pack(jar, root), 0);
  // The patch job deletes the JAR and packs a changed tree under the same name.
  dir_.Write("temp/Game.class", "patched");
  ASSERT_TRUE(platform::DeleteFile(jar));
  ASSERT_EQ(Pack(jar, root), 0);
  std::string out = dir_.MakeDir("out");
  EXPECT_EQ(Unpack(jar, out), 0);
  EXPECT_EQ(Snapshot(out), Snapshot(root));
}

TEST_F(ZipRoundTrip, HostileNamesWriteNothingOutsideTheBase) {
  std::string absolute = dir_ / "abs-target.txt";
  std::string archive =
      dir_.Write("evil.zip", test::MakeZip({{.name = "../evil", .data = "x"},
                                            {.name = absolute, .data = "x"},
                                            {.name = "a/../../evil2", .data = "x"},
                                            {.name = "good.txt", .data = "fine"}}));
  std::string base = dir_.MakeDir("base");
  int result = Unpack(archive, base);
  EXPECT_NE(result, 0);  // the run says that entries were refused
  EXPECT_FALSE(fs::exists(dir_ / "evil"));
  EXPECT_FALSE(fs::exists(absolute));
  EXPECT_FALSE(fs::exists(dir_ / "evil2"));
  for (const auto& e : fs::recursive_directory_iterator(dir_.Path())) {
    std::string p = e.path().string();
    EXPECT_TRUE(p == archive || p == base || p.rfind(base + "/", 0) == 0) << p;
  }
  EXPECT_TRUE(zip_.FSpecArgs().empty());
}

TEST_F(ZipRoundTrip, DamagedEntryDataIsReportedAndTheArchiveIsKept) {
  std::string bytes = test::MakeZip({{.name = "a.txt", .data = "hello world"}});
  bytes[30 + 5 + 2] ^= 0x20;  // one byte of the stored data
  std::string archive = dir_.Write("bad.zip", bytes);
  std::string base = dir_.MakeDir("base");
  EXPECT_NE(Unpack(archive, base), 0);
  EXPECT_EQ(test::ReadFile(archive), bytes);
}

TEST_F(ZipRoundTrip, CallsDuringARunAreRefused) {
  std::string root = MakeTree();
  std::string jar = dir_ / "Game.jar";
  std::vector<int> nested;
  boxes_.on_process_messages = [&] {
    if (nested.size() < 4) nested.push_back(zip_.Extract());
  };
  ASSERT_EQ(Pack(jar, root), 0);
  boxes_.on_process_messages = nullptr;
  ASSERT_FALSE(nested.empty());
  for (int r : nested) EXPECT_EQ(r, kArchiveNotPermitted);
  EXPECT_TRUE(zip_.ReEntry());
  EXPECT_TRUE(zip_.FSpecArgs().empty());
}

}  // namespace
}  // namespace korvel
