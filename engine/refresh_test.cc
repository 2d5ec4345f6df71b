#include "engine/refresh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/auto_update.h"
#include "engine/refresh_abort.h"
#include "net/messages.h"
#include "engine/refresh_fixture.h"

namespace wrenly {
namespace {

using testing::ChannelFile;
using testing::ChannelFiles;
using testing::ErrorRecordText;
using testing::FeedItemSpec;
using testing::PictureFileOf;
using testing::PngBytes;
using testing::Records;
using testing::Refresh;
using testing::RssFeed;
using testing::TestSite;
using testing::Trickle;
using testsupport::ReadFile;

TEST(SiteIconUrl, KeepsSchemeAndHostOnly) {
  EXPECT_EQ(SiteIconUrl(u"http://news.example/path/page.html"), u"http://news.example/favicon.ico");
  EXPECT_EQ(SiteIconUrl(u"https://news.example"), u"https://news.example/favicon.ico");
  EXPECT_EQ(SiteIconUrl(u"http://news.example?id=3#top"), u"http://news.example/favicon.ico");
  EXPECT_EQ(SiteIconUrl(u"news.example/page"), u"");
}

TEST(ChannelCounts, SixteenBitHalvesAreClampedNotWrapped) {
  EXPECT_EQ(PackChannelCounts(50, 7), 50 | 7 << 16);
  EXPECT_EQ(PackChannelCounts(70000, 65536), 0xFFFF | std::int64_t{0xFFFF} << 16);
  EXPECT_EQ(PackChannelCounts(-1, 3), 3 << 16);
}

// Names in the channel folder that only a refresh under way may hold: the
// downloaded feed before it replaces the last one, temporary files.
std::vector<std::string> ScratchFiles() {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(ChannelDataFolder())) {
    const std::string name = entry.path().filename();
    if (name.find("~.xml") != std::string::npos || name.find(".part") != std::string::npos ||
        name.find(".tmp-") != std::string::npos)
      found.push_back(name);
  }
  return found;
}

TEST_F(Refresh, FailedDownloadsAndNonFeedsKeepTheLastGoodFeedAndRecordTheError) {
  ASSERT_TRUE(SetSettingInt(setting::kDownloadFulltext, 0));
  const std::string good = RssFeed("One", site_.UrlUtf8("/"), "", {Item("a1", "x"), Item("a2", "y")});
  std::atomic<int> mode{0};
  site_.Handle("/feed.xml", [&](const httplib::Request&, httplib::Response& res) {
    if (mode == 0) res.set_content(good, "text/xml");
    if (mode == 1) res.status = 404;
    if (mode == 2) res.set_content("<html><body>Please log in</body></html>", "text/html");
  });
  panel_.AddRow(100, u"One", site_.Url("/feed.xml"));
  RunRefresh();
  ASSERT_EQ(panel_.Icon(0), kIconUpdated);
  EXPECT_EQ(ScratchFiles(), std::vector<std::string>{});
  const std::string kept = ReadFile(ChannelFile(100, ".xml"));
  ASSERT_FALSE(kept.empty());

  for (int failing : {1, 2}) {
    mode = failing;
    RunRefresh();
    EXPECT_EQ(panel_.Icon(0), kIconNotUpdated) << failing;
    EXPECT_EQ(ScratchFiles(), std::vector<std::string>{}) << failing;
    EXPECT_EQ(ReadFile(ChannelFile(100, ".xml")), kept) << failing;
    EXPECT_FALSE(ErrorRecordText(100).empty()) << failing;
    EXPECT_FALSE(panel_.row(0).error.empty());
    // The items stay and are still counted.
    EXPECT_EQ(view_.Params(WM_CHANNEL_COUNTS).back().second, 2 | 2 << 16);
  }
  EXPECT_NE(ErrorRecordText(100).find(kNotAFeedText), std::u16string::npos) << Utf16ToUtf8(ErrorRecordText(100));

  mode = 0;
  RunRefresh();
  EXPECT_EQ(panel_.Icon(0), kIconUpdated);
  EXPECT_EQ(ErrorRecordText(100), u"");
}

// The window counts new headlines for its notice from these messages: one
// per merge that added items, none for a feed that brought nothing new.
TEST_F(Refresh, EveryMergeThatAddsItemsSaysHowManyForItsRow) {
  ASSERT_TRUE(SetSettingInt(setting::kDownloadFulltext, 0));
  std::atomic<int> round{0};
  site_.Handle("/f0.xml", [&](const httplib::Request&, httplib::Response& res) {
    std::vector<FeedItemSpec> items{Item("a1", "x")};
    if (round == 1) items = {Item("a1", "x"), Item("a2", "y"), Item("a3", "z")};
    res.set_content(RssFeed("Zero", site_.UrlUtf8("/"), "", items), "text/xml");
  });
  site_.Serve("/f1.xml", RssFeed("One", site_.UrlUtf8("/"), "", {Item("b1", "x")}));
  panel_.AddRow(100, u"Zero", site_.Url("/f0.xml"));
  panel_.AddRow(101, u"One", site_.Url("/f1.xml"));
  RunRefresh();
  auto added = view_.Params(WM_CHANNEL_NEW_ITEMS);
  std::sort(added.begin(), added.end());
  using Added = std::vector<std::pair<std::uint64_t, std::int64_t>>;
  EXPECT_EQ(added, (Added{{0, 1}, {1, 1}}));

  round = 1;
  RunRefresh();
  added = view_.Params(WM_CHANNEL_NEW_ITEMS);
  ASSERT_EQ(added.size(), 3u);
  EXPECT_EQ(added.back(), (std::pair<std::uint64_t, std::int64_t>{0, 2}));
}

TEST_F(Refresh, ASingleTargetRefreshesThatRowOnly) {
  ASSERT_TRUE(SetSettingInt(setting::kDownloadFulltext, 0));
  site_.Serve("/f0.xml", RssFeed("Zero", site_.UrlUtf8("/"), "", {Item("a1", "x")}));
  site_.Serve("/f1.xml", RssFeed("One", site_.UrlUtf8("/"), "", {Item("a2", "x")}));
  panel_.AddRow(100, u"Zero", site_.Url("/f0.xml"));
  panel_.AddRow(101, u"One", site_.Url("/f1.xml"));
  panel_.SetTarget(1);
  RunRefresh();
  EXPECT_TRUE(panel_.row(0).icons.empty());
  EXPECT_EQ(panel_.row(1).icons, (std::vector<int>{kIconInProgress, kIconUpdated}));
  EXPECT_EQ(site_.Requests("/f0.xml"), 0);
  EXPECT_EQ(panel_.Target(), -1);
}

TEST_F(Refresh, CancelDuringAFeedDownloadEndsTheRefreshThroughTheNormalPath) {
  site_.Handle("/slow.xml", [&](const httplib::Request&, httplib::Response& res) { Trickle("<?xml", res); });
  site_.Serve("/f1.xml", RssFeed("One", site_.UrlUtf8("/"), "", {Item("a1", "x")}));
  panel_.AddRow(100, u"Slow", site_.Url("/slow.xml"));
  panel_.AddRow(101, u"One", site_.Url("/f1.xml"));
  GiveTemplate(101);
  {
    // One channel at a time, so the second row is not reached before the Cancel.
    CRefreshController controller(panel_, manager_, &view_, 1);
    controller.ToggleRefresh();
    while (site_.Requests("/slow.xml") == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    controller.ToggleRefresh();  // Cancel
    controller.WaitUntilDone();
  }
  EXPECT_EQ(panel_.Icon(0), kIconNotUpdated);
  EXPECT_EQ(panel_.row(1).icons, (std::vector<int>{kIconQueued, kIconNotUpdated}));
  EXPECT_EQ(site_.Requests("/f1.xml"), 0);
  EXPECT_EQ(log_.Count(kMsgHeadlinesFinished), 1);
  EXPECT_EQ(log_.Count(kMsgDownloadFinished), 1);
  EXPECT_EQ(view_.Count(WM_REFRESH_DONE), 1);
  EXPECT_FALSE(IsRefreshAborted());
  EXPECT_FALSE(FileExists(ChannelFile(100, ".xml")));
}

TEST_F(Refresh, ALostConnectionAbortsLikeCancel) {
  site_.Handle("/slow.xml", [&](const httplib::Request&, httplib::Response& res) { Trickle("<?xml", res); });
  panel_.AddRow(100, u"Slow", site_.Url("/slow.xml"));
  {
    CRefreshController controller(panel_, manager_, &view_);
    controller.Post(WM_NETCONNECTION_STATE, kConnectionUp, 0);  // not waiting: ignored
    EXPECT_FALSE(controller.running());
    controller.ToggleRefresh();
    while (site_.Requests("/slow.xml") == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    controller.Post(WM_NETCONNECTION_STATE, kConnectionReleased, 0);
    controller.WaitUntilDone();
  }
  EXPECT_EQ(panel_.Icon(0), kIconNotUpdated);
  EXPECT_EQ(view_.Count(WM_REFRESH_DONE), 1);
  EXPECT_FALSE(IsRefreshAborted());
}

TEST_F(Refresh, DockingStartsARefreshOnlyInTheDockedMode) {
  ASSERT_TRUE(SetSettingInt(setting::kDownloadFulltext, 0));
  site_.Serve("/f.xml", RssFeed("One", site_.UrlUtf8("/"), "", {Item("a1", "x")}));
  panel_.AddRow(100, u"One", site_.Url("/f.xml"));
  CRefreshController controller(panel_, manager_, &view_);
  controller.Post(WM_CRADLE_CHANGED, 1, 0);  // mode 0: nothing
  EXPECT_FALSE(controller.running());
  ASSERT_TRUE(SetSettingInt(setting::kAutoUpdateMode, kAutoUpdateWhenDocked));
  controller.Post(WM_CRADLE_CHANGED, 0, 0);  // undocking: nothing
  EXPECT_FALSE(controller.running());
  controller.Post(WM_CRADLE_CHANGED, 1, 0);
  controller.WaitUntilDone();
  EXPECT_EQ(panel_.Icon(0), kIconUpdated);
  EXPECT_EQ(site_.Requests("/f.xml"), 1);
}

// A view that starts the next refresh as soon as one is done, from inside
// its WM_REFRESH_DONE, on the ending refresh's own thread.
struct RestartingView : Receiver {
  CRefreshController* controller = nullptr;
  std::atomic<int> done{0};
  void Post(MessageId message, std::uint64_t, std::int64_t) override {
    if (message == WM_REFRESH_DONE && ++done == 1) controller->ToggleRefresh();
  }
};

TEST_F(Refresh, ARefreshCanStartWhileTheLastOneSendsItsEndMessages) {
  ASSERT_TRUE(SetSettingInt(setting::kDownloadFulltext, 0));
  site_.Serve("/f.xml", RssFeed("One", site_.UrlUtf8("/"), "", {Item("a1", "x")}));
  panel_.AddRow(100, u"One", site_.Url("/f.xml"));
  RestartingView view;
  {
    CRefreshController controller(panel_, manager_, &view);
    view.controller = &controller;
    controller.ToggleRefresh();
    while (view.done < 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    controller.WaitUntilDone();
  }
  EXPECT_EQ(site_.Requests("/f.xml"), 2);
}

TEST_F(Refresh, WithTheProxyOptionFeedsGoThroughTheConfiguredProxy) {
  ASSERT_TRUE(SetSettingInt(setting::kDownloadFulltext, 0));
  TestSite proxy;
  std::mutex mutex;
  std::vector<std::string> asked;
  proxy.Handle("*", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(mutex);
    asked.push_back(req.target);
    res.set_content(RssFeed("Far", "", "", {{"t", "http://far.invalid/a", "x"}}), "text/xml");
  });
  ASSERT_TRUE(SetSettingInt(setting::kUseNetAgency, 1));
  ASSERT_TRUE(SetSettingString(setting::kNetAgencyIP, u" " + proxy.Url("").substr(7) + u" "));
  panel_.AddRow(100, u"Far", u"http://far.invalid/feed.xml");
  RunRefresh();
  EXPECT_EQ(panel_.Icon(0), kIconUpdated);
  std::lock_guard lock(mutex);
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.front(), "http://far.invalid/feed.xml");
}

}  // namespace
}  // namespace wrenly
