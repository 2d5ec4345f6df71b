#include "store/item_record.h"

#include <gtest/gtest.h>

#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

std::string Word(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}

TEST(ItemRecord, BytesAreLittleEndianWordsAndUtf16TextsWithTheirNul) {
  const ItemRecord record{u"", u"L\u4E2D", u"d", 2, kItemTypeDeleted, u"xy"};
  const std::string expected = Word(24 + 2 + 6 + 4 + 6) + Word(2) + std::string("\0\0", 2) +
                               Word(6) + std::string("L\0\x2D\x4E\0\0", 6) + Word(4) +
                               std::string("d\0\0\0", 4) + Word(2) + Word(0x80000000) + Word(6) +
                               std::string("x\0y\0\0\0", 6);
  EXPECT_EQ(EncodeItemRecord(record), expected);
}

TEST(ItemRecord, ReaderWalksWholeRecordsAndStopsAtATornOne) {
  testsupport::TempDir dir;
  const std::string path = dir.path() + "/Ch100.bin";
  const ItemRecord first{u"one", u"http://a/1", u"2009-01-27 12:44:03", 0, 0, u"<p>first</p>"};
  const ItemRecord second{u"two", u"http://a/2", u"", 3, 0, u""};
  const std::string whole = EncodeItemRecord(first) + EncodeItemRecord(second);
  // Torn in the middle of a text, and a size word far beyond the file's end.
  for (const std::string& tail :
       {EncodeItemRecord(first).substr(0, 17), Word(60) + Word(0x7FFFFFF0) + "ab"}) {
    testsupport::WriteFile(path, whole + tail);
    RecordReader reader(path);
    ItemRecord got;
    ASSERT_TRUE(reader.Next(got, RecordReader::kAllTexts));
    EXPECT_EQ(got.title, u"one");
    EXPECT_EQ(got.description, u"<p>first</p>");
    ASSERT_TRUE(reader.Next(got, RecordReader::kLink));
    EXPECT_EQ(got.link, u"http://a/2");
    EXPECT_EQ(got.title, u"");  // not asked for
    EXPECT_EQ(got.flag, 3u);
    EXPECT_FALSE(reader.Next(got, RecordReader::kAllTexts));
    EXPECT_EQ(reader.wholeEnd(), whole.size());
  }
}

TEST(ItemRecord, TextEndsAtItsFirstNul) {
  testsupport::TempDir dir;
  const std::string path = dir.path() + "/x.bin";
  const std::string bytes = EncodeItemRecord({std::u16string(u"ab\0cd", 5), u"k", u"", 0, 0, u""});
  testsupport::WriteFile(path, bytes);
  RecordReader reader(path);
  ItemRecord got;
  ASSERT_TRUE(reader.Next(got, RecordReader::kAllTexts));
  EXPECT_EQ(got.title, u"ab");
  EXPECT_EQ(got.link, u"k");
}

}  // namespace
}  // namespace wrenly
