#include "reader/refresh.h"

#include <gtest/gtest.h>

#include "engine/messages.h"
#include "engine/refresh_test_support.h"
#include "platform/text.h"
#include "reader/reader_data.h"
#include "reader/settings.h"
#include "testsupport/temp_dir.h"

namespace wrenly::reader {
namespace {

using wrenly::testing::FeedItemSpec;
using wrenly::testing::MessageLog;
using wrenly::testing::RssFeed;
using wrenly::testing::TestPanel;
using wrenly::testing::TestSite;

class ReaderRefresh : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StoreSetting(setting::kAlwaysConnected, 1).done());
    ASSERT_TRUE(StoreSetting(setting::kDownloadFulltext, 0).done());
  }
  void ServeFeed(const std::string& path, int items) {
    std::vector<FeedItemSpec> specs;
    for (int i = 0; i < items; ++i) specs.push_back({"T" + std::to_string(i), site_.UrlUtf8(path + "/" + std::to_string(i)), "d"});
    site_.Serve(path, RssFeed("F", site_.UrlUtf8("/"), "", specs));
  }
  int Add(const std::u16string& title, const std::string& path) {
    const ValueResult<int> added = data_.Subscribe(u"News", title, site_.Url(path));
    EXPECT_TRUE(added.done()) << added.result.message;
    panel_.AddRow(added.value, title, site_.Url(path));
    return added.value;
  }
  // "itemCount/newItemCount" of each channel as the catalog holds them.
  std::vector<std::u16string> StoredCounts() {
    std::vector<CatalogEntry> channels;
    EXPECT_TRUE(data_.ListChannels(channels).done());
    std::vector<std::u16string> counts;
    for (const CatalogEntry& c : channels) counts.push_back(c.Get(u"itemCount") + u"/" + c.Get(u"newItemCount"));
    return counts;
  }

  testsupport::IsolatedHome home_;
  ReaderData data_ = ReaderData::Current();
  TestSite site_;
  TestPanel panel_;
  MessageLog view_;
};

TEST_F(ReaderRefresh, AllChannelsOrOneAndTheCountsReachTheCatalogWhenItEnds) {
  ServeFeed("/a.xml", 3);
  ServeFeed("/b.xml", 2);
  Add(u"A", "/a.xml");
  Add(u"B", "/b.xml");
  {
    Refresh refresh(panel_, &view_);
    refresh.Toggle();
    refresh.Wait();
    EXPECT_FALSE(refresh.running());
    EXPECT_EQ(StoredCounts(), (std::vector<std::u16string>{u"3/3", u"2/2"}));
    // The view got the messages too.
    EXPECT_EQ(view_.Count(WM_CHANNEL_COUNTS), 2);
    EXPECT_EQ(view_.Count(WM_REFRESH_DONE), 1);

    ServeFeed("/a.xml", 5);
    ServeFeed("/b.xml", 4);
    refresh.Toggle(1);
    refresh.Wait();
    EXPECT_EQ(StoredCounts(), (std::vector<std::u16string>{u"3/3", u"4/4"}));
    EXPECT_EQ(site_.Requests("/a.xml"), 1);
  }
  EXPECT_EQ(StoredCounts(), (std::vector<std::u16string>{u"3/3", u"4/4"}));
}

}  // namespace
}  // namespace wrenly::reader
