// Code page conversions: Cyrillic both ways and what happens to what a page cannot hold.
#include "platform/CodePage.h"

#include <gtest/gtest.h>

namespace korvel::platform {
namespace {

TEST(CodePage, CyrillicRoundTripsThroughBothPages) {
  const std::string russian = "Инициализация ёЁ №";
  const std::string cp1251 = "\xC8\xED\xE8\xF6\xE8\xE0\xEB\xE8\xE7\xE0\xF6\xE8\xFF \xB8\xA8 \xB9";
  EXPECT_EQ(FromUtf8(russian, CodePage::kWindows1251), cp1251);
  EXPECT_EQ(ToUtf8(cp1251, CodePage::kWindows1251), russian);
  const std::string cp866 = "\x88\xAD\xA8\xE6\xA8\xA0\xAB\xA8\xA7\xA0\xE6\xA8\xEF \xF1\xF0 \xFC";
  EXPECT_EQ(FromUtf8(russian, CodePage::kOem866), cp866);
  EXPECT_EQ(ToUtf8(cp866, CodePage::kOem866), russian);
  EXPECT_EQ(ToUtf8("plain/ascii.class", CodePage::kOem866), "plain/ascii.class");
}

TEST(CodePage, UnmappableAndMalformedTextIsMarked) {
  EXPECT_EQ(ToUtf8("\x98", CodePage::kWindows1251), "\xEF\xBF\xBD");  // undefined in 1251
  EXPECT_EQ(FromUtf8("a\xE2\x82\xACz", CodePage::kOem866), "a?z");    // no euro sign in 866
  EXPECT_EQ(FromUtf8("a\xFF\xC3", CodePage::kWindows1251), "a??");
}

}  // namespace
}  // namespace korvel::platform
