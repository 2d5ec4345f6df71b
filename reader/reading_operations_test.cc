#include <gtest/gtest.h>

#include <cstdio>

#include "platform/text.h"
#include "reader/reader_test_support.h"
#include "store/channel_files.h"
#include "store/channel_store.h"

namespace wrenly::reader {
namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

constexpr char16_t kPictured[] = u"http://c/pictured";
constexpr char16_t kPlain[] = u"http://c/plain";

class ReadingOperations : public ReaderTest, public ::testing::Test {
 protected:
  // A channel of two items: "Pictured", whose description names two
  // pictures, and "Plain".
  void SetUp() override {
    channel_ = SubscribeC();
    ASSERT_GT(channel_, 0);
    const std::string feed = files_.path() + "/pictured.xml";
    WriteFile(feed,
              "<rss version=\"2.0\"><channel><title>C</title><link>http://c/</link>"
              "<item><title>Pictured</title><link>http://c/pictured</link><pubDate>27 Jan 2009 04:44:10 GMT</pubDate>"
              "<description><![CDATA[<img src=\"http://c/a.png\"><img src='http://c/b.png'>]]></description></item>"
              "<item><title>Plain</title><link>http://c/plain</link><pubDate>27 Jan 2009 04:44:20 GMT</pubDate>"
              "<description>just words</description></item></channel></rss>");
    ASSERT_TRUE(data_.Merge(channel_, feed).done());
  }
  std::string ItemFile() { return data_.ChannelPath(channel_, ".bin"); }
  // Where the URL index puts the stored file of an address; empty when it
  // names none.
  std::string StoredFile(std::u16string_view address, std::string_view extension) {
    CChannelStore index(UrlIndexPathFor(ItemFile()), false);
    if (!index.FindRecord(address, u"")) return {};
    return StampedFilePath(ItemFile(), index.current().flag, index.current().type, extension);
  }
  uint32_t Flag(std::u16string_view link) {
    CChannelStore items(ItemFile(), false);
    return items.FindRecord(link, u"") ? items.current().flag : 99;
  }
  void SetFlag(std::u16string_view link, uint32_t flag) {
    CChannelStore items(ItemFile(), false);
    // 9999 turns 0 into 1; then 2 turns 0 into 2, and 3 turns 1 into 3.
    if (flag & kFlagUnreadFullText) items.UpdateField(link, ItemField::kReadFlag, kReadFlagFullTextArrived);
    if (flag & kFlagRead) items.UpdateField(link, ItemField::kReadFlag, flag);
    ASSERT_EQ(Flag(link), flag);
  }
  // A catalog that exists and cannot be read; every operation must refuse
  // and leave it and the items as they are.
  void BreakCatalog() { WriteFile(data_.CatalogPath(), "not a catalog"); }

  int channel_ = 0;
};

TEST_F(ReadingOperations, ReadChannelGivesTheLiveItemsWithTheirTextsAndTheLogo) {
  WriteErrorRecord(ItemFile(), u"no answer");
  ASSERT_TRUE(data_.DeleteItem(channel_, kPlain).done());
  ValueResult<ChannelItems> read = data_.ReadChannel(channel_);
  ASSERT_TRUE(read.done()) << read.result.message;
  ASSERT_EQ(read.value.items.size(), 2u);
  EXPECT_EQ(read.value.items[0].title, u"Pictured");
  EXPECT_EQ(read.value.items[0].date.substr(0, 10), u"2009-01-27");
  EXPECT_NE(read.value.items[0].description.find(u"http://c/a.png"), std::u16string::npos);
  EXPECT_EQ(read.value.items[1].type, kItemTypeError);
  EXPECT_TRUE(read.value.logoFile.empty());

  WriteFile(data_.ChannelPath(channel_, "-Logo.img"), "logo");
  read = data_.ReadChannel(channel_);
  EXPECT_EQ(ReadFile(read.value.logoFile), "logo");

  // Delete All leaves no item file: no items, and no refusal.
  ASSERT_TRUE(data_.DeleteAllItems(channel_).done());
  read = data_.ReadChannel(channel_);
  EXPECT_TRUE(read.done());
  EXPECT_TRUE(read.value.items.empty());
}

TEST_F(ReadingOperations, OpeningAnArticleMarksItReadAndFindsItsStoredFiles) {
  const std::string a = StoredFile(u"http://c/a.png", ".img");
  ASSERT_FALSE(a.empty());
  WriteFile(a, "picture a");  // b was never stored
  SetFlag(kPictured, kFlagUnreadFullText);
  ValueResult<StoredArticle> opened = data_.OpenArticle(channel_, kPictured);
  ASSERT_TRUE(opened.done()) << opened.result.message;
  EXPECT_EQ(Flag(kPictured), kFlagReadFullText);
  EXPECT_EQ(Flag(kPlain), kFlagUnread);
  EXPECT_FALSE(opened.value.hasFullText);
  EXPECT_EQ(opened.value.body, u"<img src=\"http://c/a.png\"><img src='http://c/b.png'>");
  EXPECT_EQ(opened.value.pictures, (std::map<std::u16string, std::string>{{u"http://c/a.png", a}}));

  // A stored full text (UTF-8 with its mark) is the body, and its pictures
  // count, not the description's; an empty one does not.
  const std::string text = StoredFile(kPlain, ".htm");
  ASSERT_FALSE(text.empty());
  WriteFile(text, "\xEF\xBB\xBF<p>whole story</p><img src=\"http://c/a.png\">");
  opened = data_.OpenArticle(channel_, kPlain);
  EXPECT_TRUE(opened.value.hasFullText);
  EXPECT_EQ(opened.value.body, u"<p>whole story</p><img src=\"http://c/a.png\">");
  EXPECT_EQ(opened.value.pictures.size(), 1u);
  EXPECT_EQ(Flag(kPlain), kFlagRead);
  WriteFile(text, "");
  opened = data_.OpenArticle(channel_, kPlain);
  EXPECT_FALSE(opened.value.hasFullText);
  EXPECT_EQ(opened.value.body, u"just words");
}

TEST_F(ReadingOperations, TheErrorEntryOpensWithoutBeingMarked) {
  WriteErrorRecord(ItemFile(), u"no answer");
  const ValueResult<StoredArticle> opened = data_.OpenArticle(channel_, kErrorMarkerLink);
  ASSERT_TRUE(opened.done()) << opened.result.message;
  EXPECT_NE(opened.value.body.find(u"no answer"), std::u16string::npos);
  EXPECT_EQ(Flag(kErrorMarkerLink), kFlagUnread);
}

TEST_F(ReadingOperations, AFullTextTheIndexDoesNotNameChangesNothing) {
  SetFlag(kPlain, kFlagRead);
  std::remove(UrlIndexPathFor(ItemFile()).c_str());
  const ValueResult<FullTextState> finished = data_.FullTextFinished(channel_, kPlain);
  ASSERT_TRUE(finished.done()) << finished.result.message;
  EXPECT_EQ(finished.value, FullTextState::kNone);
  EXPECT_EQ(Flag(kPlain), kFlagRead);
}

TEST_F(ReadingOperations, AFinishedFullTextTellsWhetherItsFileIsThere) {
  SetFlag(kPictured, kFlagReadFullText);
  SetFlag(kPlain, kFlagRead);
  WriteFile(StoredFile(kPictured, ".htm"), "<p>text</p>");
  ValueResult<FullTextState> finished = data_.FullTextFinished(channel_, kPictured);
  ASSERT_TRUE(finished.done()) << finished.result.message;
  EXPECT_EQ(finished.value, FullTextState::kStored);
  EXPECT_EQ(Flag(kPictured), kFlagUnreadFullText);
  EXPECT_EQ(Flag(kPlain), kFlagRead);

  finished = data_.FullTextFinished(channel_, kPlain);  // the fetch stored nothing
  EXPECT_EQ(finished.value, FullTextState::kMissing);
  EXPECT_EQ(Flag(kPlain), kFlagUnread);
}

TEST_F(ReadingOperations, StoreItemCountsKeepsWhatOthersChangedInTheCatalog) {
  EXPECT_EQ(StoredCounts(channel_), "2/2");
  // A reader marks through the store (as a refresh merges) and another
  // change renames the channel meanwhile.
  SetFlag(kPlain, kFlagRead);
  ASSERT_TRUE(data_.RenameChannel(u"http://c/feed", u"Renamed").done());
  ASSERT_TRUE(data_.StoreItemCounts(channel_).done());
  EXPECT_EQ(StoredCounts(channel_), "2/1");
  EXPECT_NE(CatalogBytes().find("Renamed"), std::string::npos);
  std::remove(ItemFile().c_str());
  ASSERT_TRUE(data_.StoreItemCounts(channel_).done());
  EXPECT_EQ(StoredCounts(channel_), "0/0");
}

TEST_F(ReadingOperations, AnItemOrChannelThatIsGoneIsRefusedAndNothingChanges) {
  EXPECT_EQ(data_.OpenArticle(channel_, u"http://c/gone").result.refusal, Refusal::kNotFound);
  EXPECT_EQ(data_.FullTextFinished(channel_, u"http://c/gone").result.refusal, Refusal::kNotFound);
  EXPECT_EQ(Flag(kPictured), kFlagUnread);

  // Another program unsubscribed the channel; its number names nothing now,
  // even where its files were left behind.
  const int other = channel_ + 1;
  CChannelStore(data_.ChannelPath(other, ".bin"), false)
      .AppendRecord(u"Left", u"http://o/1", u"2009-01-27 04:44:10", kFlagUnread, kItemTypeOrdinary, u"");
  const std::string before = CatalogBytes();
  EXPECT_EQ(data_.ReadChannel(other).result.refusal, Refusal::kNotFound);
  EXPECT_EQ(data_.OpenArticle(other, u"http://o/1").result.refusal, Refusal::kNotFound);
  EXPECT_EQ(data_.FullTextFinished(other, u"http://o/1").result.refusal, Refusal::kNotFound);
  EXPECT_EQ(data_.StoreItemCounts(other).refusal, Refusal::kNotFound);
  CChannelStore left(data_.ChannelPath(other, ".bin"), false);
  ASSERT_TRUE(left.FindRecord(u"http://o/1", u""));
  EXPECT_EQ(left.current().flag, kFlagUnread);
  EXPECT_EQ(CatalogBytes(), before);
}

TEST_F(ReadingOperations, AnUnreadableCatalogRefusesReadingAndLeavesEverythingAsItIs) {
  SetFlag(kPlain, kFlagRead);
  WriteFile(StoredFile(kPictured, ".htm"), "<p>text</p>");
  BreakCatalog();
  EXPECT_EQ(data_.ReadChannel(channel_).result.refusal, Refusal::kUnreadableCatalog);
  EXPECT_EQ(data_.OpenArticle(channel_, kPictured).result.refusal, Refusal::kUnreadableCatalog);
  EXPECT_EQ(data_.FullTextFinished(channel_, kPlain).result.refusal, Refusal::kUnreadableCatalog);
  EXPECT_EQ(data_.StoreItemCounts(channel_).refusal, Refusal::kUnreadableCatalog);
  EXPECT_EQ(Flag(kPictured), kFlagUnread);
  EXPECT_EQ(Flag(kPlain), kFlagRead);
  EXPECT_EQ(CatalogBytes(), "not a catalog");
}

}  // namespace
}  // namespace wrenly::reader
