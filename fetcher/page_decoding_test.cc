#include "fetcher/page_decoding.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace wrenly {
namespace {

using namespace std::literals;

class PageDecoding : public ::testing::Test {
 protected:
  void SetUp() override { SetSystemCodePageForTesting(1252); }
  void TearDown() override { SetSystemCodePageForTesting(0); }
};

TEST_F(PageDecoding, EncodingNamesNumbersAndFallbacks) {
  EXPECT_EQ(CodePageForEncoding(u"UTF-8"), 65001u);
  EXPECT_EQ(CodePageForEncoding(u"Utf-8"), 65001u);
  EXPECT_EQ(CodePageForEncoding(u"GB2312"), 936u);
  EXPECT_EQ(CodePageForEncoding(u"iso-8859-1"), 1252u);
  EXPECT_EQ(CodePageForEncoding(u"iso-8859-9"), 1254u);
  EXPECT_EQ(CodePageForEncoding(u"iso-8859-8-i"), 38598u);
  EXPECT_EQ(CodePageForEncoding(u"936"), 936u);
  EXPECT_EQ(CodePageForEncoding(u"1251abc"), 1251u);
  EXPECT_EQ(CodePageForEncoding(u""), 1252u);
  EXPECT_EQ(CodePageForEncoding(u"no-such-charset"), 1252u);
  EXPECT_EQ(CodePageForEncoding(u"0"), 1252u);
  EXPECT_EQ(CodePageForEncoding(u"-936"), 1252u);
  EXPECT_EQ(CodePageForEncoding(u"99999999999"), 1252u);
}

TEST_F(PageDecoding, ByteOrderMarksOverrideTheCodePage) {
  EXPECT_EQ(DecodeWithByteOrderMark("\xFF\xFE" "a\0\xE9\0"sv, 936), u"a\u00e9");
  EXPECT_EQ(DecodeWithByteOrderMark("\xFE\xFF" "\0a\x4e\x2d"sv, 936), u"a\u4e2d");
  EXPECT_EQ(DecodeWithByteOrderMark("\xFF\xFE" "a\0b"sv, 936), u"a");  // odd byte dropped
  EXPECT_EQ(DecodeWithByteOrderMark("\xEF\xBB\xBF" "\xC3\xA9", 936), u"\u00e9");
  EXPECT_EQ(DecodeWithByteOrderMark("\xEF\xBB\xBF", 936), u"");
  EXPECT_EQ(DecodeWithByteOrderMark("", 936), u"");
}

TEST_F(PageDecoding, BytesWithoutMarkUseTheCodePage) {
  EXPECT_EQ(DecodeWithByteOrderMark("\xD6\xD0", 936), u"\u4e2d");
  EXPECT_EQ(DecodeWithByteOrderMark("\xE9", 1252), u"\u00e9");
  EXPECT_EQ(DecodeWithByteOrderMark("\xC3\xA9", 65001), u"\u00e9");
  // Code pages of the charset table that are not in the platform's list.
  EXPECT_EQ(DecodeWithByteOrderMark("\xA5", CodePageForEncoding(u"ibm852")), u"\u0105");
  EXPECT_EQ(DecodeWithByteOrderMark("\xE0", CodePageForEncoding(u"iso-8859-8-i")), u"\u05D0");
}

}  // namespace
}  // namespace wrenly
