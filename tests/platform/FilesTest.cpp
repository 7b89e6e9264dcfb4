// File and folder services: the outcomes the patch job relies on.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/FileError.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "support/TempDir.h"
#include "support/TestData.h"

namespace korvel::platform {
namespace {

using test::ErrorText;
using test::ReadFile;
using test::TempDir;

TEST(Files, CopyNeverOverwritesAndNeverLeavesAPartialCopy) {
  TempDir dir;
  const std::string game = dir.Write("game.jar", std::string(200000, 'g'));
  const std::string backup = dir / "game.jar.bak";

  EXPECT_TRUE(CopyFileNoOverwrite(game, backup));
  EXPECT_EQ(ReadFile(backup), ReadFile(game));

  dir.Write("game.jar", "new content");
  EXPECT_FALSE(CopyFileNoOverwrite(game, backup));
  EXPECT_EQ(ReadFile(backup), std::string(200000, 'g'));

  EXPECT_FALSE(CopyFileNoOverwrite(dir / "missing.jar", dir / "copy.jar"));
  EXPECT_FALSE(std::filesystem::exists(dir / "copy.jar"));
  EXPECT_FALSE(CopyFileNoOverwrite(dir.Path(), dir / "folder-copy"));
  EXPECT_FALSE(std::filesystem::exists(dir / "folder-copy"));
}

TEST(Files, LinkGivesTheSameFileASecondNameAndNeverOverwrites) {
  TempDir dir;
  const std::string game = dir.Write("game.jar", "game");
  const std::string keep = dir.Write("game.jar.keep", "older");
  EXPECT_FALSE(LinkFile(game, keep));
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(ReadFile(keep), "older");
  std::filesystem::remove(keep);
  EXPECT_TRUE(LinkFile(game, keep));
  EXPECT_TRUE(std::filesystem::equivalent(game, keep));
  EXPECT_FALSE(LinkFile(dir / "missing.jar", dir / "link.jar"));
  EXPECT_FALSE(LinkFile(dir.Path(), dir / "folder-link"));
  EXPECT_FALSE(std::filesystem::exists(dir / "folder-link"));
}

TEST(Files, RenameRefusesAnExistingTarget) {
  TempDir dir;
  const std::string a = dir.Write("a.jar.bak", "backup");
  const std::string b = dir.Write("a.jar", "half-written");
  EXPECT_FALSE(RenameFile(a, b));
  EXPECT_EQ(ReadFile(b), "half-written");
  ASSERT_TRUE(DeleteFile(b));
  EXPECT_TRUE(RenameFile(a, b));
  EXPECT_EQ(ReadFile(b), "backup");
  EXPECT_FALSE(FileExists(a));
}

TEST(Files, ExistenceAndSizeTellFilesFromFolders) {
  TempDir dir;
  const std::string file = dir.Write("x.jad", "12345");
  const std::string folder = dir.MakeDir("sub");
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FileExists(folder));
  EXPECT_TRUE(DirectoryExists(folder));
  EXPECT_FALSE(DirectoryExists(file));
  EXPECT_EQ(FileSizeOf(file), 5);
  EXPECT_EQ(FileSizeOf(folder), -1);
  EXPECT_EQ(FileSizeOf(dir / "none"), -1);
  EXPECT_FALSE(DeleteFile(folder));
  EXPECT_TRUE(DirectoryExists(folder));
  EXPECT_TRUE(DeleteFile(file));
  EXPECT_FALSE(DeleteFile(file));
}

TEST(Files, FailingFolderOperationsNameThePathAndTheReason) {
  TempDir dir;
  const std::string folder = dir.MakeDir("temp");
  EXPECT_EQ(ErrorText([&] { CreateDirectory(folder); }),
            "Cannot create folder \"" + folder + "\". File exists");
  const std::string missing = dir / "no/such";
  EXPECT_EQ(ErrorText([&] { SetCurrentDirectory(missing); }),
            "Cannot change to folder \"" + missing + "\". No such file or directory");
  EXPECT_EQ(ErrorText([&] { BinaryFile(missing, BinaryFile::Mode::kRead); }),
            "Cannot open file \"" + missing + "\". No such file or directory");
}

TEST(Files, ReadOnlyFilesCannotBeOpenedForWritingEvenByTheSuperUser) {
  TempDir dir;
  const std::string file = dir.Write("a.class", "data");
  ::chmod(file.c_str(), 0444);
  EXPECT_EQ(ErrorText([&] { BinaryFile(file, BinaryFile::Mode::kReadWrite); }),
            "Cannot open file \"" + file + "\". Permission denied");
  EXPECT_EQ(ReadWholeFile(file), "data");
  EXPECT_FALSE(WriteFileAtomically(file, "other"));
  EXPECT_EQ(ReadFile(file), "data");
}

TEST(Files, BinaryFileWritesInPlaceWithoutChangingTheSize) {
  TempDir dir;
  const std::string file = dir.Write("a.bin", "0123456789");
  BinaryFile f(file, BinaryFile::Mode::kReadWrite);
  EXPECT_EQ(f.Size(), 10u);
  f.WriteAt(3, "abc");
  f.Close();
  EXPECT_EQ(ReadFile(file), "012abc6789");
}

TEST(Files, AtomicWriteReplacesContentKeepsModeAndLeavesNoTemporaryFile) {
  TempDir dir;
  const std::string file = dir.Write("g.jad", "old");
  ::chmod(file.c_str(), 0640);
  EXPECT_TRUE(WriteFileAtomically(file, "new\r\n"));
  EXPECT_EQ(ReadFile(file), "new\r\n");
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_TRUE(WriteFileAtomically(dir / "fresh.jad", "x"));
  EXPECT_EQ(ReadFile(dir / "fresh.jad"), "x");
  EXPECT_FALSE(WriteFileAtomically(dir / "missing/f.jad", "x"));

  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 2);
}

TEST(Files, RemoveTreeDeletesEverythingButNeverFollowsLinks) {
  TempDir dir;
  const std::string outside = dir.Write("keep/precious.jar", "game");
  dir.Write("temp/a/b/c.class", "x");
  const std::string ro = dir.Write("temp/a/ro.class", "x");
  ::chmod(ro.c_str(), 0444);
  ASSERT_EQ(::symlink((dir / "keep").c_str(), (dir / "temp/link").c_str()), 0);

  EXPECT_TRUE(RemoveTree(dir / "temp"));
  EXPECT_FALSE(std::filesystem::exists(dir / "temp"));
  EXPECT_EQ(ReadFile(outside), "game");
  EXPECT_TRUE(RemoveTree(dir / "temp"));  // nothing left to remove is success
}

TEST(Files, PathsResolveWithoutRegardToLetterCase) {
  TempDir dir;
  const std::string manifest = dir.Write("temp/META-INF/MANIFEST.MF", "Manifest-Version: 1.0");
  EXPECT_EQ(ResolvePathIgnoringCase(dir.Path(), "temp/Meta-inf/Manifest.mf"), manifest);
  EXPECT_EQ(ResolvePathIgnoringCase(dir.Path(), "temp/meta-inf"), dir / "temp/META-INF");
  EXPECT_EQ(ResolvePathIgnoringCase(dir.Path(), "temp/Meta-inf/Other.mf"), std::nullopt);

  const std::string upper = dir.Write("x/A.txt", "upper");
  const std::string lower = dir.Write("x/a.txt", "lower");
  EXPECT_EQ(ResolvePathIgnoringCase(dir.Path(), "x/a.txt"), lower);
  EXPECT_EQ(ResolvePathIgnoringCase(dir.Path(), "x/A.txt"), upper);
}

TEST(Files, JoinsPathsAndSplitsOffNames) {
  EXPECT_EQ(JoinPath("/a/b", "c"), "/a/b/c");
  EXPECT_EQ(JoinPath("/a/b/", "c"), "/a/b/c");
  EXPECT_EQ(JoinPath("/a/b/", "/c"), "/a/b/c");
  EXPECT_EQ(FileNamePart("/games/Xe Tang.jar"), "Xe Tang.jar");
  EXPECT_EQ(FileNamePart("Race.jar"), "Race.jar");
}

TEST(Files, CurrentAndExecutableFolders) {
  TempDir dir;
  const std::string before = CurrentDirectory();
  SetCurrentDirectory(dir.Path());
  EXPECT_EQ(std::filesystem::canonical(CurrentDirectory()), std::filesystem::canonical(dir.Path()));
  SetCurrentDirectory(before);

  const std::string exe_dir = ExecutableDirectory();
  EXPECT_NE(exe_dir.back(), kPathSeparator);
  EXPECT_EQ(std::filesystem::path(exe_dir),
            std::filesystem::canonical("/proc/self/exe").parent_path());
}

}  // namespace
}  // namespace korvel::platform

namespace korvel::platform {
namespace {

TEST(Files, ReplaceMovesOverAnExistingFile) {
  TempDir dir;
  const std::string next = dir.Write("game.jar.new", "new");
  const std::string game = dir.Write("game.jar", "old");
  EXPECT_TRUE(ReplaceFile(next, game));
  EXPECT_EQ(ReadFile(game), "new");
  EXPECT_FALSE(FileExists(next));
  EXPECT_FALSE(ReplaceFile(next, game));
  EXPECT_EQ(ReadFile(game), "new");
}

TEST(FileLock, OneHolderAtATimeUntilReleased) {
  TempDir dir;
  const std::string path = dir / "korvel.lock";
  {
    FileLock first(path);
    ASSERT_TRUE(first.Held());
    FileLock second(path);
    EXPECT_FALSE(second.Held());
  }
  FileLock again(path);
  EXPECT_TRUE(again.Held());
  FileLock elsewhere(dir / "missing/korvel.lock");
  EXPECT_FALSE(elsewhere.Held());
}

}  // namespace
}  // namespace korvel::platform
