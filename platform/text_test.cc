#include "platform/text.h"

#include <gtest/gtest.h>

namespace wrenly {
namespace {

TEST(Utf8, RoundTripsBmpAndSupplementaryCharacters) {
  const std::string utf8 = "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";  // A é 中 😀
  const std::u16string text = Utf8ToUtf16(utf8);
  EXPECT_EQ(text, (std::u16string{u'A', 0xE9, 0x4E2D, 0xD83D, 0xDE00}));
  EXPECT_EQ(Utf16ToUtf8(text), utf8);
}

TEST(Utf8, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xE9z"), (std::u16string{u'a', 0xFFFD, u'z'}));
  EXPECT_EQ(Utf8ToUtf16("\xE4\xB8"), (std::u16string{0xFFFD, 0xFFFD}));
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), (std::u16string{0xFFFD, 0xFFFD}));  // overlong
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), (std::u16string(3, 0xFFFD)));  // encoded surrogate
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");
}

TEST(Utf16, ByteOrders) {
  EXPECT_EQ(Utf16LEToUtf16(std::string("A\0-N", 4)), (std::u16string{u'A', 0x4E2D}));
  EXPECT_EQ(Utf16BEToUtf16(std::string("\0AN-", 4)), (std::u16string{u'A', 0x4E2D}));
  EXPECT_EQ(Utf16ToUtf16LE(u"A\u4E2D"), std::string("A\0-N", 4));
  EXPECT_EQ(Utf16LEToUtf16(std::string("A\0B", 3)), u"A");
}

TEST(CodePages, DecodeAndEncodeThroughIconv) {
  EXPECT_EQ(CodePageToUtf16(936, "\xD6\xD0"), u"\u4E2D");
  EXPECT_EQ(Utf16ToCodePage(936, u"\u4E2D"), "\xD6\xD0");
  EXPECT_EQ(CodePageToUtf16(1252, "caf\xE9 \x93q\x94"), u"caf\u00E9 \u201Cq\u201D");
  EXPECT_EQ(CodePageToUtf16(20866, "\xC1"), u"\u0430");  // KOI8-R
}

TEST(CodePages, UnrepresentableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(Utf16ToCodePage(28591, u"a\u4E2Db"), "a?b");
  EXPECT_EQ(Utf16ToCodePage(28591, u"a\U0001F600b"), "a?b");
}

TEST(CodePages, UnknownCharsetsAreReported) {
  EXPECT_FALSE(DecodeCharset("no-such-charset", "x").has_value());
  EXPECT_FALSE(EncodeCharset("no-such-charset", u"x").has_value());
  EXPECT_FALSE(IconvNameForCodePage(12345).has_value());
  EXPECT_EQ(*DecodeCharset("GB2312", "\xD6\xD0"), u"\u4E2D");
}

TEST(CodePages, SystemCodePageCanBeSetForTests) {
  SetSystemCodePageForTesting(1251);
  EXPECT_EQ(SystemCodePage(), 1251u);
  EXPECT_EQ(CodePageToUtf16(99999, "\xE0"), u"\u0430");  // unknown number: system code page
  SetSystemCodePageForTesting(0);
  EXPECT_NE(SystemCodePage(), 0u);
}

TEST(Trim, TakesTheGivenCharactersFromBothEndsOnly) {
  EXPECT_EQ(Trim(" \t a b \t"), "a b");
  EXPECT_EQ(Trim("a\r\n"), "a\r\n");
  EXPECT_EQ(Trim(" a\r\n", kSpaceChars), "a");
  EXPECT_EQ(Trim(" \t "), "");
  EXPECT_EQ(Trim(u"\t x y "), u"x y");
  EXPECT_EQ(Trim(u"\n", kSpaceChars16), u"");
}

TEST(ParseDecimal, DigitsOnlyAndNeverOverflows) {
  EXPECT_EQ(ParseDecimal(u"0"), 0);
  EXPECT_EQ(ParseDecimal(u"123"), 123);
  EXPECT_EQ(ParseDecimal(u"999999999"), 999999999);
  for (const char16_t* bad : {u"", u"-5", u"+5", u" 5", u"5x", u"1e3", u"9999999999", u"٣"})
    EXPECT_EQ(ParseDecimal(bad), 0) << Utf16ToUtf8(bad);
}

}  // namespace
}  // namespace wrenly
