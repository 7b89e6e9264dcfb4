// The full-screen canvas class: its layout, how it is written into a game, and how it behaves
// in a JVM.
#include "pipeline/FullScreenClass.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "payload/ProgramStore.h"
#include "platform/FileError.h"
#include "support/TempDir.h"

namespace korvel {
namespace {

using test::ReadFile;
using test::TempDir;

const std::string& CarriedClass() {
  static const std::string bytes = ReadFile(test::SourceFile("payload/FullCn.class"));
  return bytes;
}

unsigned U1(const std::string& b, std::size_t at) {
  return static_cast<unsigned char>(b.at(at));
}
unsigned U2(const std::string& b, std::size_t at) {
  return U1(b, at) << 8 | U1(b, at + 1);
}

// A Utf8 constant at `at`: tag 1, length, bytes.
std::string Utf8At(const std::string& b, std::size_t at) {
  EXPECT_EQ(U1(b, at), 1u) << "tag at " << at;
  return b.substr(at + 3, U2(b, at + 1));
}

TEST(FullScreenClass, CarriedClassHasTheExpectedLayout) {
  const std::string& b = CarriedClass();
  ASSERT_EQ(b.size(), 389u);
  EXPECT_EQ(b.substr(0, 4), "\xCA\xFE\xBA\xBE");
  EXPECT_EQ(U2(b, 4), 0u);
  EXPECT_EQ(U2(b, 6), 48u);
  EXPECT_EQ(U2(b, 8), 20u);
  EXPECT_EQ(Utf8At(b, 10), "com/quillmoss/fullscreen/FullCn");
  EXPECT_EQ(U1(b, 44), 7u);
  EXPECT_EQ(U2(b, 45), 1u);
  EXPECT_EQ(Utf8At(b, 47), "javax/microedition/lcdui/Canvas");
  EXPECT_EQ(Utf8At(b, 84), "getWidth");
  EXPECT_EQ(Utf8At(b, 126), "getHeight");
  EXPECT_EQ(Utf8At(b, 163), "setFullScreenMode");
  EXPECT_EQ(Utf8At(b, 213), "FullCn.java");
  EXPECT_EQ(b.substr(195, 5), std::string("\x0A\x00\x02\x00\x10", 5));  // Methodref #2.#16
  EXPECT_EQ(U2(b, 227), 0x0421u);
  EXPECT_EQ(U2(b, 229), 2u);
  EXPECT_EQ(U2(b, 231), 4u);
  EXPECT_EQ(U2(b, 237), 3u);
  EXPECT_EQ(b.substr(261, 4), std::string("\x11\x00\x80\xAC", 4));
  EXPECT_EQ(b.substr(303, 4), std::string("\x11\x00\x74\xAC", 4));
  EXPECT_EQ(U2(b, 323), 0x0004u);
  EXPECT_EQ(b.substr(345, 10), std::string("\x2A\xB7\x00\x0D\x2A\x04\xB6\x00\x11\xB1", 10));
  EXPECT_EQ(U2(b, 379), 1u);
  EXPECT_EQ(b.substr(381), std::string("\x00\x12\x00\x00\x00\x02\x00\x13", 8));
}

TEST(FullScreenClass, JavapReadsItAsAFullScreenCanvas) {
  std::string out;
  ASSERT_EQ(test::RunCommand("javap -v -p '" + test::SourceFile("payload/FullCn.class") + "'", out),
            0)
      << out;
  for (const char* expected :
       {"public abstract class com.quillmoss.fullscreen.FullCn extends "
        "javax.microedition.lcdui.Canvas",
        "major version: 48", "flags: (0x0421) ACC_PUBLIC, ACC_SUPER, ACC_ABSTRACT",
        "public int getWidth();", "sipush        128", "public int getHeight();",
        "sipush        116", "protected com.quillmoss.fullscreen.FullCn();",
        "invokespecial #13                 // Method "
        "javax/microedition/lcdui/Canvas.\"<init>\":()V",
        "invokevirtual #17                 // Method setFullScreenMode:(Z)V", "line 26: 9",
        "SourceFile: \"FullCn.java\""}) {
    EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
  }
}

TEST(FullScreenClass, JavapReadsTheGameCanvasTwin) {
  std::string out;
  ASSERT_EQ(
      test::RunCommand("javap -v -p '" + test::SourceFile("payload/FullGameCn.class") + "'", out),
      0)
      << out;
  for (const char* expected :
       {"public abstract class com.quillmoss.fullscreen.game.FullGameCn extends "
        "javax.microedition.lcdui.game.GameCanvas",
        "major version: 48", "flags: (0x0421) ACC_PUBLIC, ACC_SUPER, ACC_ABSTRACT",
        "sipush        128", "sipush        116",
        "protected com.quillmoss.fullscreen.game.FullGameCn(boolean);", "iload_1",
        "invokespecial #13                 // Method "
        "javax/microedition/lcdui/game/GameCanvas.\"<init>\":(Z)V",
        "invokevirtual #16                 // Method setFullScreenMode:(Z)V"}) {
    EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
  }
}

class WriteClass : public testing::Test {
 protected:
  void SetUp() override { LoadProgramStore(store_); }
  TmxStorage store_;
  TempDir work_;
};

TEST_F(WriteClass, DefaultSizeGivesTheCarriedBytes) {
  const std::string path = WriteFullScreenClass(store_, work_.Path(), 128, 116);
  EXPECT_EQ(path, work_ / "com/quillmoss/fullscreen/FullCn.class");
  EXPECT_EQ(ReadFile(path), CarriedClass());
}

TEST_F(WriteClass, OtherSizesChangeOnlyTheTwoSizeBytes) {
  for (const auto& [w, h] : {std::pair{176, 208}, std::pair{1, 255}}) {
    const std::string written = ReadFile(WriteFullScreenClass(store_, work_.Path(), w, h));
    std::string expected = CarriedClass();
    expected[263] = static_cast<char>(w);
    expected[305] = static_cast<char>(h);
    EXPECT_EQ(written, expected);
  }
}

TEST_F(WriteClass, TheGameCanvasTwinTakesTheSizeAtItsOwnOffsets) {
  const std::string path = WriteCanvasClass(store_, work_.Path(), kFullGameCanvasClass, 100, 80);
  EXPECT_EQ(path, work_ / "com/quillmoss/fullscreen/game/FullGameCn.class");
  std::string expected = ReadFile(test::SourceFile("payload/FullGameCn.class"));
  expected[279] = 100;
  expected[321] = 80;
  EXPECT_EQ(ReadFile(path), expected);
}

TEST_F(WriteClass, ReplacesTheClassOfAnEarlierAdaptation) {
  work_.Write("com/quillmoss/fullscreen/FullCn.class", std::string(1000, 'o'));
  const std::string path = WriteFullScreenClass(store_, work_.Path(), 100, 100);
  EXPECT_EQ(std::filesystem::file_size(path), 389u);
}

TEST_F(WriteClass, FoldersThatCannotBeMadeEndTheJob) {
  work_.Write("com", "a file where the package folder should go");
  EXPECT_THROW(WriteFullScreenClass(store_, work_.Path(), 128, 116), FileError);
  TmxStorage empty;
  EXPECT_THROW(WriteFullScreenClass(empty, work_.Path() + "/other", 128, 116), FileError);
  std::filesystem::create_directories(work_ / "x");
  EXPECT_THROW(WriteFullScreenClass(empty, work_ / "x", 128, 116), StoreError);
}

TEST(WriteStringAt, OverwritesBytesInPlace) {
  TempDir dir;
  const std::string file = dir.Write("f", "0123456789");
  WriteStringAt(file, 4, "\xB0");
  EXPECT_EQ(ReadFile(file),
            "0123\xB0"
            "56789");
  ::chmod(file.c_str(), 0444);
  EXPECT_THROW(WriteStringAt(file, 0, "x"), FileError);
  EXPECT_THROW(WriteStringAt(dir / "missing", 0, "x"), FileError);
}

// Loads both classes (176 x 208 and 100 x 80) into a JVM beside stand-in MIDP canvases.
TEST_F(WriteClass, RunsInAJvmWithTheConfiguredSize) {
  const std::string classes = work_.MakeDir("classes");
  WriteFullScreenClass(store_, classes, 176, 208);
  const std::string midp = test::TestDataFile("midp");
  std::string out;
  ASSERT_EQ(test::RunCommand("javac -d '" + classes + "' '" + midp +
                                 "/javax/microedition/lcdui/Canvas.java' && javac -cp '" + classes +
                                 "' -d '" + classes + "' '" + midp + "/FullCnProbe.java'",
                             out),
            0)
      << out;
  ASSERT_EQ(test::RunCommand("java -Xshare:off -cp '" + classes + "' FullCnProbe", out), 0) << out;
  EXPECT_EQ(out, "176 208 1 true\n");

  WriteCanvasClass(store_, classes, kFullGameCanvasClass, 100, 80);
  ASSERT_EQ(test::RunCommand("javac -cp '" + classes + "' -d '" + classes + "' '" + midp +
                                 "/javax/microedition/lcdui/game/GameCanvas.java' '" + midp +
                                 "/FullGameCnProbe.java'",
                             out),
            0)
      << out;
  ASSERT_EQ(test::RunCommand("java -Xshare:off -cp '" + classes + "' FullGameCnProbe", out), 0)
      << out;
  EXPECT_EQ(out, "100 80 1 true true\n");
}

}  // namespace
}  // namespace korvel
