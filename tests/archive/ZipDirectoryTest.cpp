// Tests of the directory reader: archives from Info-ZIP and hand-made ones, with the messages
// each reading gives, the sample suites, and damaged archives.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ArchiveTestSupport.h"
#include "archive/ArchiveMessages.h"
#include "archive/Archiver.h"
#include "support/TempDir.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::BoxRecorder;
using test::MakeZip;
using test::RawEntry;
using test::TempDir;

// A component reading one archive, with every box and message it gave.
struct Reading {
  BoxRecorder boxes;
  TArchiver zip;
  std::vector<int> messages;  // identifiers that reached OnMessage

  Reading() {
    zip.OnMessage = [this](int code, const std::string&) { messages.push_back(code); };
  }
  void Read(const std::string& path) { zip.SetZipFileName(path); }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const ZipDirEntry& e : zip.ZipContents()) out.push_back(e.FileName);
    return out;
  }
};

std::string WriteBytes(const TempDir& dir, const std::string& name, const std::string& bytes) {
  return dir.Write(name, bytes);
}

std::string ReadBytes(const std::string& path) {
  return test::ReadFile(path);
}

// An Info-ZIP archive of a small tree: a.txt, sub/ and sub/b.txt.
std::string InfoZipArchive(const TempDir& dir) {
  if (!test::HaveTool("zip")) return {};
  dir.Write("src/a.txt", "alpha");
  dir.Write("src/sub/b.txt", std::string(3000, 'b'));
  EXPECT_EQ(test::RunIn(dir / "src", "zip -r ../t.zip a.txt sub"), 0);
  return dir / "t.zip";
}

TEST(ZipDirectory, MissingFileReadsAsEmptyWithoutAnyMessage) {
  TempDir dir;
  Reading r;
  int updates = 0;
  r.zip.OnDirUpdate = [&] { ++updates; };
  r.Read(dir / "new.jar");
  EXPECT_EQ(r.zip.Count(), 0);
  EXPECT_EQ(r.zip.ErrCode(), 0);
  EXPECT_EQ(r.zip.ZipFileName(), dir / "new.jar");
  EXPECT_TRUE(r.boxes.boxes.empty());
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(updates, 1);
}

TEST(ZipDirectory, InfoZipArchiveWithCommentReadsSilentlyAndDropsDirectoryEntries) {
  TempDir dir;
  std::string path = InfoZipArchive(dir);
  ASSERT_FALSE(path.empty()) << "Info-ZIP zip is not installed";
  dir.Write("comment.txt", "Level pack\nsecond line");
  ASSERT_EQ(test::RunIn(dir.Path(), "zip -z t.zip < comment.txt"), 0);

  Reading r;
  std::vector<int> sequence;
  r.zip.OnNewName = [&](int seq, const ZipDirEntry&) { sequence.push_back(seq); };
  r.Read(path);
  EXPECT_EQ(r.Names(), (std::vector<std::string>{"a.txt", "sub/b.txt"}));
  EXPECT_EQ(r.zip.DirOnlyCount(), 1);
  EXPECT_EQ(r.zip.ZipComment(), "Level pack\r\nsecond line");  // zip writes DOS line ends
  EXPECT_EQ(r.zip.ErrCode(), 0);
  EXPECT_EQ(r.zip.SFXOffset(), 0);
  EXPECT_TRUE(r.boxes.boxes.empty());
  EXPECT_EQ(sequence, (std::vector<int>{1, 2}));
  const ZipDirEntry& b = r.zip.DirEntry(1);
  EXPECT_EQ(b.UncompressedSize, 3000u);
  EXPECT_EQ(b.CompressionMethod, 8);
  EXPECT_FALSE(b.Encrypted);

  r.zip.SetUseDirOnlyEntries(true);
  r.Read(path);
  EXPECT_EQ(r.Names(), (std::vector<std::string>{"a.txt", "sub/", "sub/b.txt"}));
  EXPECT_EQ(r.zip.DirOnlyCount(), 0);
}

TEST(ZipDirectory, LongestCommentStillFindsTheEndRecord) {
  TempDir dir;
  std::string path = InfoZipArchive(dir);
  ASSERT_FALSE(path.empty()) << "Info-ZIP zip is not installed";
  std::string bytes = ReadBytes(path);
  std::string comment(65535, 'c');
  bytes[bytes.size() - 2] = '\xFF';
  bytes[bytes.size() - 1] = '\xFF';
  WriteBytes(dir, "t.zip", bytes + comment);

  Reading r;
  r.Read(path);
  EXPECT_EQ(r.zip.Count(), 2);
  EXPECT_EQ(r.zip.ZipComment(), comment);
  EXPECT_EQ(r.zip.ErrCode(), 0);
  EXPECT_TRUE(r.boxes.boxes.empty());
}

TEST(ZipDirectory, TrailingBytesWarnUnlessFewAndBlank) {
  TempDir dir;
  std::string path = InfoZipArchive(dir);
  ASSERT_FALSE(path.empty()) << "Info-ZIP zip is not installed";
  std::string bytes = ReadBytes(path);
  struct Case {
    std::string trail;
    bool warns;
  };
  const std::vector<Case> cases = {
      {"\r\n  \r\n    ", false},     {std::string(511, ' '), false},
      {std::string(600, ' '), true}, {"x", true},
      {std::string(5, '/'), true},  // 0x2F is the first byte that counts as garbage
  };
  for (const Case& c : cases) {
    WriteBytes(dir, "t.zip", bytes + c.trail);
    Reading r;
    r.Read(path);
    EXPECT_EQ(r.zip.Count(), 2) << c.trail.size();
    if (c.warns) {
      ASSERT_EQ(r.boxes.boxes.size(), 1u) << c.trail.size();
      EXPECT_EQ(r.boxes.boxes[0].message, "Warning - Garbage at the end of the zipfile!");
      EXPECT_EQ(r.boxes.boxes[0].kind, TArchiveBoxKind::kInformation);
      EXPECT_EQ(r.messages, std::vector<int>{kArchiveGarbageWarning});
    } else {
      EXPECT_TRUE(r.boxes.boxes.empty()) << c.trail.size();
      EXPECT_EQ(r.zip.ErrCode(), 0);
    }
  }
}

TEST(ZipDirectory, DataInFrontWarnsAndGivesItsSizeAsOffset) {
  TempDir dir;
  std::string path = InfoZipArchive(dir);
  ASSERT_FALSE(path.empty()) << "Info-ZIP zip is not installed";
  WriteBytes(dir, "t.zip", std::string(1000, '\x90') + ReadBytes(path));

  Reading r;
  r.Read(path);
  EXPECT_EQ(r.zip.Count(), 2);
  EXPECT_EQ(r.zip.SFXOffset(), 1000);
  EXPECT_EQ(r.boxes.Messages(), std::vector<std::string>{"Warning - Error in zip structure!"});
  EXPECT_EQ(r.zip.ErrCode(), kArchiveStructureWarning);
}

TEST(ZipDirectory, ArchiveOfOnlyDirectoriesReadsAsEmptyAndExtractSaysSo) {
  TempDir dir;
  ASSERT_TRUE(test::HaveTool("zip")) << "Info-ZIP zip is not installed";
  dir.MakeDir("src/d1/d2");
  ASSERT_EQ(test::RunIn(dir / "src", "zip -r ../d.zip d1"), 0);

  Reading r;
  r.Read(dir / "d.zip");
  EXPECT_EQ(r.zip.Count(), 0);
  EXPECT_EQ(r.zip.DirOnlyCount(), 2);
  EXPECT_EQ(r.zip.ErrCode(), 0);
  r.zip.SetExtrBaseDir(dir.MakeDir("out"));
  r.zip.FSpecArgs() = {"*.*"};
  EXPECT_EQ(r.zip.Extract(), kArchiveFileOpen);
  EXPECT_EQ(r.boxes.Messages(), std::vector<std::string>{"Zip file could not be opened"});
  EXPECT_TRUE(r.zip.FSpecArgs().empty());

  r.zip.SetUseDirOnlyEntries(true);
  r.Read(dir / "d.zip");
  EXPECT_EQ(r.Names(), (std::vector<std::string>{"d1/", "d1/d2/"}));
}

TEST(ZipDirectory, BareEndRecordReadsAsEmptyArchive) {
  TempDir dir;
  std::string path = WriteBytes(dir, "e.zip", MakeZip({}));
  ASSERT_EQ(fs::file_size(path), 22u);
  Reading r;
  r.Read(path);
  EXPECT_EQ(r.zip.Count(), 0);
  EXPECT_EQ(r.zip.ErrCode(), 0);
  EXPECT_EQ(r.zip.SFXOffset(), 0);
  EXPECT_EQ(r.zip.ZipFileName(), path);
  EXPECT_TRUE(r.boxes.boxes.empty());
  r.zip.FSpecArgs() = {"*.*"};
  EXPECT_EQ(r.zip.Extract(), kArchiveFileOpen);
}

// Hand-made damage to a valid one-entry archive, and the error each gives.
TEST(ZipDirectory, DamagedArchivesGiveTheirErrorAndClearTheName) {
  TempDir dir;
  const std::string good = MakeZip({{.name = "a.txt", .data = "hello"}});
  const std::size_t central = good.size() - 22 - 46 - 5;  // where the central header starts
  struct Case {
    const char* what;
    std::string bytes;
    int ident;
    const char* text;
  };
  std::vector<Case> cases;
  cases.push_back({"not a zip", std::string(100, 'z'), kArchiveNotValidZip,
                   "This archive is not a valid Zip archive"});
  cases.push_back(
      {"too short", "PK", kArchiveNotValidZip, "This archive is not a valid Zip archive"});
  std::string bad_signature = good;
  bad_signature[central + 1] = 'X';
  cases.push_back({"bad signature", bad_signature, kArchiveCentralSignature,
                   "A central header signature is wrong"});
  std::string more_entries = good;
  more_entries[good.size() - 22 + 10] = 2;  // total entries 2, only one header there
  cases.push_back({"missing header", more_entries, kArchiveCentralHeaderRead,
                   "Error while reading a central header"});
  std::string long_name = good;
  long_name[central + 28] = '\x60';
  long_name[central + 29] = '\xEA';
  cases.push_back(
      {"name cut", long_name, kArchiveCentralNameRead, "Error while reading a central file name"});
  std::string long_extra = good;
  long_extra[central + 31] = '\x10';
  cases.push_back({"extra cut", long_extra, kArchiveSeekError, "Seek error reading Zip archive!"});
  std::string long_comment = good;
  long_comment[central + 33] = '\x10';
  cases.push_back(
      {"comment cut", long_comment, kArchiveCommentRead, "Error while reading a file comment"});
  std::string huge_central = good;
  huge_central[good.size() - 22 + 15] = '\x7F';  // central size beyond the file's start
  cases.push_back(
      {"central before start", huge_central, kArchiveSeekError, "Seek error reading Zip archive!"});
  for (const Case& c : cases) {
    std::string path = WriteBytes(dir, "bad.zip", c.bytes);
    Reading r;
    r.Read(path);
    EXPECT_EQ(r.zip.ErrCode(), c.ident) << c.what;
    ASSERT_EQ(r.boxes.boxes.size(), 1u) << c.what;
    EXPECT_EQ(r.boxes.boxes[0].message, c.text) << c.what;
    EXPECT_EQ(r.boxes.boxes[0].kind, TArchiveBoxKind::kError) << c.what;
    EXPECT_EQ(r.zip.ZipFileName(), "") << c.what;
    EXPECT_EQ(r.zip.Count(), 0) << c.what;
    EXPECT_EQ(ReadBytes(path), c.bytes) << c.what;  // left as it was

    r.zip.FSpecArgs() = {"*.*"};
    EXPECT_EQ(r.zip.Extract(), kArchiveNoZipSpecified) << c.what;
    EXPECT_EQ(r.boxes.boxes.back().message, "Error - no zip file specified!");
  }
}

TEST(ZipDirectory, UnreadableArchiveGivesTwoBoxes) {
  TempDir dir;
  std::string path = WriteBytes(dir, "locked.zip", MakeZip({{.name = "a", .data = "1"}}));
  fs::permissions(path, fs::perms::none);
  const auto read = [&] {
    Reading r;
    r.Read(path);
    return r.boxes.Messages() ==
               std::vector<std::string>{"Zip file could not be opened",
                                        "This archive is not a valid Zip archive"} &&
           r.zip.ZipFileName().empty();
  };
  if (geteuid() != 0) {
    EXPECT_TRUE(read());
    return;
  }
  // The super-user reads every file, so the reading runs as an ordinary user in a child.
  fs::permissions(dir.Path(), fs::perms::owner_all | fs::perms::others_exec);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    _exit(setgid(65534) == 0 && setuid(65534) == 0 && read() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST(ZipDirectory, FileOfFourGibibytesIsRefused) {
  TempDir dir;
  std::string path = dir / "huge.zip";
  { std::ofstream out(path, std::ios::binary); }
  std::error_code ec;
  fs::resize_file(path, (std::uintmax_t{1} << 32) + 100, ec);  // sparse where the system can
  if (ec) GTEST_SKIP() << "cannot make a sparse file here";
  Reading r;
  r.zip.SetVerbose(true);
  r.Read(path);
  EXPECT_EQ(r.zip.ErrCode(), kArchiveNotValidZip);
  ASSERT_EQ(r.boxes.boxes.size(), 2u);
  EXPECT_EQ(r.boxes.boxes[0].message, "Opening EOC seek/size error 4096Mb");
  EXPECT_EQ(r.boxes.boxes[1].message, "This archive is not a valid Zip archive");
}

TEST(ZipDirectory, CancelStopsTheReading) {
  TempDir dir;
  std::string path =
      WriteBytes(dir, "c.zip", MakeZip({{.name = "a", .data = "1"}, {.name = "b", .data = "2"}}));
  Reading r;
  r.zip.OnNewName = [&](int, const ZipDirEntry&) { r.zip.SetCancel(true); };
  r.Read(path);
  EXPECT_EQ(r.zip.ErrCode(), kArchiveUserCancelled);
  EXPECT_EQ(r.boxes.Messages(), std::vector<std::string>{"User canceled operation"});
  EXPECT_EQ(r.zip.Count(), 0);
}

// "Привет" in code page 866, and in UTF-8.
const std::string kOemName = "\x8F\xE0\xA8\xA2\xA5\xE2.txt";
const std::string kUtf8Name = "Привет.txt";

TEST(ZipDirectory, OemNamesAreConvertedByHostSystemAndSetting) {
  TempDir dir;
  struct Case {
    std::uint8_t host;
    std::uint8_t made_by;
    std::uint16_t flags;
    std::string name;
    std::string expected;
  };
  const std::vector<Case> auto_cases = {
      {0, 20, 0, kOemName, kUtf8Name},        // FAT
      {6, 20, 0, kOemName, kUtf8Name},        // HPFS
      {11, 50, 0, kOemName, kUtf8Name},       // NTFS from version 5.0
      {11, 20, 0, kOemName, kOemName},        // other NTFS writers keep their bytes
      {3, 30, 0, kOemName, kOemName},         // Unix
      {0, 20, 0x0800, kUtf8Name, kUtf8Name},  // marked UTF-8 (as Java's jar writes them)
  };
  std::vector<RawEntry> entries;
  for (const Case& c : auto_cases)
    entries.push_back({.name = c.name,
                       .data = "x",
                       .host = c.host,
                       .made_by = c.made_by,
                       .flags = c.flags,
                       .comment = c.name});
  std::string path = WriteBytes(dir, "names.zip", MakeZip(entries));
  Reading r;
  r.Read(path);
  ASSERT_EQ(r.zip.Count(), static_cast<int>(auto_cases.size()));
  for (std::size_t i = 0; i < auto_cases.size(); ++i) {
    EXPECT_EQ(r.zip.DirEntry(static_cast<int>(i)).FileName, auto_cases[i].expected) << i;
    EXPECT_EQ(r.zip.DirEntry(static_cast<int>(i)).FileComment, auto_cases[i].expected) << i;
  }

  r.zip.SetCodePage(CodePageOpts::cpNone);
  r.Read(path);
  EXPECT_EQ(r.zip.DirEntry(0).FileName, kOemName);
  r.zip.SetCodePage(CodePageOpts::cpOEM);
  r.Read(path);
  EXPECT_EQ(r.zip.DirEntry(4).FileName, kUtf8Name);
}

TEST(ZipDirectory, ArchiveCommentFollowsTheLastEntryWithAHostSystem) {
  TempDir dir;
  Reading r;
  r.Read(WriteBytes(dir, "fat.zip", MakeZip({{.name = "a", .data = "1"}}, kOemName)));
  EXPECT_EQ(r.zip.ZipComment(), kUtf8Name);
  r.Read(WriteBytes(
      dir, "unix.zip",
      MakeZip({{.name = "a", .data = "1", .host = 3, .made_by = 30}, {.name = "b", .data = "2"}},
              kOemName)));
  EXPECT_EQ(r.zip.ZipComment(), kOemName);
}

std::vector<std::string> ZipInfoNames(const std::string& jar) {
  std::vector<std::string> names;
  std::string command = "zipinfo -1 '" + jar + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return names;
  char line[4096];
  while (fgets(line, sizeof line, pipe) != nullptr) {
    std::string s(line);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    names.push_back(s);
  }
  pclose(pipe);
  return names;
}

TEST(ZipDirectory, SampleSuitesReadWithZipinfosEntryCounts) {
  const std::string corpus = test::CorpusFile("");
  ASSERT_TRUE(test::HaveTool("zipinfo")) << "Info-ZIP's zipinfo is not installed";
  int jars = 0;
  for (const auto& suite : fs::directory_iterator(corpus)) {
    if (!suite.is_directory()) continue;
    for (const auto& file : fs::directory_iterator(suite.path())) {
      if (file.path().extension() != ".jar") continue;
      ++jars;
      std::vector<std::string> names = ZipInfoNames(file.path().string());
      int files = 0;
      for (const std::string& n : names) files += n.empty() || n.back() != '/';
      Reading r;
      r.Read(file.path().string());
      EXPECT_EQ(r.zip.ErrCode(), 0) << file.path();
      EXPECT_EQ(r.zip.Count(), files) << file.path();
      EXPECT_EQ(r.zip.Count() + r.zip.DirOnlyCount(), static_cast<int>(names.size()))
          << file.path();
    }
  }
  EXPECT_GT(jars, 0);
}

}  // namespace
}  // namespace korvel
