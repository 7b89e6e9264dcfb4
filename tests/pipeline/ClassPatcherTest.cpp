// Redirecting the canvas class and spotting the Nokia API in class files.
#include "pipeline/ClassPatcher.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/FileError.h"
#include "support/TempDir.h"

namespace korvel {
namespace {

using test::ReadFile;
using test::TempDir;

const std::string kCanvas(kCanvasClassName);
const std::string kFull(kFullCanvasClassName);

// The constant pool of a class that extends the canvas and has a method taking a canvas.
std::string ClassBytes(const std::string& name) {
  using namespace std::string_literals;
  return "\xCA\xFE\xBA\xBE\x00\x00\x00\x2E"s + "\x01\x00\x1F"s + name + "\x01\x00\x21(L"s + name +
         ";)V" + "\x01\x00\x04"s + "Code" + std::string(10, '\0');
}

bool Patch(const std::string& file) {
  return PatchClassFile(file, kCanvas, kFull);
}

TEST(ClassPatcher, ReplacesEveryOccurrenceAndNothingElse) {
  TempDir dir;
  const std::string file = dir.Write("a.class", ClassBytes(kCanvas));
  EXPECT_TRUE(Patch(file));
  EXPECT_EQ(ReadFile(file), ClassBytes(kFull));
  EXPECT_FALSE(Patch(file));  // nothing left to redirect
  EXPECT_EQ(ReadFile(file), ClassBytes(kFull));
}

TEST(ClassPatcher, AFileWithoutTheNameIsNotWritten) {
  TempDir dir;
  const std::string content = ClassBytes("Javax/Microedition/Lcdui/Canvas");  // other case
  const std::string file = dir.Write("b.class", content);
  const struct timespec old_times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), old_times, 0), 0);

  EXPECT_FALSE(Patch(file));
  EXPECT_FALSE(FileContainsText(file, kNokiaPackagePrefix));
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
  EXPECT_EQ(ReadFile(file), content);
}

TEST(ClassPatcher, TheWindowEndingAtTheLastByteIsNotExamined) {
  TempDir dir;
  // Exactly the name: no window at all.
  EXPECT_FALSE(Patch(dir.Write("exact.class", kCanvas)));
  EXPECT_EQ(ReadFile(dir / "exact.class"), kCanvas);
  // One byte more: the window at position 0 is the last one examined.
  EXPECT_TRUE(Patch(dir.Write("plus1.class", kCanvas + ";")));
  EXPECT_EQ(ReadFile(dir / "plus1.class"), kFull + ";");
  // The name at the very end of a longer file stays.
  EXPECT_FALSE(Patch(dir.Write("tail.class", "xx" + kCanvas)));
  EXPECT_EQ(ReadFile(dir / "tail.class"), "xx" + kCanvas);
  EXPECT_FALSE(Patch(dir.Write("empty.class", "")));

  const std::string nokia(kNokiaPackagePrefix);
  EXPECT_FALSE(FileContainsText(dir.Write("n1", nokia), nokia));
  EXPECT_TRUE(FileContainsText(dir.Write("n2", nokia + "u"), nokia));
  EXPECT_FALSE(FileContainsText(dir.Write("n3", "u" + nokia), nokia));
}

TEST(ClassPatcher, EachWindowIsSeenAfterEarlierReplacements) {
  TempDir dir;
  // "aa" -> "ab" over "aaaaX": positions 0 and 2 match once position 0 has been rewritten.
  const std::string file = dir.Write("overlap", "aaaaX");
  EXPECT_TRUE(PatchClassFile(file, "aa", "ab"));
  EXPECT_EQ(ReadFile(file), "ababX");
}

TEST(ClassPatcher, DetectsTheNokiaApiWithoutChangingTheFile) {
  TempDir dir;
  const std::string content = ClassBytes("com/nokia/mid/sound/Sound" + std::string(6, '_'));
  const std::string file = dir.Write("s.class", content);
  EXPECT_TRUE(FileContainsText(file, kNokiaPackagePrefix));
  EXPECT_EQ(ReadFile(file), content);
}

TEST(ClassPatcher, UnopenableFilesRaiseAFileErrorNamingTheFile) {
  TempDir dir;
  const std::string file = dir.Write("ro.class", ClassBytes(kCanvas));
  ::chmod(file.c_str(), 0444);
  for (bool detect : {false, true}) {
    try {
      detect ? FileContainsText(file, kNokiaPackagePrefix) : Patch(file);
      ADD_FAILURE() << "no error raised";
    } catch (const FileError& e) {
      EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(ReadFile(file), ClassBytes(kCanvas));
  EXPECT_THROW(Patch(dir / "vanished.class"), FileError);
  EXPECT_THROW(PatchClassFile(file, "abc", "ab"), std::invalid_argument);
}

}  // namespace
}  // namespace korvel
