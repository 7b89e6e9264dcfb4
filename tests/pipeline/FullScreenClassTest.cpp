// The full-screen canvas class: its layout, how it is written into a game, and how it behaves
// in a JVM.
#include "pipeline/FullScreenClass.h"

#include <gtest/gtest.h>
#include <cctype>
#include <filesystem>

#include "payload/ProgramStore.h"
#include "platform/FileError.h"
#include "support/TempDir.h"

namespace korvel {
namespace {

using test::ReadFile;
using test::TempDir;

std::string ToLower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

const std::string& CarriedClass() {
  static const std::string bytes = ReadFile(test::SourceFile("payload/FullCn.class"));
  return bytes;
}

// The carried canvases are what their generators make, FullCn the hand-laid 389-byte class.
TEST(FullScreenClass, CarriedClassesAreWhatTheirToolsMake) {
  EXPECT_EQ(CarriedClass().size(), 389u);
  for (const char* name : {"FullCn", "FullGameCn"}) {
    const TempDir out;
    const std::string made = out / (std::string(name) + ".class");
    std::string log;
    ASSERT_EQ(
        test::RunCommand("python3 '" + test::SourceFile("tools/make_" + ToLower(name) + ".py") +
                             "' '" + made + "'",
                         log),
        0)
        << log;
    EXPECT_EQ(ReadFile(made), ReadFile(test::SourceFile("payload/" + std::string(name) + ".class")))
        << name;
  }
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

// Every size is written where the class returns it, and only there: the written class differs
// from the carried one in as many bytes as the size's low bytes differ, and reads back the size.
TEST_F(WriteClass, TheSizeGoesWhereTheClassReturnsIt) {
  const struct {
    const InjectedClass& cls;
    std::uint8_t width, height;
    std::size_t changed;  // bytes that differ from the carried class
  } cases[] = {
      {kFullCanvasClass, 128, 116, 0},    {kFullCanvasClass, 176, 208, 2},
      {kFullCanvasClass, 1, 255, 2},      {kFullCanvasClass, 128, 80, 1},
      {kFullGameCanvasClass, 100, 80, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.cls.name) + " " + std::to_string(c.width));
    const std::string path = WriteCanvasClass(store_, work_.Path(), c.cls, c.width, c.height);
    EXPECT_EQ(path, work_ / std::string(c.cls.path));
    const std::string written = ReadFile(path);
    const std::string carried = ReadFile(test::SourceFile("payload/" + std::string(c.cls.item)));
    ASSERT_EQ(written.size(), carried.size());
    std::size_t changed = 0;
    for (std::size_t i = 0; i < written.size(); ++i) changed += written[i] != carried[i];
    EXPECT_EQ(changed, c.changed);
    EXPECT_EQ(CanvasSizeOf(written), (CanvasSize{c.width, c.height}));
  }
}

TEST_F(WriteClass, ReplacesTheClassOfAnEarlierAdaptation) {
  work_.Write("com/quillmoss/fullscreen/FullCn.class", std::string(1000, 'o'));
  EXPECT_EQ(InjectedCanvasSize(work_.Path()), std::nullopt);  // not a class of ours
  const std::string path = WriteFullScreenClass(store_, work_.Path(), 100, 100);
  EXPECT_EQ(std::filesystem::file_size(path), 389u);
  EXPECT_EQ(InjectedCanvasSize(work_.Path()), (CanvasSize{100, 100}));
}

TEST_F(WriteClass, FailuresEndTheJob) {
  work_.Write("com", "a file where the package folder should go");
  EXPECT_THROW(WriteFullScreenClass(store_, work_.Path(), 128, 116), FileError);
  TmxStorage empty;
  EXPECT_THROW(WriteFullScreenClass(empty, work_.Path() + "/other", 128, 116), FileError);
  std::filesystem::create_directories(work_ / "x");
  EXPECT_THROW(WriteFullScreenClass(empty, work_ / "x", 128, 116), StoreError);
  // A class that cannot be written whole is a failure, never a class of the default size.
  const std::string folder = work_.MakeDir("in-the-way");
  work_.Write("in-the-way/com/quillmoss/fullscreen/FullCn.class/inside", "x");
  EXPECT_THROW(WriteFullScreenClass(store_, folder, 100, 80), FileError);
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
