// Our classes: the carried canvases' layout, each class of the catalogue configured and written
// into a game, what an adapted game's classes tell, and the canvases in a JVM.
#include "pipeline/InjectedClasses.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>

#include "payload/ProgramStore.h"
#include "pipeline/GameClasses.h"
#include "pipeline/classfile/ClassModel.h"
#include "platform/FileError.h"
#include "support/TempDir.h"
#include "tests/pipeline/TestClasses.h"

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

class Catalogue : public testing::Test {
 protected:
  void SetUp() override { LoadProgramStore(store_); }
  std::string Carried(const InjectedClass& cls) const {
    return ReadFile(test::SourceFile("payload/" + std::string(cls.item)));
  }
  TmxStorage store_;
  TempDir work_;
};

const KeyMapCodes kCodes{{-6, -7, -5, -1, -2, -3, -4}, {-1, -4, -26, -59, -60, -61, -62}};

std::size_t BytesDiffering(const std::string& a, const std::string& b) {
  std::size_t differing = 0;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) differing += a[i] != b[i];
  return differing;
}

// Every class is configured where it keeps its placeholders, and only there: it differs from the
// carried class in as many bytes as the values differ from the placeholders, and reads back what
// went in.
TEST_F(Catalogue, AClassIsConfiguredAtItsPlaceholdersOnly) {
  const struct {
    const InjectedClass& cls;
    CanvasSize size;
    KeyMapCodes codes;
    std::size_t differing;
    std::optional<CanvasSize> size_read;
    std::optional<KeyMapCodes> codes_read;
  } cases[] = {
      {kFullCanvasClass, {128, 116}, kCodes, 0, CanvasSize{128, 116}, std::nullopt},
      {kFullCanvasClass, {176, 208}, {}, 2, CanvasSize{176, 208}, std::nullopt},
      {kFullCanvasClass, {1, 255}, {}, 2, CanvasSize{1, 255}, std::nullopt},
      {kFullCanvasClass, {128, 80}, {}, 1, CanvasSize{128, 80}, std::nullopt},
      {kFullGameCanvasClass, {100, 80}, {}, 2, CanvasSize{100, 80}, std::nullopt},
      {kInjectedClasses[2], {100, 80}, kCodes, 0, std::nullopt, std::nullopt},
      {kInjectedClasses[3], {100, 80}, kCodes, 0, std::nullopt, std::nullopt},
      // Each code's four bytes replace the placeholder's, which shares none with a key code.
      {kKeyMapClass, {100, 80}, kCodes, 4 * 2 * kLayoutKeyCount, std::nullopt, kCodes},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.cls.name) + " " + SizeText(c.size));
    const std::string configured = ConfiguredClass(store_, c.cls, c.size, c.codes);
    ASSERT_EQ(configured.size(), Carried(c.cls).size());
    EXPECT_EQ(BytesDiffering(configured, Carried(c.cls)), c.differing);
    EXPECT_EQ(CanvasSizeOf(configured), c.size_read);
    EXPECT_EQ(KeyMapCodesOf(store_, configured), c.codes_read);
  }
}

// What is not one of our classes, or is damaged where the values sit, tells nothing.
TEST_F(Catalogue, OnlyOurClassesTellASizeOrCodes) {
  std::string no_sipush = Carried(kFullCanvasClass);
  const ClassOutline canvas(no_sipush);
  for (const MethodOutline& method : canvas.Methods()) {
    if (canvas.Utf8(method.name) == "getHeight") no_sipush[method.code_offset] = 0x10;  // bipush
  }
  std::string float_code = ConfiguredClass(store_, kKeyMapClass, {}, kCodes);
  const ClassOutline key_map(float_code);
  for (std::size_t i = 1; i < key_map.Pool().size(); ++i) {
    if (key_map.Pool()[i].tag == ConstantTag::kInteger) float_code[key_map.Pool()[i].offset] = 4;
  }
  for (const std::string& bytes :
       {std::string("not a class"), std::string(), test::ClassBytes("a/Screen", kCanvasClassName),
        test::ClassBytes(kFullCanvasClassName, kCanvasClassName), no_sipush, float_code,
        float_code.substr(0, float_code.size() - 1)}) {
    EXPECT_EQ(CanvasSizeOf(bytes), std::nullopt) << bytes.size();
    EXPECT_EQ(KeyMapCodesOf(store_, bytes), std::nullopt) << bytes.size();
  }
  TmxStorage empty;
  EXPECT_THROW(ConfiguredClass(empty, kFullCanvasClass, {100, 80}, {}), StoreError);
}

TEST_F(Catalogue, ReplacesTheClassesOfAnEarlierAdaptation) {
  work_.Write(kFullCanvasClass.path, std::string(1000, 'o'));
  work_.Write(kKeyMapClass.path, Carried(kKeyMapClass));
  EXPECT_EQ(InjectedCanvasSize(work_.Path()), std::nullopt);  // not a class of ours
  WriteInjectedClasses(store_, work_.Path(), {true, false, true}, {100, 100}, kCodes, false);
  EXPECT_EQ(std::filesystem::file_size(work_ / std::string(kFullCanvasClass.path)), 389u);
  EXPECT_EQ(InjectedCanvasSize(work_.Path()), (CanvasSize{100, 100}));
  EXPECT_EQ(InjectedKeyMap(store_, work_.Path()), kCodes);
}

// A class that cannot be written whole is a failure, never a class of the default size.
TEST_F(Catalogue, FailuresToWriteEndTheJob) {
  const std::string in_the_way = work_.MakeDir("in-the-way");
  work_.Write(std::string("in-the-way/") + std::string(kFullCanvasClass.path) + "/inside", "x");
  const std::string file_for_folder = work_.MakeDir("file");
  work_.Write("file/com", "a file where the package folder should go");
  TmxStorage empty;
  const struct {
    const TmxStorage& store;
    std::string work_dir;
    bool file_error;  // else a StoreError
  } cases[] = {
      {store_, file_for_folder, true},
      {store_, work_ / "missing", true},
      {store_, in_the_way, true},
      {empty, work_.MakeDir("empty"), false},
  };
  for (const auto& c : cases) {
    const auto write = [&] {
      WriteInjectedClasses(c.store, c.work_dir, {true, false, false}, {128, 116}, {}, true);
    };
    if (c.file_error) {
      EXPECT_THROW(write(), FileError) << c.work_dir;
    } else {
      EXPECT_THROW(write(), StoreError) << c.work_dir;
    }
  }
}

// Loads both canvases, written at 176 x 208, into a JVM beside stand-in MIDP canvases.
TEST_F(Catalogue, TheCanvasesRunInAJvmWithTheConfiguredSize) {
  const std::string classes = work_.MakeDir("classes");
  WriteInjectedClasses(store_, classes, {true, true, false}, {176, 208}, {}, true);
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

  ASSERT_EQ(test::RunCommand("javac -cp '" + classes + "' -d '" + classes + "' '" + midp +
                                 "/javax/microedition/lcdui/game/GameCanvas.java' '" + midp +
                                 "/FullGameCnProbe.java'",
                             out),
            0)
      << out;
  ASSERT_EQ(test::RunCommand("java -Xshare:off -cp '" + classes + "' FullGameCnProbe", out), 0)
      << out;
  EXPECT_EQ(out, "176 208 1 true true\n");
}

}  // namespace
}  // namespace korvel
