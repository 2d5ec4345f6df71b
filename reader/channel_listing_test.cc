#include <gtest/gtest.h>

#include "reader/reader_test_support.h"
#include "store/paths.h"

namespace wrenly::reader {
namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

class ChannelListing : public ReaderTest, public ::testing::Test {};

TEST_F(ChannelListing, AFirstStartGetsAnEmptyCatalogAndTheListHasChannelsAndCategoriesInOrder) {
  EXPECT_FALSE(data_.HasCatalog());
  ASSERT_TRUE(data_.CreateCatalog().done());
  ASSERT_TRUE(data_.HasCatalog());
  std::vector<CatalogEntry> channels;
  std::vector<std::u16string> categories{u"stale"};
  ASSERT_TRUE(data_.ListCatalog(channels, categories).done());
  EXPECT_TRUE(channels.empty());
  EXPECT_TRUE(categories.empty());

  ASSERT_TRUE(data_.Subscribe(u"News", u"A", u"http://a/feed").done());
  ASSERT_TRUE(data_.AddCategory(u"Empty").done());
  ASSERT_TRUE(data_.Subscribe(u"Tech", u"B", u"http://b/feed").done());
  // A second call keeps the catalog it finds.
  const std::string saved = CatalogBytes();
  ASSERT_TRUE(data_.CreateCatalog().done());
  EXPECT_EQ(CatalogBytes(), saved);

  ASSERT_TRUE(data_.ListCatalog(channels, categories).done());
  EXPECT_EQ(categories, (std::vector<std::u16string>{u"News", u"Empty", u"Tech"}));
  ASSERT_EQ(channels.size(), 2u);
  EXPECT_EQ(channels[0].Get(u"text"), u"A");
  EXPECT_EQ(channels[1].category, u"Tech");
}

TEST_F(ChannelListing, AnUnreadableCatalogIsRefusedAndLeftAsItIs) {
  CreateFolder(data_.ChannelFolder());
  WriteFile(data_.CatalogPath(), "<opml><body><outline text=");
  std::vector<CatalogEntry> channels;
  std::vector<std::u16string> categories;
  EXPECT_EQ(data_.ListCatalog(channels, categories).refusal, Refusal::kUnreadableCatalog);
  EXPECT_TRUE(data_.CreateCatalog().done());
  EXPECT_EQ(CatalogBytes(), "<opml><body><outline text=");
}

}  // namespace
}  // namespace wrenly::reader
