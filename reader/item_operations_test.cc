#include <gtest/gtest.h>

#include "platform/text.h"
#include "reader/reader_test_support.h"

namespace wrenly::reader {
namespace {

using testsupport::WriteFile;

class ItemOperations : public ReaderTest, public ::testing::Test {
 protected:
  void SetUp() override {
    channel_ = SubscribeC();
    ASSERT_GT(channel_, 0);
  }
  std::vector<uint32_t> Flags() {
    std::vector<uint32_t> flags;
    data_.ForEachItem(channel_, [&](const ItemRecord& r) { flags.push_back(r.flag); });
    return flags;
  }

  int channel_ = 0;
};

TEST_F(ItemOperations, MergeMarkAndDeleteKeepTheCatalogsCounts) {
  ValueResult<int> merged = data_.Merge(channel_, FeedFile(1, 3));
  ASSERT_TRUE(merged.done()) << merged.result.message;
  EXPECT_EQ(merged.value, 3);
  EXPECT_EQ(StoredCounts(channel_), "3/3");
  merged = data_.Merge(channel_, FeedFile(2, 4));
  EXPECT_EQ(merged.value, 1);
  EXPECT_EQ(StoredCounts(channel_), "4/4");

  ASSERT_TRUE(data_.Mark(channel_, true, u"http://c/2").done());
  EXPECT_EQ(StoredCounts(channel_), "4/3");
  EXPECT_EQ(data_.Mark(channel_, true, u"http://c/99").refusal, Refusal::kNotFound);
  ASSERT_TRUE(data_.Mark(channel_, true).done());
  EXPECT_EQ(Flags(), (std::vector<uint32_t>{2, 2, 2, 2}));
  ASSERT_TRUE(data_.Mark(channel_, false, u"http://c/4").done());
  EXPECT_EQ(StoredCounts(channel_), "4/1");
  const ItemCounts counts = data_.Counts(channel_);
  EXPECT_EQ(counts.total, 4);
  EXPECT_EQ(counts.read, 3);

  ASSERT_TRUE(data_.DeleteItem(channel_, u"http://c/1").done());
  EXPECT_EQ(data_.DeleteItem(channel_, u"http://c/1").refusal, Refusal::kNotFound);
  EXPECT_EQ(StoredCounts(channel_), "3/1");
  ASSERT_TRUE(data_.DeleteAllItems(channel_).done());
  EXPECT_EQ(StoredCounts(channel_), "0/0");
  EXPECT_TRUE(Flags().empty());
}

TEST_F(ItemOperations, ADocumentThatIsNoFeedChangesNothing) {
  ASSERT_TRUE(data_.Merge(channel_, FeedFile(1, 2)).done());
  const std::string page = files_.path() + "/page.html";
  WriteFile(page, "<html><body>login</body></html>");
  const ValueResult<int> r = data_.Merge(channel_, page);
  EXPECT_EQ(r.result.refusal, Refusal::kInvalid);
  EXPECT_EQ(Flags().size(), 2u);
  EXPECT_EQ(data_.Merge(channel_, files_.path() + "/missing.xml").result.refusal, Refusal::kFile);
}

TEST_F(ItemOperations, AnUnreadableCatalogLeavesTheItemsAsTheyAre) {
  ASSERT_TRUE(data_.Merge(channel_, FeedFile(1, 2)).done());
  WriteFile(data_.CatalogPath(), "not a catalog");
  EXPECT_EQ(data_.Mark(channel_, true).refusal, Refusal::kUnreadableCatalog);
  EXPECT_EQ(data_.DeleteItem(channel_, u"http://c/1").refusal, Refusal::kUnreadableCatalog);
  EXPECT_EQ(data_.DeleteAllItems(channel_).refusal, Refusal::kUnreadableCatalog);
  EXPECT_EQ(data_.Merge(channel_, FeedFile(3, 3)).result.refusal, Refusal::kUnreadableCatalog);
  EXPECT_EQ(Flags(), (std::vector<uint32_t>{0, 0}));
  EXPECT_EQ(testsupport::ReadFile(data_.CatalogPath()), "not a catalog");
}

}  // namespace
}  // namespace wrenly::reader
