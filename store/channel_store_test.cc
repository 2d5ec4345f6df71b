#include "store/channel_store.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <thread>
#include <vector>

#include "store/channel_files.h"
#include "store/settings.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

class ChannelStoreTest : public ::testing::Test {
 protected:
  std::u16string Link(int i) { return u"http://example.com/" + std::u16string(1, u'a' + i % 26) +
                                      Number(i); }
  static std::u16string Number(int i) {
    const std::string s = std::to_string(i);
    return std::u16string(s.begin(), s.end());
  }
  // Canonical dates one day apart, so date order is item order.
  static std::u16string Day(int i) {
    char text[32];
    std::snprintf(text, sizeof text, "2009-%02d-%02d 10:00:00", 1 + i / 28, 1 + i % 28);
    return std::u16string(text, text + 19);
  }
  void Append(CChannelStore& store, int i, uint32_t flag = 0) {
    ASSERT_TRUE(store.AppendRecord(u"title " + Number(i), Link(i), Day(i), flag, 0, u"text"));
  }
  std::vector<uint32_t> Flags() {
    std::vector<uint32_t> flags;
    CChannelStore store(path_, false);
    while (store.ReadNext()) flags.push_back(store.current().flag);
    return flags;
  }

  testsupport::IsolatedHome home_;
  testsupport::TempDir dir_;
  testsupport::ScopedEnv tz_{"TZ", "UTC0"};
  std::string path_ = dir_.path() + "/Ch100.bin";
};

TEST_F(ChannelStoreTest, RecordNumbersCountLiveRecordsOnly) {
  CChannelStore store(path_, false);
  EXPECT_FALSE(store.ReadRecord(0));  // no file yet
  for (int i = 0; i < 3; ++i) Append(store, i);
  ASSERT_TRUE(store.UpdateField(Link(1), ItemField::kType, kItemTypeDeleted));
  ASSERT_TRUE(store.ReadRecord(1));
  EXPECT_EQ(store.current().link, Link(2));
  EXPECT_FALSE(store.ReadRecord(2));
  EXPECT_EQ(store.recordNumber(), -1);
  EXPECT_EQ(store.current().link, u"");

  store.ResetCursor();
  ASSERT_TRUE(store.ReadNext());
  EXPECT_EQ(store.current().link, Link(0));
  ASSERT_TRUE(store.ReadNext());
  EXPECT_EQ(store.current().title, u"title 2");
  EXPECT_EQ(store.current().date, Day(2));
  EXPECT_EQ(store.current().description, u"text");
  // At the end the current record stays.
  EXPECT_FALSE(store.ReadNext());
  EXPECT_EQ(store.recordNumber(), 1);
  EXPECT_EQ(store.current().link, Link(2));
}

TEST_F(ChannelStoreTest, AppendWritesTheCanonicalDateOrTheTextCut) {
  CChannelStore store(path_, false);
  ASSERT_TRUE(store.AppendRecord(u"", u"l1", u"Tue, 27 Jan 2009 04:44:03 +0100", 0, 0, u""));
  ASSERT_TRUE(store.AppendRecord(u"t", u"l2", u"sometime soon", 0, 0, u""));
  ASSERT_TRUE(store.AppendRecord(u"t", u"l3", std::u16string(200, u'x'), 0, 0, u""));
  // An empty title is one NUL: size1 is 2.
  EXPECT_EQ(ReadFile(path_).substr(4, 6), std::string("\x02\0\0\0\0\0", 6));
  ASSERT_TRUE(store.ReadRecord(0));
  EXPECT_EQ(store.current().date, u"2009-01-27 03:44:03");
  ASSERT_TRUE(store.ReadRecord(1));
  EXPECT_EQ(store.current().date, u"sometime soon");
  ASSERT_TRUE(store.ReadRecord(2));
  EXPECT_EQ(store.current().date, std::u16string(127, u'x'));
}

TEST_F(ChannelStoreTest, FindRecordByLinkOrTitleAndContainsLink) {
  CChannelStore store(path_, false);
  for (int i = 0; i < 4; ++i) Append(store, i);
  ASSERT_TRUE(store.FindRecord(Link(2), u""));
  EXPECT_EQ(store.recordNumber(), 2);
  ASSERT_TRUE(store.FindRecord(u"nothing", u"title 1"));
  EXPECT_EQ(store.current().link, Link(1));
  // Not found: the previous current record stays.
  EXPECT_FALSE(store.FindRecord(u"nothing", u""));
  EXPECT_EQ(store.current().link, Link(1));
  EXPECT_TRUE(store.ContainsLink(Link(3)));
  EXPECT_FALSE(store.ContainsLink(u"nothing"));
  Append(store, 9);
  EXPECT_TRUE(store.ContainsLink(Link(9)));
  store.DeleteItem(Link(3));
  EXPECT_FALSE(store.ContainsLink(Link(3)));
  EXPECT_FALSE(store.FindRecord(Link(3), u""));
}

TEST_F(ChannelStoreTest, ReadFlagMovesOnlyBetweenTheListedPairs) {
  {
    CChannelStore store(path_, false);
    for (uint32_t flag = 0; flag < 4; ++flag) Append(store, static_cast<int>(flag), flag);
  }
  CChannelStore store(path_, false);
  EXPECT_TRUE(store.UpdateField(u"", ItemField::kReadFlag, 2));
  EXPECT_EQ(Flags(), (std::vector<uint32_t>{2, 1, 2, 3}));
  EXPECT_FALSE(store.UpdateField(u"", ItemField::kReadFlag, 2));  // nothing left to change
  EXPECT_TRUE(store.UpdateField(u"", ItemField::kReadFlag, 3));
  EXPECT_EQ(Flags(), (std::vector<uint32_t>{2, 3, 2, 3}));
  // Marking unread as the channel list does (0 then 1) keeps the full-text bit.
  EXPECT_TRUE(store.UpdateField(u"", ItemField::kReadFlag, 0));
  EXPECT_TRUE(store.UpdateField(u"", ItemField::kReadFlag, 1));
  EXPECT_EQ(Flags(), (std::vector<uint32_t>{0, 1, 0, 1}));
  // 9999: only an untouched item gains the full-text bit; a read one is left.
  EXPECT_TRUE(store.UpdateField(Link(0), ItemField::kReadFlag, kReadFlagFullTextArrived));
  EXPECT_FALSE(store.UpdateField(Link(1), ItemField::kReadFlag, kReadFlagFullTextArrived));
  EXPECT_TRUE(store.UpdateField(Link(2), ItemField::kReadFlag, 2));
  EXPECT_FALSE(store.UpdateField(Link(2), ItemField::kReadFlag, kReadFlagFullTextArrived));
  EXPECT_EQ(Flags(), (std::vector<uint32_t>{1, 1, 2, 1}));
}

TEST_F(ChannelStoreTest, UpdateWithALinkChangesOnlyThatRecordAndKeepsTheCursor) {
  CChannelStore store(path_, false);
  for (int i = 0; i < 3; ++i) Append(store, i);
  ASSERT_TRUE(store.ReadRecord(2));
  EXPECT_TRUE(store.UpdateField(Link(1), ItemField::kReadFlag, 2));
  EXPECT_EQ(store.current().link, Link(2));
  EXPECT_EQ(Flags(), (std::vector<uint32_t>{0, 2, 0}));
  EXPECT_FALSE(store.UpdateField(u"unknown", ItemField::kReadFlag, 2));
  EXPECT_FALSE(store.UpdateField(Link(0), ItemField::kType, 0));  // already 0
}

TEST(DateIndex, SortsEveryItemByDateText) {
  DateIndex index;
  index.Insert(u"2009-01-02", u"b");
  index.Insert(u"2009-01-01", u"a");
  index.Insert(u"2009-01-02", u"c");  // equal dates keep their order
  index.Insert(u"", u"empty date");
  index.Insert(std::u16string(31, u'2'), u"long date");
  index.Insert(u"2010", std::u16string(260, u'l'));
  ASSERT_EQ(index.size(), 6u);
  EXPECT_EQ(index[0].link, u"empty date");
  EXPECT_EQ(index[1].link, u"a");
  EXPECT_EQ(index[2].link, u"b");
  EXPECT_EQ(index[3].link, u"c");
  EXPECT_EQ(index[4].link, std::u16string(260, u'l'));
  EXPECT_EQ(index[5].link, u"long date");
  EXPECT_EQ(index.Beyond(4), (std::vector<std::u16string>{u"empty date", u"a"}));
  EXPECT_TRUE(index.Beyond(6).empty());
}

TEST_F(ChannelStoreTest, TrimDeletesTheOldestByDateBeyondTheLimit) {
  ASSERT_TRUE(SetSettingInt(setting::kArticlesNumber, 50));
  {
    CChannelStore store(path_, false);
    // File order differs from date order: newest first.
    for (int i = 59; i >= 0; --i) Append(store, i);
    ASSERT_TRUE(WriteErrorRecord(path_, u"timeout"));
  }
  CChannelStore store(path_, true);
  EXPECT_EQ(store.dateIndex().size(), 60u);  // without the error record
  EXPECT_TRUE(store.TrimItems());
  CChannelStore after(path_, false);
  for (int i = 0; i < 60; ++i) EXPECT_EQ(after.ContainsLink(Link(i)), i >= 10) << i;
  EXPECT_TRUE(after.ContainsLink(kErrorMarkerLink));
  EXPECT_EQ(CountItems(path_).total, 50);
  CChannelStore again(path_, true);
  EXPECT_FALSE(again.TrimItems());
}

TEST_F(ChannelStoreTest, ItemsOlderThanTheHundredIndexedOnesAreTrimmedToo) {
  ASSERT_TRUE(SetSettingInt(setting::kArticlesNumber, 250));  // counts as 100
  {
    CChannelStore store(path_, false);
    EXPECT_EQ(store.articleLimit(), 100);
    // File order is not date order: the 20 oldest come last.
    for (int i = 20; i < 120; ++i) Append(store, i);
    for (int i = 0; i < 20; ++i) Append(store, i);
  }
  {
    // At the highest limit 120 items are cut to the 100 newest.
    CChannelStore store(path_, true);
    ASSERT_EQ(store.dateIndex().size(), 120u);
    EXPECT_EQ(store.dateIndex()[0].link, Link(0));
    EXPECT_TRUE(store.TrimItems());
    CChannelStore after(path_, false);
    for (int i = 0; i < 120; ++i) EXPECT_EQ(after.ContainsLink(Link(i)), i >= 20) << i;
    CChannelStore again(path_, true);
    EXPECT_FALSE(again.TrimItems());
  }
  ASSERT_TRUE(SetSettingInt(setting::kArticlesNumber, 30));
  CChannelStore store(path_, true);
  EXPECT_TRUE(store.TrimItems());
  CChannelStore after(path_, false);
  for (int i = 0; i < 120; ++i) EXPECT_EQ(after.ContainsLink(Link(i)), i >= 90) << i;
}

TEST_F(ChannelStoreTest, LimitOfZeroOrLessTrimsEveryIndexedItem) {
  ASSERT_TRUE(SetSettingInt(setting::kArticlesNumber, -5));
  {
    CChannelStore store(path_, false);
    for (int i = 0; i < 3; ++i) Append(store, i);
  }
  CChannelStore store(path_, true);
  EXPECT_TRUE(store.TrimItems());
  EXPECT_EQ(CountItems(path_).total, 0);
}

TEST_F(ChannelStoreTest, DeleteItemRemovesItsFullTextAndPicturesOnly) {
  const std::string iid = UrlIndexPathFor(path_);
  CChannelStore index(iid, false);
  ASSERT_TRUE(index.AppendRecord(u"", u"http://a/item", u"", 1233031443, 7, u""));
  ASSERT_TRUE(index.AppendRecord(u"", u"http://a/p1.png", u"", 1233031444, 1, u""));
  ASSERT_TRUE(index.AppendRecord(u"", u"http://a/p2.png", u"", 1233031445, 3, u""));
  ASSERT_TRUE(index.AppendRecord(u"", u"http://a/other.png", u"", 1233031446, 2, u""));
  CChannelStore store(path_, false);
  ASSERT_TRUE(store.AppendRecord(u"t", u"http://a/item", u"", 0, 0,
                                 u"<p><img src=\"http://a/p1.png\">caption</p>"));
  ASSERT_TRUE(store.AppendRecord(u"t", u"http://a/next", u"", 0, 0, u""));
  const std::string fullText = dir_.path() + "/Ch100-1233031443-007.htm";
  const std::string p1 = dir_.path() + "/Ch100-1233031444-001.img";
  const std::string p2 = dir_.path() + "/Ch100-1233031445-003.img";
  const std::string other = dir_.path() + "/Ch100-1233031446-002.img";
  // The full text in UTF-16LE with its byte-order mark.
  const std::u16string html = u"<img alt='x' src='http://a/p2.png' />";
  std::string utf16 = "\xFF\xFE";
  for (char16_t c : html) utf16 += {static_cast<char>(c), '\0'};
  WriteFile(fullText, utf16);
  for (const std::string& p : {p1, p2, other}) WriteFile(p, "picture");

  EXPECT_TRUE(store.DeleteItem(u"http://a/item"));
  EXPECT_FALSE(std::filesystem::exists(fullText));
  EXPECT_FALSE(std::filesystem::exists(p1));
  EXPECT_FALSE(std::filesystem::exists(p2));
  EXPECT_TRUE(std::filesystem::exists(other));
  EXPECT_FALSE(store.ContainsLink(u"http://a/item"));
  EXPECT_TRUE(store.ContainsLink(u"http://a/next"));
  EXPECT_TRUE(index.FindRecord(u"http://a/item", u""));  // URL-index records stay
  EXPECT_FALSE(store.DeleteItem(u"http://a/item"));       // already deleted
}

TEST_F(ChannelStoreTest, CountsAndTheErrorRecord) {
  CChannelStore store(path_, false);
  for (uint32_t flag = 0; flag < 4; ++flag) Append(store, static_cast<int>(flag), flag);
  Append(store, 4);
  store.DeleteItem(Link(4));
  ASSERT_TRUE(WriteErrorRecord(path_, u"  Cannot connect\r\n"));
  ASSERT_TRUE(WriteErrorRecord(path_, u"\tThe server name cannot be resolved "));
  const ItemCounts counts = CountItems(path_);
  EXPECT_TRUE(counts.readable);
  EXPECT_EQ(counts.total, 4);
  EXPECT_EQ(counts.read, 2);
  // A missing item file has no counts, which is not the same as 0/0.
  EXPECT_FALSE(CountItems(path_ + ".missing").readable);

  // One live error record, the last one written, listed like an item.
  std::vector<ItemRecord> errors;
  CChannelStore list(path_, false);
  while (list.ReadNext()) {
    if (list.current().type == kItemTypeError) errors.push_back(list.current());
  }
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].title, u"Error occured on last update");
  EXPECT_EQ(errors[0].link, kErrorMarkerLink);
  EXPECT_EQ(errors[0].flag, 0u);
  EXPECT_EQ(errors[0].date.size(), 19u);
  EXPECT_EQ(errors[0].description,
            u"An error occured while attempting to download the channel data:"
            u"The server name cannot be resolved.");
  EXPECT_TRUE(DeleteErrorRecord(path_));
  EXPECT_FALSE(list.ContainsLink(kErrorMarkerLink));
  EXPECT_EQ(CountItems(path_).total, 4);
  EXPECT_EQ(CountItems(dir_.path() + "/missing.bin").total, 0);
}

TEST_F(ChannelStoreTest, AppendCutsATornTailOffAndKeepsWholeRecords) {
  CChannelStore store(path_, false);
  Append(store, 0);
  Append(store, 1);
  const std::string whole = ReadFile(path_);
  const std::string torn = EncodeItemRecord({u"half", u"http://torn", u"", 0, 0, u"xxxx"});
  WriteFile(path_, whole + torn.substr(0, torn.size() - 3));
  Append(store, 2);
  const std::string after = ReadFile(path_);
  EXPECT_EQ(after.substr(0, whole.size()), whole);
  CChannelStore reread(path_, false);
  EXPECT_TRUE(reread.ContainsLink(Link(2)));
  EXPECT_FALSE(reread.ContainsLink(u"http://torn"));
  ASSERT_TRUE(reread.ReadRecord(2));
  EXPECT_EQ(reread.current().link, Link(2));
  EXPECT_EQ(after.size(), whole.size() + EncodeItemRecord(reread.current()).size());
}

// A full disk during an append: the file size limit makes the write fail
// part-way, as a full disk does.
TEST_F(ChannelStoreTest, AppendThatCannotWriteLeavesTheFileAsItWas) {
  CChannelStore store(path_, false);
  Append(store, 0);
  const std::string before = ReadFile(path_);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = before.size() + 10;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool appended = store.AppendRecord(u"t", Link(1), u"", 0, 0, std::u16string(100, u'x'));
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(appended);
  EXPECT_TRUE(ReadFile(path_) == before);
  EXPECT_FALSE(store.ContainsLink(Link(1)));
  Append(store, 2);
  CChannelStore reread(path_, false);
  EXPECT_TRUE(reread.ReadRecord(1));
  EXPECT_EQ(reread.current().link, Link(2));
}

TEST_F(ChannelStoreTest, AppendThatCannotOpenChangesNothing) {
  std::filesystem::create_directory(path_);
  CChannelStore store(path_, false);
  EXPECT_FALSE(store.AppendRecord(u"t", u"l", u"", 0, 0, u""));
  CChannelStore missingFolder(dir_.path() + "/no/such/Ch100.bin", false);
  EXPECT_FALSE(missingFolder.AppendRecord(u"t", u"l", u"", 0, 0, u""));
}

TEST_F(ChannelStoreTest, ConcurrentAppendsAndUpdatesOfOneFileNeverInterleave) {
  constexpr int kPerThread = 150;
  auto writer = [&](int base) {
    CChannelStore store(path_, false);
    for (int i = 0; i < kPerThread; ++i) {
      store.AppendRecord(u"t", Link(base + i), u"", 0, 0, std::u16string(300, u'x'));
      store.UpdateField(Link(base + i / 2), ItemField::kReadFlag, 2);
    }
  };
  std::thread a(writer, 0), b(writer, 1000);
  a.join();
  b.join();
  CChannelStore store(path_, false);
  int records = 0;
  while (store.ReadNext()) ++records;
  EXPECT_EQ(records, 2 * kPerThread);
  for (int i = 0; i < kPerThread; ++i) {
    EXPECT_TRUE(store.ContainsLink(Link(i)));
    EXPECT_TRUE(store.ContainsLink(Link(1000 + i)));
  }
}

}  // namespace
}  // namespace wrenly
