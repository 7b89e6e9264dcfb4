// Redirecting canvas classes and spotting the Nokia API in class files.
#include "pipeline/ClassPatcher.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "pipeline/ClassFile.h"
#include "platform/FileError.h"
#include "support/TempDir.h"

namespace korvel {
namespace {

using test::ReadFile;
using test::TempDir;

std::string U2(unsigned v) {
  return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
}
std::string Utf8(std::string_view text) {
  return '\x01' + U2(static_cast<unsigned>(text.size())) + std::string(text);
}

// A class `self` extending `base`, with a constructor call and a repaint call through `base`,
// a long constant (two pool slots) and one method whose Code attribute is opaque bytes.
std::string ClassBytes(std::string_view self, std::string_view base) {
  std::string pool = Utf8(self) + "\x07" + U2(1) + Utf8(base) + "\x07" + U2(3) + Utf8("<init>") +
                     Utf8("()V") + "\x0C" + U2(5) + U2(6) + "\x0A" + U2(4) + U2(7) +
                     Utf8("repaint") + "\x0C" + U2(9) + U2(6) + "\x0A" + U2(4) + U2(10) + "\x05" +
                     std::string(8, '\x07') + Utf8("Code");
  return "\xCA\xFE\xBA\xBE" + U2(0) + U2(46) + U2(15) + pool + U2(0x21) + U2(2) + U2(4) + U2(0) +
         U2(0) + U2(1) + U2(1) + U2(5) + U2(6) + U2(1) + U2(14) + U2(0) + U2(3) + "abc" + U2(0);
}

// Where things sit in such a class.
struct Layout {
  std::size_t pool_end, init_ref_class, third_entry;
};
Layout LayoutOf(const std::string& bytes) {
  const ClassOutline outline(bytes);
  return {outline.PoolEnd(), outline.Pool()[8].offset + 1, outline.Pool()[3].offset};
}

std::string ClassOf(std::uint16_t class_index, const std::string& bytes) {
  const ClassOutline outline(bytes);
  return std::string(outline.ClassName(class_index));
}
// The class a Methodref entry names.
std::string OwnerOf(std::uint16_t methodref, const std::string& bytes) {
  const ClassOutline outline(bytes);
  return ClassOf(outline.IndexIn(outline.Entry(methodref, ConstantTag::kMethodref), 1), bytes);
}

TEST(CanvasRedirect, ACanvasSubclassNowExtendsTheInjectedClass) {
  const struct {
    std::string_view base, target;
    CanvasKind kind, again;
  } cases[] = {
      {kCanvasClassName, kFullCanvasClassName, CanvasKind::kCanvas, CanvasKind::kFullCanvas},
      {kGameCanvasClassName, kFullGameCanvasClassName, CanvasKind::kGameCanvas,
       CanvasKind::kFullGameCanvas},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.base);
    const std::string before = ClassBytes("game/Screen", c.base);
    const Layout at = LayoutOf(before);
    std::string bytes = before;
    ASSERT_EQ(RedirectCanvasClass(bytes), c.kind);

    const ClassOutline outline(bytes);
    EXPECT_EQ(outline.Pool().size(), 17u);
    EXPECT_EQ(outline.ClassName(outline.SuperClass()), c.target);
    EXPECT_EQ(outline.ClassName(outline.ThisClass()), "game/Screen");
    EXPECT_EQ(OwnerOf(8, bytes), c.target);  // the constructor call
    EXPECT_EQ(OwnerOf(11, bytes), c.base);   // every other use stays
    // Only the count, the appended names and the super class index differ.
    const std::string added = Utf8(c.target) + "\x07" + U2(15);
    std::string expected = before;
    expected.replace(8, 2, U2(17));
    expected.replace(at.init_ref_class, 2, U2(16));
    expected.insert(at.pool_end, added);
    expected.replace(at.pool_end + added.size() + 4, 2, U2(16));
    EXPECT_EQ(bytes, expected);

    const std::string redirected = bytes;
    EXPECT_EQ(RedirectCanvasClass(bytes), c.again);
    EXPECT_EQ(bytes, redirected);
  }
}

TEST(CanvasRedirect, OtherClassesAreLeftAsTheyAre) {
  for (const auto& [self, base] : {
           std::pair{std::string_view("game/Midlet"), std::string_view("java/lang/Object")},
           std::pair{std::string_view("game/Screen"),
                     std::string_view("com/nokia/mid/ui/FullCanvas")},
           std::pair{kFullCanvasClassName, kCanvasClassName},
           std::pair{kFullGameCanvasClassName, kGameCanvasClassName},
           std::pair{std::string_view("game/Screen"),
                     std::string_view("Javax/Microedition/Lcdui/Canvas")},
       }) {
    const std::string before = ClassBytes(self, base);
    std::string bytes = before;
    EXPECT_EQ(RedirectCanvasClass(bytes), CanvasKind::kOther) << self << " " << base;
    EXPECT_EQ(bytes, before);
  }
}

TEST(CanvasRedirect, MalformedClassesAreRefusedUntouched) {
  const std::string good = ClassBytes("game/Screen", kCanvasClassName);
  const Layout at = LayoutOf(good);
  std::vector<std::string> bad;
  for (std::size_t size = 0; size < good.size(); ++size) bad.push_back(good.substr(0, size));
  bad.push_back(good + "x");  // bytes after the last attribute
  auto with = [&](std::size_t at, std::string_view replacement) {
    std::string b = good;
    b.replace(at, replacement.size(), replacement);
    return b;
  };
  bad.push_back(with(0, "\xCA\xFE\xBA\xBF"));                 // magic
  bad.push_back(with(8, U2(0)));                              // pool count
  bad.push_back(with(at.third_entry, "\x02"));                // unknown tag
  bad.push_back(with(8, U2(13)));                             // the long's second slot missing
  bad.push_back(with(at.pool_end + 4, U2(15)));               // super class out of range
  bad.push_back(with(at.pool_end + 4, U2(3)));                // super class a Utf8 entry
  bad.push_back(with(at.pool_end + 4, U2(13)));               // the long's second slot
  bad.push_back(with(at.init_ref_class, U2(99)));             // a Methodref's class
  bad.push_back(with(at.pool_end + 22, "\xFF\xFF\xFF\xFF"));  // an attribute's length
  std::string full = good;  // a pool with no room for the two new entries
  full.replace(8, 2, U2(0xFFFE));
  std::string padding;
  for (int i = 15; i < 0xFFFE; ++i) padding += Utf8("");
  full.insert(at.pool_end, padding);
  bad.push_back(full);

  for (const std::string& before : bad) {
    std::string bytes = before;
    EXPECT_THROW(RedirectCanvasClass(bytes), ClassFormatError) << bytes.size();
    EXPECT_EQ(bytes, before);
  }
}

class RedirectFile : public testing::Test {
 protected:
  TempDir dir_;
};

TEST_F(RedirectFile, WritesOnlyARedirectedClass) {
  const std::string canvas = dir_.Write("a.class", ClassBytes("a", kCanvasClassName));
  const std::string other = dir_.Write("b.class", ClassBytes("b", "java/lang/Object"));
  const struct timespec old_times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, other.c_str(), old_times, 0), 0);

  EXPECT_EQ(RedirectCanvasFile(canvas), CanvasKind::kCanvas);
  std::string expected = ClassBytes("a", kCanvasClassName);
  RedirectCanvasClass(expected);
  EXPECT_EQ(ReadFile(canvas), expected);

  EXPECT_EQ(RedirectCanvasFile(other), CanvasKind::kOther);
  struct stat st {};
  ASSERT_EQ(::stat(other.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
}

TEST_F(RedirectFile, UnreadableAndUnopenableFiles) {
  const std::string broken = dir_.Write("broken.class", "game bytes");
  EXPECT_THROW(RedirectCanvasFile(broken), ClassFormatError);
  EXPECT_EQ(ReadFile(broken), "game bytes");

  const std::string file = dir_.Write("ro.class", ClassBytes("ro", kCanvasClassName));
  ::chmod(file.c_str(), 0444);
  for (bool detect : {false, true}) {
    try {
      detect ? FileContainsText(file, kNokiaPackagePrefix) : (RedirectCanvasFile(file), false);
      ADD_FAILURE() << "no error raised";
    } catch (const FileError& e) {
      EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(ReadFile(file), ClassBytes("ro", kCanvasClassName));
  EXPECT_THROW(RedirectCanvasFile(dir_ / "vanished.class"), FileError);
}

TEST(NokiaDetection, FindsThePackageWithoutChangingTheFile) {
  TempDir dir;
  const std::string nokia(kNokiaPackagePrefix);
  const std::string content = ClassBytes("game/Tune", "com/nokia/mid/sound/Sound");
  const std::string file = dir.Write("s.class", content);
  EXPECT_TRUE(FileContainsText(file, nokia));
  EXPECT_EQ(ReadFile(file), content);
  EXPECT_FALSE(FileContainsText(dir.Write("c.class", ClassBytes("a", "Com/Nokia/Mid/x")), nokia));
  // The window ending at the last byte is not examined.
  EXPECT_FALSE(FileContainsText(dir.Write("n1", nokia), nokia));
  EXPECT_TRUE(FileContainsText(dir.Write("n2", nokia + "u"), nokia));
  EXPECT_FALSE(FileContainsText(dir.Write("n3", "u" + nokia), nokia));
  EXPECT_FALSE(FileContainsText(dir.Write("empty", ""), nokia));
}

}  // namespace
}  // namespace korvel
