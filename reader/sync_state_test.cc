// The sync's files in the data root without a server: the journal of local
// changes (torn lines, dropping what was sent while keeping what came after)
// and the marks that go into it only once the data root takes part in a sync.
#include "reader/sync_state.h"

#include <gtest/gtest.h>

#include <fstream>

#include "reader/reader_test_support.h"
#include "reader/sync_documents.h"

namespace wrenly::reader {
namespace {

class SyncStateTest : public ::testing::Test, public ReaderTest {
 protected:
  std::string JournalPath() { return data_.root() + "/Sync/Journal.txt"; }
  SyncState state_{data_.root()};
};

TEST_F(SyncStateTest, TheJournalKeepsWholeLinesAndWhatWasAppendedAfterTheSentPart) {
  ASSERT_TRUE(state_.Activate());
  ASSERT_TRUE(state_.Append({{JournalEntry::kRead, 7}, {JournalEntry::kUnread, 8}}));
  const JournalRead sent = state_.ReadJournal();
  ASSERT_EQ(sent.entries.size(), 2u);
  ASSERT_TRUE(state_.Append({{JournalEntry::kUnsubscribe, 3}}));
  // A kill in the middle of an append leaves half a line.
  std::ofstream(JournalPath(), std::ios::app) << "r 12";
  EXPECT_EQ(state_.ReadJournal().entries.size(), 3u);
  ASSERT_TRUE(state_.DropJournalHead(sent.bytes));
  const JournalRead rest = state_.ReadJournal();
  ASSERT_EQ(rest.entries.size(), 1u);
  EXPECT_EQ(rest.entries[0].kind, JournalEntry::kUnsubscribe);
  EXPECT_EQ(rest.entries[0].id, 3);
}

TEST_F(SyncStateTest, MarksAreJournaledOnlyForItemsWithArticleIdsOnceTheRootSyncs) {
  const int channel = SubscribeC();
  ASSERT_TRUE(data_.Merge(channel, FeedFile(1, 3)).done());
  ASSERT_TRUE(data_.Mark(channel, true, u"http://c/1").done());
  EXPECT_FALSE(state_.Active());

  ASSERT_TRUE(state_.Activate());
  ASSERT_TRUE(state_.AppendIds(channel, {{101, u"http://c/1"}, {102, u"http://c/2"}}));
  ASSERT_TRUE(data_.Mark(channel, false, u"http://c/1").done());
  ASSERT_TRUE(data_.OpenArticle(channel, u"http://c/2").done());
  // An item the server never gave has nothing to send.
  ASSERT_TRUE(data_.Mark(channel, true, u"http://c/3").done());
  const std::vector<JournalEntry> entries = state_.ReadJournal().entries;
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].kind, JournalEntry::kUnread);
  EXPECT_EQ(entries[0].id, 101);
  EXPECT_EQ(entries[1].kind, JournalEntry::kRead);
  EXPECT_EQ(entries[1].id, 102);
}

TEST_F(SyncStateTest, UnsubscribingASyncedChannelJournalsItsServerFeed) {
  const int channel = SubscribeC();
  ASSERT_TRUE(state_.Activate());
  ASSERT_TRUE(state_.WriteFeeds({"http://127.0.0.1/ admin", 500, {{42, channel}}, {}, {}}));
  ASSERT_TRUE(data_.Unsubscribe(u"http://c/feed").done());
  const std::vector<JournalEntry> entries = state_.ReadJournal().entries;
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].kind, JournalEntry::kUnsubscribe);
  EXPECT_EQ(entries[0].id, 42);
  EXPECT_EQ(state_.ReadFeeds().sinceId, 500);
  EXPECT_EQ(state_.ReadFeeds().account, "http://127.0.0.1/ admin");
  // Another server: everything of the last one is forgotten.
  ASSERT_TRUE(state_.AppendIds(channel, {{1, u"http://c/1"}}));
  ASSERT_TRUE(state_.Reset());
  EXPECT_TRUE(state_.ReadJournal().entries.empty());
  EXPECT_TRUE(state_.ReadFeeds().feeds.empty());
  EXPECT_TRUE(state_.LinksById(channel).empty());
}

TEST_F(SyncStateTest, HeadlinesMergeAsAFeedKeyedByTheirLinks) {
  const int channel = SubscribeC();
  sync::Headline linked;
  linked.id = 5;
  linked.title = "Linked";
  linked.link = "http://c/5";
  linked.content = "<p>Body</p>";
  linked.updated = 1700000000;
  sync::Headline bare = linked;
  bare.id = 6;
  bare.link.clear();
  const std::string path = files_.path() + "/headlines.json";
  testsupport::WriteFile(path, HeadlinesDocument("C", {linked, bare}));
  const ValueResult<int> merged = data_.Merge(channel, path);
  ASSERT_TRUE(merged.done()) << merged.result.message;
  EXPECT_EQ(merged.value, 2);
  std::vector<std::u16string> links;
  data_.ForEachItem(channel, [&](const ItemRecord& r) { links.push_back(r.link); });
  EXPECT_NE(std::find(links.begin(), links.end(), u"http://c/5"), links.end());
  EXPECT_NE(std::find(links.begin(), links.end(), Utf8ToUtf16(HeadlineLink(bare))), links.end());
}

}  // namespace
}  // namespace wrenly::reader

namespace wrenly::reader {
namespace {

TEST_F(SyncStateTest, ASessionOrAddressWithALineBreakAddsNoLineOfItsOwn) {
  ASSERT_TRUE(state_.Activate());
  ASSERT_TRUE(state_.WriteFeeds({"http://127.0.0.1/ admin", 5, {}, {"http://a/\nfeed 9 9"}, "x\nsince 999"}));
  const SyncFeedState read = state_.ReadFeeds();
  EXPECT_EQ(read.sinceId, 5);
  EXPECT_TRUE(read.feeds.empty());
  EXPECT_TRUE(read.refused.empty());
  EXPECT_TRUE(read.session.empty());
}

}  // namespace
}  // namespace wrenly::reader
