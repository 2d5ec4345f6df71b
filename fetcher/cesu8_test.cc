#include "fetcher/cesu8.h"

#include <gtest/gtest.h>

namespace wrenly {
namespace {

TEST(Cesu8, EveryUtf16UnitRoundTripsOnItsOwn) {
  const std::u16string text = u"a\u00e9\u4e2d\U0001F600" + std::u16string(1, u'\0') +
                              std::u16string(1, char16_t(0xD800)) + u"z" +
                              std::u16string(1, char16_t(0xDFFF));
  const std::string bytes = Utf16ToCesu8(text);
  // The astral character is two 3-byte surrogates, not one 4-byte sequence.
  EXPECT_EQ(bytes.substr(6, 6), "\xED\xA0\xBD\xED\xB8\x80");
  EXPECT_EQ(bytes.size(), 1u + 2 + 3 + 6 + 1 + 3 + 1 + 3);
  EXPECT_EQ(Cesu8ToUtf16(bytes), text);
}

TEST(Cesu8, ReadsUtf8AndReplacesMalformedBytes) {
  EXPECT_EQ(Cesu8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(Cesu8ToUtf16("a\xFFz"), u"a\uFFFDz");
  EXPECT_EQ(Cesu8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");  // overlong "/"
  EXPECT_EQ(Cesu8ToUtf16("\xE4\xB8"), u"\uFFFD\uFFFD");   // cut short
}

}  // namespace
}  // namespace wrenly
