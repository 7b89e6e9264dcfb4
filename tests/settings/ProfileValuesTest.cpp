// Integer reading as Delphi's StrToIntDef does it, and cutting values to 2047 characters.
#include "settings/ProfileValues.h"

#include <gtest/gtest.h>

#include <climits>

namespace korvel {
namespace {

TEST(StrToIntDef, DecimalWithSpacesAndSign) {
  EXPECT_EQ(StrToIntDef("300", 7), 300);
  EXPECT_EQ(StrToIntDef("0", 7), 0);
  EXPECT_EQ(StrToIntDef("00012", 7), 12);
  EXPECT_EQ(StrToIntDef("-5", 7), -5);
  EXPECT_EQ(StrToIntDef("+5", 7), 5);
  EXPECT_EQ(StrToIntDef("  12", 7), 12);
  EXPECT_EQ(StrToIntDef("2147483647", 7), INT32_MAX);
  EXPECT_EQ(StrToIntDef("-2147483648", 7), INT32_MIN);
}

TEST(StrToIntDef, HexadecimalBehindDollarOrZeroX) {
  EXPECT_EQ(StrToIntDef("$FF", 7), 255);
  EXPECT_EQ(StrToIntDef("$ff", 7), 255);
  EXPECT_EQ(StrToIntDef("0x74", 7), 116);
  EXPECT_EQ(StrToIntDef("0X1f", 7), 31);
  EXPECT_EQ(StrToIntDef("-$10", 7), -16);
  EXPECT_EQ(StrToIntDef("$FFFFFFFF", 7), -1);
  EXPECT_EQ(StrToIntDef("$80000000", 7), INT32_MIN);
  EXPECT_EQ(StrToIntDef("$000000010", 7), 16);
}

TEST(StrToIntDef, AnythingElseGivesTheDefault) {
  for (const char* text :
       {"", " ", "yes", "12 ", "12a", "1e3", "1.5", "-", "+", "$", "0x", "$G", "0x 1", "--1",
        "2147483648", "-2147483649", "99999999999", "$100000000", "x10"}) {
    EXPECT_EQ(StrToIntDef(text, 7), 7) << '"' << text << '"';
  }
}

TEST(CutToCharacters, CutsWholeCharacters) {
  EXPECT_EQ(CutToCharacters(std::string(3000, 'a')), std::string(2047, 'a'));
  EXPECT_EQ(CutToCharacters(std::string(2047, 'a')), std::string(2047, 'a'));
  EXPECT_EQ(CutToCharacters("", 3), "");
  EXPECT_EQ(CutToCharacters("\xD0\x96\xD0\x96\xD0\x96", 2), "\xD0\x96\xD0\x96");
  EXPECT_EQ(CutToCharacters("a\xE2\x82\xAC"
                            "b",
                            2),
            "a\xE2\x82\xAC");
}

}  // namespace
}  // namespace korvel
