// Refreshes of feeds whose picture, logo and icon addresses are relative,
// and of JSON Feeds.
#include <gtest/gtest.h>

#include "engine/refresh_fixture.h"

namespace wrenly {
namespace {

using testing::ChannelFile;
using testing::PictureFileOf;
using testing::PngBytes;
using testing::Records;
using testing::Refresh;
using testing::RssFeed;
using testsupport::ReadFile;

TEST_F(Refresh, RelativePictureAddressesAreFetchedAsABrowserWouldAndKeptUnderTheirWrittenKey) {
  ASSERT_TRUE(SetSettingInt(setting::kDownloadFulltext, 0));
  site_.Serve("/img/root.png", PngBytes(1), "image/png");
  site_.Serve("/articles/img/near.png", PngBytes(2), "image/png");
  site_.Serve("/cdn/far.png", PngBytes(3), "image/png");
  site_.Serve("/news/img/orphan.png", PngBytes(4), "image/png");
  site_.Serve("/logos/logo.png", PngBytes(5), "image/png");
  const std::string host = site_.UrlUtf8("/").substr(5);  // "//127.0.0.1:port/"
  std::string feed = RssFeed("One", site_.UrlUtf8("/news/"), "../logos/logo.png",
                             {{"A", site_.UrlUtf8("/articles/a.html"),
                               "<img src=\"/img/root.png\"><img src='img/near.png'><img src=\"" + host + "cdn/far.png\">"}});
  // An item without a link takes its pictures relative to the channel.
  feed.insert(feed.find("</channel>"), "<item><title>B</title><description>&lt;img src=\"img/orphan.png\"&gt;</description></item>");
  site_.Serve("/feed.xml", feed);
  panel_.AddRow(100, u"One", site_.Url("/feed.xml"));
  RunRefresh();
  ASSERT_EQ(panel_.Icon(0), kIconUpdated);
  const std::pair<std::u16string, int> pictures[] = {
      {u"/img/root.png", 1}, {u"img/near.png", 2}, {Utf8ToUtf16(host + "cdn/far.png"), 3}, {u"img/orphan.png", 4}};
  for (const auto& [written, seed] : pictures) {
    const std::string file = PictureFileOf(100, written);
    ASSERT_FALSE(file.empty()) << seed;
    EXPECT_EQ(ReadFile(file), PngBytes(seed)) << seed;
  }
  EXPECT_EQ(ReadFile(ChannelFile(100, "-Logo.img")), PngBytes(5));
}

TEST_F(Refresh, AJsonFeedRefreshesLikeRssWithItsOwnIcons) {
  ASSERT_TRUE(SetSettingInt(setting::kDownloadFulltext, 0));
  site_.Serve("/icon.png", PngBytes(1), "image/png");
  site_.Serve("/fav.png", PngBytes(2), "image/png");
  site_.Serve("/pic.png", PngBytes(3), "image/png");
  site_.Serve("/feed.json",
              R"({"version": "https://jsonfeed.org/version/1.1", "title": "J", "home_page_url": ")" +
                  site_.UrlUtf8("/") + R"(", "icon": "/icon.png", "favicon": "fav.png", "items": [
                  {"id": "1", "url": ")" + site_.UrlUtf8("/a.html") + R"(", "title": "One",
                   "content_text": "plain", "image": "pic.png"}]})",
              "application/feed+json");
  panel_.AddRow(100, u"J", site_.Url("/feed.json"));
  RunRefresh();
  ASSERT_EQ(panel_.Icon(0), kIconUpdated);
  const std::vector<ItemRecord> items = Records(ChannelFile(100, ".bin"));
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].title, u"One");
  EXPECT_EQ(items[0].description, u"<p><img src=\"pic.png\"></p>plain");
  EXPECT_EQ(ReadFile(PictureFileOf(100, u"pic.png")), PngBytes(3));
  EXPECT_EQ(ReadFile(ChannelFile(100, "-Logo.img")), PngBytes(1));
  EXPECT_EQ(ReadFile(ChannelFile(100, "-Fav.ico")), PngBytes(2));
  EXPECT_EQ(site_.Requests("/favicon.ico"), 0);
}

}  // namespace
}  // namespace wrenly
