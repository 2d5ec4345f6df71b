// Refreshes with full-text jobs, which run the built fetcher program.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/refresh_fixture.h"
#include "net/internet_error.h"

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

TEST_F(Refresh, FeedsPicturesFullTextsLogoAndIconsAndNothingTwice) {
  const std::string feedPicture = site_.UrlUtf8("/img/f1.png");
  site_.Serve("/img/f1.png", PngBytes(1), "image/png");
  site_.Serve("/logo.png", PngBytes(9), "image/png");
  site_.Serve("/favicon.ico", "icon", "image/x-icon");
  ServeArticle("a1", 11);
  ServeArticle("a2", 12);
  ServeArticle("b1", 21);
  const std::string desc = "<p>text <img src=\"" + feedPicture + "\"></p>";
  site_.Serve("/feed100.xml", RssFeed("One", site_.UrlUtf8("/site/one.html"), site_.UrlUtf8("/logo.png"),
                                      {Item("a1", desc), Item("a2", desc)}));
  site_.Serve("/feed101.xml", RssFeed("Two", site_.UrlUtf8("/two"), "", {Item("b1", "plain")}));
  panel_.AddRow(100, u"One", site_.Url("/feed100.xml"));
  panel_.AddRow(101, u"Two", site_.Url("/feed101.xml"));
  GiveTemplate(100);

  RunRefresh();
  EXPECT_EQ(panel_.row(0).icons, (std::vector<int>{kIconQueued, kIconInProgress, kIconUpdated}));
  EXPECT_EQ(panel_.row(1).icons, (std::vector<int>{kIconQueued, kIconInProgress, kIconUpdated}));
  EXPECT_FALSE(panel_.busy());
  EXPECT_TRUE(FileExists(ChannelFile(100, ".xml")));
  EXPECT_FALSE(FileExists(ChannelFile(100, "~.xml")));
  EXPECT_FALSE(ReadStoredSetting(setting::kLastUpdateTime).value_or(u"").empty());

  // The feed's picture (named twice, fetched once) and each article's own
  // picture, fetched by the full-text jobs one after the other: every
  // picture has its own file with its own bytes.
  EXPECT_EQ(site_.Requests("/img/f1.png"), 1);
  EXPECT_EQ(ReadFile(PictureFileOf(100, Utf8ToUtf16(feedPicture))), PngBytes(1));
  EXPECT_EQ(ReadFile(PictureFileOf(100, site_.Url("/img/a1.png"))), PngBytes(11));
  EXPECT_EQ(ReadFile(PictureFileOf(100, site_.Url("/img/a2.png"))), PngBytes(12));
  EXPECT_EQ(ChannelFiles("Ch100-[0-9]+-[0-9]+\\.img").size(), 3u);

  // Full texts for the channel with a template, and the items marked.
  EXPECT_EQ(ChannelFiles("Ch100-[0-9]+-[0-9]+\\.htm").size(), 2u);
  EXPECT_TRUE(ChannelFiles("Ch101-.*\\.htm").empty());
  EXPECT_EQ(site_.Requests("/articles/b1.html"), 0);
  for (const ItemRecord& r : Records(ChannelFile(100, ".bin"))) EXPECT_EQ(r.flag, kFlagUnreadFullText);
  EXPECT_EQ(ReadFile(ChannelFile(100, "-Logo.img")), PngBytes(9));
  // Both channels are on one site: its icon is downloaded once and shared.
  EXPECT_EQ(ReadFile(ChannelFile(100, "-Fav.ico")), "icon");
  EXPECT_EQ(ReadFile(ChannelFile(101, "-Fav.ico")), "icon");
  EXPECT_EQ(site_.Requests("/favicon.ico"), 1);
  EXPECT_EQ(panel_.row(0).texts[kColumnCounts], u"2/2");
  EXPECT_EQ(panel_.row(0).texts[kColumnSiteIcon], Utf8ToUtf16(ChannelFile(100, "-Fav.ico")));

  // The two channels are refreshed side by side: their counts come in either order.
  auto counts = view_.Params(WM_CHANNEL_COUNTS);
  std::sort(counts.begin(), counts.end());
  EXPECT_EQ(counts, (std::vector<std::pair<std::uint64_t, std::int64_t>>{{0, 2 | 2 << 16}, {1, 1 | 1 << 16}}));
  EXPECT_EQ(view_.Count(WM_REFRESH_DONE), 1);
  EXPECT_EQ(log_.Count(kMsgFulltextFetched), 2);
  const std::vector<std::string> names = log_.Names();
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.front(), kMsgDownloadStart);
  // The refresh ends at the first look that finds the job queue empty, so the
  // last job's "fetched" may still follow the end.
  const auto headlines = std::find(names.begin(), names.end(), kMsgHeadlinesFinished);
  EXPECT_LT(headlines, std::find(names.begin(), names.end(), kMsgDownloadFinished));
  EXPECT_EQ(log_.Count(kMsgDownloadFinished), 1);
  EXPECT_EQ(log_.Count(kMsgHeadlinesFinished), 1);

  // A second refresh of unchanged feeds fetches nothing but the feeds.
  RunRefresh();
  EXPECT_EQ(panel_.Icon(0), kIconUpdated);
  EXPECT_EQ(site_.Requests("/articles/a1.html"), 1);
  EXPECT_EQ(site_.Requests("/img/f1.png"), 1);
  EXPECT_EQ(site_.Requests("/img/a1.png"), 1);
  EXPECT_EQ(site_.Requests("/logo.png"), 1);
  EXPECT_EQ(site_.Requests("/favicon.ico"), 1);
  EXPECT_EQ(site_.Requests("/feed100.xml"), 2);
  EXPECT_EQ(log_.Count(kMsgFulltextFetched), 2);
  EXPECT_EQ(view_.Count(WM_REFRESH_DONE), 2);
}

TEST_F(Refresh, CancelDuringFullTextJobsRunsNoFurtherJob) {
  ASSERT_TRUE(SetSettingInt(setting::kDownloadImage, 0));
  site_.Handle("/articles/a1.html", [&](const httplib::Request&, httplib::Response& res) { Trickle("<html>", res); });
  ServeArticle("a2", 2);
  ServeArticle("a3", 3);
  site_.Serve("/feed.xml", RssFeed("One", site_.UrlUtf8("/"), "", {Item("a1", "x"), Item("a2", "y"), Item("a3", "z")}));
  panel_.AddRow(100, u"One", site_.Url("/feed.xml"));
  GiveTemplate(100);
  {
    CRefreshController controller(panel_, manager_, &view_);
    controller.ToggleRefresh();
    while (site_.Requests("/articles/a1.html") == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    controller.ToggleRefresh();  // Cancel: reaches the running fetcher
    controller.WaitUntilDone();
    while (!manager_.IsDrained()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(site_.Requests("/articles/a2.html"), 0);
  EXPECT_EQ(site_.Requests("/articles/a3.html"), 0);
  EXPECT_EQ(log_.Count(kMsgHeadlinesFinished), 1);
  EXPECT_EQ(view_.Count(WM_REFRESH_DONE), 1);
  EXPECT_EQ(log_.Count(kMsgFulltextFetched), 3);  // posted for skipped jobs too
  for (const ItemRecord& r : Records(ChannelFile(100, ".bin"))) EXPECT_EQ(r.flag, kFlagUnread);
  // The cut-off page of the aborted job is not kept as a full text.
  EXPECT_TRUE(ChannelFiles("Ch100-[0-9]+-[0-9]+\\.htm").empty());
}

TEST_F(Refresh, AFetcherPastItsTimeLimitIsKilledAndLeavesNoFile) {
  site_.Handle("/slow.png", [&](const httplib::Request&, httplib::Response& res) { Trickle("\x89PNG", res); });
  const std::string out = ChannelFile(100, "-00000001-001.img");
  std::uint32_t code = 0;
  std::u16string text;
  EXPECT_EQ(RunFetcher(site_.Url("/slow.png"), out, "", code, text, false, std::chrono::milliseconds(500)),
            ERROR_INTERNET_TIMEOUT);
  EXPECT_EQ(code, ERROR_INTERNET_TIMEOUT) << Utf16ToUtf8(text);
  EXPECT_FALSE(text.empty());
  EXPECT_FALSE(FileExists(out));

  // A plain download that fails reports the fetcher's error line.
  EXPECT_NE(RunFetcher(site_.Url("/missing.png"), out, "", code, text, false), 0u);
  EXPECT_NE(code, 0u);
  EXPECT_FALSE(text.empty());
  EXPECT_FALSE(FileExists(out));
}

}  // namespace
}  // namespace wrenly
