#include "store/json_feed.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/text.h"
#include "store/channel_files.h"
#include "store/feed_parser.h"
#include "store/item_record.h"
#include "store/paths.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

std::string Corpus(const std::string& name) { return std::string(WRENLY_TESTDATA) + "/" + name; }

std::optional<JsonFeed> Parse(const std::string& text) { return ParseJsonFeed(text); }

std::string Feed(const std::string& items, const std::string& version = "https://jsonfeed.org/version/1.1") {
  return R"({"version": ")" + version + R"(", "title": "T", "items": [)" + items + "]}";
}

TEST(JsonFeed, PublishedDocumentsReadLikeFeeds) {
  for (const char* name : {"gofeed-json/version_json_10.json", "gofeed-json/version_json_11.json",
                           "gofeed-json/version_json_11_deprecated_author.json"}) {
    CFeedParser parser;
    ASSERT_EQ(parser.Load(Corpus(name)), 1) << name;
    EXPECT_EQ(parser.Kind(), FeedKind::kJson);
    EXPECT_STREQ(FeedKindName(parser.Kind()), "json");
    EXPECT_EQ(parser.ChannelTitle(), u"title");
    EXPECT_EQ(parser.ChannelLink(), u"https://sample-json-feed.com");
    EXPECT_EQ(parser.LogoAddress(), u"https://sample-json-feed.com/icon.png");
    EXPECT_EQ(parser.SiteIconAddress(), u"https://sample-json-feed.com/favicon.png");
    const std::vector<FeedItem> items = parser.ReadItems();
    ASSERT_EQ(items.size(), 1u) << name;
    EXPECT_EQ(items[0].title, u"title");
    EXPECT_EQ(items[0].link, u"https://sample-json-feed.com/id");
    EXPECT_EQ(items[0].date, u"2019-10-12T07:20:50.52Z");
    // content_html wins; the item's image is shown in front of it.
    EXPECT_EQ(items[0].description,
              u"<p><img src=\"https://sample-json-feed.com/image.png\"></p><p>content_html</p>");
  }
  CFeedParser example;
  ASSERT_EQ(example.Load(Corpus("feedparser/tests/json/example.json")), 1);
  EXPECT_EQ(example.ChannelTitle(), u"My Example Feed");
  EXPECT_EQ(example.SiteIconAddress(), std::nullopt);
  const std::vector<FeedItem> items = example.ReadItems();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].description, u"This is a second item.");
  EXPECT_EQ(items[1].title, u"");
  EXPECT_EQ(items[1].link, u"https://example.org/initial-post");
}

TEST(JsonFeed, MissingFieldsFallBackInOrder) {
  const auto feed = Parse(Feed(R"(
    {"id": "tag:1", "external_url": "http://x/ext", "date_modified": "2026-01-02T03:04:05Z",
     "content_text": "a < b & \"c\"", "summary": "not used"},
    {"id": "tag:2", "summary": "<b>only</b>", "image": "http://x/i.png"},
    {"id": "tag:3", "content_html": "<img src=\"http://x/i.png\">"},
    {"title": 5, "url": ["wrong"], "content_html": null},
    "not an item"
  )"));
  ASSERT_TRUE(feed);
  ASSERT_EQ(feed->items.size(), 4u);
  EXPECT_EQ(feed->items[0].link, u"http://x/ext");
  EXPECT_EQ(feed->items[0].date, u"2026-01-02T03:04:05Z");
  EXPECT_EQ(feed->items[0].description, u"a &lt; b &amp; \"c\"");
  EXPECT_EQ(feed->items[1].link, u"tag:2");
  EXPECT_EQ(feed->items[1].description, u"<p><img src=\"http://x/i.png\"></p><b>only</b>");
  EXPECT_EQ(feed->items[2].description, u"<img src=\"http://x/i.png\">");  // already shown
  EXPECT_EQ(feed->items[3].title, u"");
  EXPECT_EQ(feed->items[3].link, u"");
  EXPECT_EQ(feed->items[3].description, u"");
  EXPECT_EQ(feed->homePageUrl, std::nullopt);
}

TEST(JsonFeed, OnlyJsonFeedVersionsAreFeeds) {
  for (const char* version : {"https://jsonfeed.org/version/1", "https://jsonfeed.org/version/1.1",
                              "http://jsonfeed.org/version/1", "1.0", "1.1"})
    EXPECT_TRUE(Parse(Feed("", version))) << version;
  for (const char* version : {"https://jsonfeed.org/version/2", "https://example.org/version/1", "2.0", ""})
    EXPECT_FALSE(Parse(Feed("", version))) << version;
  EXPECT_FALSE(Parse(R"({"version": "https://jsonfeed.org/version/1.1", "items": {}})"));
  EXPECT_FALSE(Parse(R"({"version": 1.1, "items": []})"));
  EXPECT_FALSE(Parse(R"({"version": "https://jsonfeed.org/version/1.1"})"));
  EXPECT_FALSE(Parse(R"(["https://jsonfeed.org/version/1.1"])"));
  EXPECT_FALSE(Parse(std::string(100000, '[')));
  EXPECT_FALSE(Parse("{\"a\":" + std::string(100000, '[')));
  EXPECT_TRUE(Parse("\xEF\xBB\xBF \n" + Feed("{}")));
}

// Damage costs what it touches: bytes that are not UTF-8 and lone
// surrogates become U+FFFD, numbers out of range are no matter, and an item
// that is not well-formed is dropped alone.
TEST(JsonFeed, DamageCostsOnlyWhatItTouches) {
  const auto feed = Parse("{\"version\": \"1.1\", \"count\": 1e999, \"title\": \"a\xff" "b\", \"items\": ["
                          R"({"url": "http://x/1",)"
                          R"( "title": "lone \ud800 high, \udc00 low, pair \ud83d\ude00, \ud800\u0041"},)"
                          "{\"url\": \"http://x/2\", \"title\": \"\xC0\x80\xED\xA0\x80\xF0\x9F\x98\x80\xE2\x82\"},"
                          R"({"url": "http://x/3", "title": "x" "broken": [1, {"y": 2}]},)"
                          R"({"url": "http://x/4", "size": 1e999, "title": "esc \q \u12"},)"
                          R"(7, [{"url": "http://x/nested"}], {"url": : "http://x/5"}, {"url": "http://x/6"})"
                          "]}");
  ASSERT_TRUE(feed);
  EXPECT_EQ(feed->title, u"a\uFFFDb");
  std::vector<std::u16string> links;
  for (const FeedItem& item : feed->items) links.push_back(item.link);
  EXPECT_EQ(links, (std::vector<std::u16string>{u"http://x/1", u"http://x/2", u"http://x/4", u"http://x/6"}));
  EXPECT_EQ(feed->items[0].title, u"lone \uFFFD high, \uFFFD low, pair \U0001F600, \uFFFDA");
  EXPECT_EQ(feed->items[1].title, u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\U0001F600\uFFFD");
  EXPECT_EQ(feed->items[2].title, u"esc \uFFFD \uFFFD");

  // A document cut short keeps the items before the cut.
  const auto cut = Parse(Feed(R"({"url": "http://x/1"}, {"url": "http://x/2", "title": "unfinis)").substr(0, 120));
  ASSERT_TRUE(cut);
  ASSERT_EQ(cut->items.size(), 1u);
  EXPECT_EQ(cut->items[0].link, u"http://x/1");
}

TEST(JsonFeed, OnlyTheItemsAskedForAreBuiltAndTextsHaveALimit) {
  const std::string huge(3 * kMaxJsonBodyUnits, 'h');
  const auto feed = ParseJsonFeed(R"({"items": [{"content_html": ")" + huge + R"(", "url": ")" + huge +
                                      R"("}, {}, {}], "version": "1", "title": "after the items"})",
                                  2);
  ASSERT_TRUE(feed);
  EXPECT_EQ(feed->title, u"after the items");
  ASSERT_EQ(feed->items.size(), 2u);
  EXPECT_EQ(feed->items[0].description.size(), kMaxJsonBodyUnits);
  EXPECT_EQ(feed->items[0].link.size(), kMaxJsonTextUnits);
  EXPECT_FALSE(ParseJsonFeed(R"({"items": [{}], "version": "2"})", 1));
}

// The peak resident memory of `run`, above what the process held before.
std::optional<long> PeakGrowthKiB(const std::function<void()>& run) {
  const auto status = [](const char* field) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
      if (line.starts_with(field)) return std::stol(line.substr(std::string(field).size()));
    return 0L;
  };
  std::ofstream reset("/proc/self/clear_refs");
  reset << "5";  // resets the peak
  reset.close();
  if (!reset) return std::nullopt;
  const long before = status("VmRSS:");
  run();
  return status("VmHWM:") - before;
}

TEST(JsonFeed, AMergeOfALargeFeedBuildsOnlyWhatItKeeps) {
  testsupport::IsolatedHome home;
  testsupport::TempDir dir;
  const std::string path = dir.path() + "/" + ChannelFileName(100, "~.xml");
  {
    std::string items;
    for (int n = 0; items.size() < 6'000'000; ++n) items += R"({"url": "http://x/)" + std::to_string(n) + R"("}, {},)";
    items += R"({"content_html": ")" + std::string(20'000'000, 'c') + R"("})";
    WriteFile(path, Feed(items));
  }
  CFeedParser parser;
  parser.SetArticleLimit(50);
  const std::optional<long> growth = PeakGrowthKiB([&] {
    ASSERT_EQ(parser.Load(path), 1);
    ASSERT_EQ(parser.MergeItems(), 1);
  });
  EXPECT_EQ(parser.newItemCount(), 26);  // 25 links and the first of the items without one
  if (!growth) GTEST_SKIP() << "the peak memory cannot be reset here";
  EXPECT_LT(*growth, 32 * 1024);
}

TEST(JsonFeed, BadJsonIsNotAFeedAndStoresNothing) {
  testsupport::IsolatedHome home;
  testsupport::TempDir dir;
  const std::string path = dir.path() + "/" + ChannelFileName(100, "~.xml");
  WriteFile(path, ReadFile(Corpus("gofeed-json/invalid/invalid.json")));
  CFeedParser parser;
  EXPECT_EQ(parser.Load(path), 0);
  EXPECT_EQ(parser.Kind(), FeedKind::kNotAFeed);
  EXPECT_FALSE(parser.LastError().empty());
  EXPECT_EQ(parser.MergeItems(), 0);
  EXPECT_FALSE(FileExists(ItemFilePathForFeed(path)));
  EXPECT_FALSE(FileExists(UrlIndexPathForFeed(path)));
  // An XML feed still loads in the same object afterwards.
  WriteFile(path, "<rss version=\"2.0\"><channel><item><link>http://x/1</link></item></channel></rss>");
  EXPECT_EQ(parser.Load(path), 1);
  EXPECT_EQ(parser.Kind(), FeedKind::kRss);
}

TEST(JsonFeed, MergesIntoTheStoreLikeRss) {
  testsupport::IsolatedHome home;
  testsupport::ScopedEnv tz{"TZ", "UTC0"};
  testsupport::TempDir dir;
  const std::string path = dir.path() + "/" + ChannelFileName(100, "~.xml");
  WriteFile(path, Feed(R"({"id": "1", "url": "http://x/1", "title": "One", "date_published": "2026-01-02T03:04:05Z",
                           "content_html": "<p>hi</p>", "image": "http://x/one.png"},
                          {"id": "2", "url": "http://x/2", "title": "Two"})"));
  CFeedParser parser;
  parser.SetArticleLimit(50);
  ASSERT_EQ(parser.Load(path), 1);
  ASSERT_EQ(parser.MergeItems(), 1);
  EXPECT_EQ(parser.newItemCount(), 2);
  EXPECT_EQ(parser.pictures(), std::vector<std::u16string>{u"http://x/one.png"});
  RecordReader reader(ItemFilePathForFeed(path));
  ItemRecord record;
  ASSERT_TRUE(reader.Next(record, RecordReader::kAllTexts));
  EXPECT_EQ(record.title, u"One");
  EXPECT_EQ(record.link, u"http://x/1");
  EXPECT_EQ(record.date, u"2026-01-02 03:04:05");
  ASSERT_TRUE(reader.Next(record, RecordReader::kAllTexts));
  EXPECT_EQ(record.link, u"http://x/2");
  EXPECT_FALSE(record.date.empty());  // no date: the time of the merge
}

}  // namespace
}  // namespace wrenly
