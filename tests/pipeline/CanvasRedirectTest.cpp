// Redirecting canvas classes and spotting the Nokia API in class bytes.
#include "pipeline/GameClasses.h"

#include <gtest/gtest.h>

#include "pipeline/ClassFile.h"
#include "tests/pipeline/TestClasses.h"

namespace korvel {
namespace {

using test::ClassBytes;
using test::U2;
const auto Utf8 = test::Utf8Constant;

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

// The package test looks at every window but the one that ends at the last byte.
TEST(NokiaDetection, FindsThePackageInAnyWindowButTheLast) {
  const std::string nokia(kNokiaPackagePrefix);
  const struct {
    std::string bytes;
    bool found;
  } cases[] = {
      {ClassBytes("game/Tune", "com/nokia/mid/sound/Sound"), true},
      {ClassBytes("a", "Com/Nokia/Mid/x"), false},
      {nokia, false},
      {nokia + "u", true},
      {"u" + nokia, false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(RefersToPackage(c.bytes, nokia), c.found) << c.bytes;
}

}  // namespace
}  // namespace korvel
