// Tests of file mask matching and of the errors for invalid masks.
#include "search/Mask.h"

#include <gtest/gtest.h>

#include <string>

namespace korvel {
namespace {

bool Match(const std::string& mask, const std::string& name) {
  return FileMask(mask).Matches(name);
}

// The error text for `mask`, or "" when it compiles.
std::string ErrorOf(const std::string& mask) {
  try {
    FileMask m(mask);
  } catch (const MaskError& e) {
    return e.what();
  }
  return "";
}

TEST(FileMaskTest, StarsAndQuestionMarksMatchTheWholeName) {
  EXPECT_TRUE(Match("*", ""));
  EXPECT_TRUE(Match("*", "anything.at.all"));
  EXPECT_TRUE(Match("*.class", "Game.class"));
  EXPECT_FALSE(Match("*.class", "Game.class.bak"));  // whole name, not a prefix
  EXPECT_FALSE(Match("a.class", "xa.class"));        // nor a suffix
  EXPECT_TRUE(Match("a*b*c", "aXbYbZc"));
  EXPECT_FALSE(Match("a*b*c", "aXbYbZ"));
  EXPECT_TRUE(Match("*ab*cd", "xabyabzcd"));  // needs the later "ab" tried after the first
  EXPECT_TRUE(Match("***x", "abx"));
  EXPECT_TRUE(Match("a?c", "abc"));
  EXPECT_FALSE(Match("a?c", "ac"));
  EXPECT_FALSE(Match("a?c", "abbc"));
  EXPECT_FALSE(Match("?*", ""));
  EXPECT_TRUE(Match("?*", "x"));
}

TEST(FileMaskTest, QuestionMarkRightAfterStarIsIgnored) {
  EXPECT_TRUE(Match("*?", ""));
  EXPECT_TRUE(Match("a*?", "a"));
  EXPECT_TRUE(Match("a*??", "a"));
  EXPECT_TRUE(Match("*?.txt", ".txt"));
  // Only directly after "*": here the "?" stands for a character again.
  EXPECT_FALSE(Match("*x?", "ax"));
  EXPECT_TRUE(Match("*x?", "axb"));
}

TEST(FileMaskTest, StarDotStarNeedsADot) {
  EXPECT_TRUE(Match("*.*", "a.b"));
  EXPECT_TRUE(Match("*.*", "."));
  EXPECT_TRUE(Match("*.*", ".hidden"));
  EXPECT_FALSE(Match("*.*", "README"));
  EXPECT_FALSE(Match("*.*", ""));
}

TEST(FileMaskTest, AsciiLettersIgnoreCaseOtherBytesDoNot) {
  EXPECT_TRUE(Match("*.CLASS", "game.class"));
  EXPECT_TRUE(Match("meta-inf", "META-INF"));
  EXPECT_TRUE(Match("[a-c]x", "Bx"));
  EXPECT_TRUE(Match("[A-C]x", "bX"));
  EXPECT_TRUE(Match("[!a]", "c"));
  EXPECT_FALSE(Match("[!a]", "A"));
  // Latin-1 / cp1251 letters and UTF-8 bytes compare exactly.
  EXPECT_FALSE(Match("\xe4", "\xc4"));
  EXPECT_FALSE(Match("\xd0\xb0", "\xd0\x90"));
  EXPECT_TRUE(Match("\xd0\xb0*", "\xd0\xb0\xd0\xb1"));
}

TEST(FileMaskTest, SetsRangesAndNegation) {
  EXPECT_TRUE(Match("[abc].txt", "b.txt"));
  EXPECT_FALSE(Match("[abc].txt", "d.txt"));
  EXPECT_TRUE(Match("file[0-9]", "file7"));
  EXPECT_FALSE(Match("file[0-9]", "filex"));
  EXPECT_TRUE(Match("[0-9a-f_]*", "_x"));
  EXPECT_TRUE(Match("[!0-9]*", "a1"));
  EXPECT_FALSE(Match("[!0-9]*", "1a"));
  EXPECT_FALSE(Match("x[!0-9]", "x"));  // a set always takes one character, negated or not
  EXPECT_TRUE(Match("[*?!]", "*"));     // no wildcards inside a set; "!" only negates first
  EXPECT_TRUE(Match("[*?!]", "!"));
  EXPECT_FALSE(Match("[*?!]", "a"));
  EXPECT_TRUE(Match("[[]", "["));
  // A reversed range adds nothing, but its start was already added as a single character.
  EXPECT_TRUE(Match("[z-a]", "z"));
  EXPECT_FALSE(Match("[z-a]", "m"));
  EXPECT_FALSE(Match("[z-a]", "a"));
  // Bytes above 127 order after ASCII, not before it.
  EXPECT_TRUE(Match("[\x80-\xff]", "\xe4"));
  EXPECT_FALSE(Match("[\x80-\xff]", "a"));
  EXPECT_TRUE(Match("*[xy]", "abcy"));
  EXPECT_TRUE(Match("*[!.]", "a.b"));
}

TEST(FileMaskTest, InvalidMasksReportWhereReadingStopped) {
  EXPECT_EQ(ErrorOf("[abc"), "'[abc' is an invalid mask at (5)");
  EXPECT_EQ(ErrorOf("abc["), "'abc[' is an invalid mask at (5)");
  EXPECT_EQ(ErrorOf("[]"), "'[]' is an invalid mask at (2)");
  EXPECT_EQ(ErrorOf("x[!]"), "'x[!]' is an invalid mask at (4)");
  EXPECT_EQ(ErrorOf("[-a]"), "'[-a]' is an invalid mask at (2)");
  EXPECT_EQ(ErrorOf("[!-a]"), "'[!-a]' is an invalid mask at (3)");
  // "-" takes the next character as the range end, even "]": the set then never closes.
  EXPECT_EQ(ErrorOf("[a-]"), "'[a-]' is an invalid mask at (5)");
  EXPECT_EQ(ErrorOf("[a-"), "'[a-' is an invalid mask at (4)");
  EXPECT_EQ(ErrorOf("[a-]]"), "");
  EXPECT_EQ(ErrorOf("*.*"), "");
  EXPECT_THROW(FileMask("[x"), std::runtime_error);
}

TEST(FileMaskTest, AtMostThirtyPartsMayFollowAStar) {
  std::string thirty;
  for (int i = 0; i < 30; ++i) thirty += "*a";
  EXPECT_EQ(ErrorOf(thirty), "");
  EXPECT_TRUE(Match(thirty, std::string(30, 'a')));
  EXPECT_FALSE(Match(thirty, std::string(29, 'a')));

  // The end of the name counts as a part: a trailing "*" makes the 31st.
  EXPECT_EQ(ErrorOf(thirty + "*"), "'" + thirty + "*' is an invalid mask at (62)");
  // The 31st starred part is the "a" at position 62.
  EXPECT_EQ(ErrorOf(thirty + "*a"), "'" + thirty + "*a' is an invalid mask at (62)");
  EXPECT_EQ(ErrorOf(thirty + "*[ab]"), "'" + thirty + "*[ab]' is an invalid mask at (65)");
  // "*?" writes no part for the "?", and parts without a star do not count.
  EXPECT_EQ(ErrorOf(thirty + "*?"), "'" + thirty + "*?' is an invalid mask at (63)");
  EXPECT_EQ(ErrorOf(thirty + "bcd"), "");
}

TEST(MaskListTest, CompilesEachMaskOnlyWhenANameReachesIt) {
  MaskList list({"*.txt", "[bad"});
  EXPECT_TRUE(list.AnyMatches("a.TXT"));  // stops at the first match
  EXPECT_THROW(list.AnyMatches("a.bin"), MaskError);
  EXPECT_THROW(list.AnyMatches("a.bin"), MaskError);  // and again: nothing half-compiled stays
  EXPECT_TRUE(list.Contains("[bad"));
  EXPECT_FALSE(list.Contains("*.TXT"));

  MaskList empty;
  EXPECT_FALSE(empty.AnyMatches("a.txt"));
}

}  // namespace
}  // namespace korvel
