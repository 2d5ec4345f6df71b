// Feed discovery against a site on 127.0.0.1: pages that name their feeds,
// relative and based links, the usual paths, redirects, and nothing at all.
#include "engine/feed_discovery.h"

#include <gtest/gtest.h>

#include <thread>

#include "engine/refresh_test_support.h"
#include "platform/text.h"

namespace wrenly {
namespace {

using testing::RssFeed;
using testing::TestSite;

std::string Page(const std::string& head) {
  return "<!DOCTYPE html><html><head><title>A site</title>" + head + "</head><body><p>Hello</p></body></html>";
}

std::string AtomFeed(const std::string& title) {
  return "<?xml version=\"1.0\"?><feed xmlns=\"http://www.w3.org/2005/Atom\"><title>" + title +
         "</title><entry><title>E</title><link href=\"http://127.0.0.1:9/e\"/></entry></feed>";
}

// Discovery on a thread of its own, as the programs run it: the thread's
// kept-alive connections end with it, so the test server stops at once.
FeedDiscovery Discover(const std::u16string& address) {
  FeedDiscovery result;
  std::thread([&] { result = DiscoverFeeds(address); }).join();
  return result;
}

std::vector<std::string> Urls(const FeedDiscovery& d) {
  std::vector<std::string> urls;
  for (const DiscoveredFeed& f : d.feeds) urls.push_back(Utf16ToUtf8(f.url));
  return urls;
}

class FeedDiscoveryTest : public ::testing::Test {
 protected:
  void ServeFeeds() {
    site_.Serve("/news.rss", RssFeed("Daily News", "", "", {{"One", "http://127.0.0.1:9/1", "x"}}));
    site_.Serve("/blog/atom.xml", AtomFeed("The Blog"));
    site_.Serve("/feed.json", R"({"version":"https://jsonfeed.org/version/1.1","title":"Jay","items":[]})",
                "application/feed+json");
  }
  TestSite site_;
};

TEST_F(FeedDiscoveryTest, APageWithOneLinkGivesThatFeedWithItsOwnTitle) {
  ServeFeeds();
  site_.Serve("/", Page(R"(<link rel="stylesheet" href="/s.css"><link rel="alternate" type="application/rss+xml" )"
                        R"(title="Link title" href=")" + site_.UrlUtf8("/news.rss") + R"(">)"),
              "text/html");
  const FeedDiscovery d = Discover(site_.Url("/"));
  EXPECT_TRUE(d.error.empty());
  ASSERT_EQ(Urls(d), std::vector<std::string>{site_.UrlUtf8("/news.rss")});
  EXPECT_EQ(d.feeds[0].title, u"Daily News");
  EXPECT_EQ(site_.Requests("/feed"), 0);  // the usual paths only when the page names none
}

TEST_F(FeedDiscoveryTest, SeveralRelativeAndBasedLinksAreResolvedAndKeptInPageOrder) {
  ServeFeeds();
  site_.Serve("/section/index.html",
              Page(R"(<link rel="alternate" type="application/atom+xml" href="../blog/atom.xml">)"
                   R"(<link rel="Alternate Home" type="application/feed+json; charset=utf-8" href="/feed.json">)"
                   R"(<link rel="alternate" type="text/html" hreflang="de" href="/de/">)"
                   R"(<link rel="alternate" type="application/rss+xml" href="/missing.rss">)"),
              "text/html");
  site_.Handle("/missing.rss", [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
  site_.Serve("/based/page.html", Page(R"(<base href="/blog/"><link rel="alternate" type="application/atom+xml" href="atom.xml">)"),
              "text/html");

  const FeedDiscovery d = Discover(site_.Url("/section/index.html"));
  EXPECT_EQ(Urls(d), (std::vector<std::string>{site_.UrlUtf8("/blog/atom.xml"), site_.UrlUtf8("/feed.json")}));
  ASSERT_EQ(d.feeds.size(), 2u);
  EXPECT_EQ(d.feeds[0].title, u"The Blog");
  EXPECT_EQ(d.feeds[1].title, u"Jay");
  EXPECT_EQ(site_.Requests("/missing.rss"), 1);  // named, tried, and dropped: a 404
  EXPECT_EQ(site_.Requests("/de/"), 0);

  EXPECT_EQ(Urls(Discover(site_.Url("/based/page.html"))), std::vector<std::string>{site_.UrlUtf8("/blog/atom.xml")});
}

TEST_F(FeedDiscoveryTest, APageThatNamesNoFeedFallsBackToTheUsualPathsKeepingEachFeedOnce) {
  const std::string feed = RssFeed("Usual", "", "", {{"One", "http://127.0.0.1:9/1", "x"}});
  site_.Serve("/feed", feed);
  site_.Serve("/rss", feed);  // the same feed again
  site_.Serve("/atom.xml", "<html><body>not a feed</body></html>", "text/html");
  site_.Serve("/", Page(""), "text/html");
  const FeedDiscovery d = Discover(site_.Url("/"));
  ASSERT_EQ(Urls(d), std::vector<std::string>{site_.UrlUtf8("/feed")});
  EXPECT_EQ(d.feeds[0].title, u"Usual");
}

TEST_F(FeedDiscoveryTest, NothingFoundSaysWhatWasTried) {
  site_.Serve("/", Page(""), "text/html");
  const FeedDiscovery d = Discover(site_.Url("/"));
  EXPECT_TRUE(d.feeds.empty());
  EXPECT_TRUE(d.error.empty());
  std::vector<std::u16string> expected = {site_.Url("/")};
  for (const char* path : kUsualFeedPaths) expected.push_back(site_.Url(path));
  EXPECT_EQ(d.tried, expected);
}

TEST_F(FeedDiscoveryTest, LinksOfAPageReachedByARedirectResolveAgainstThePage) {
  ServeFeeds();
  site_.Serve("/blog/", Page(R"(<link rel="alternate" type="application/atom+xml" href="atom.xml">)"), "text/html");
  site_.Handle("/go", [this](const httplib::Request&, httplib::Response& res) { res.set_redirect(site_.UrlUtf8("/blog/")); });
  EXPECT_EQ(Urls(Discover(site_.Url("/go"))), std::vector<std::string>{site_.UrlUtf8("/blog/atom.xml")});
}

TEST_F(FeedDiscoveryTest, AFeedAddressIsItsOwnAnswerAndAnUnreachableOneAnError) {
  ServeFeeds();
  const FeedDiscovery feed = Discover(site_.Url("/news.rss"));
  ASSERT_EQ(Urls(feed), std::vector<std::string>{site_.UrlUtf8("/news.rss")});
  EXPECT_EQ(feed.feeds[0].title, u"Daily News");

  const FeedDiscovery gone = Discover(u"http://127.0.0.1:1/");
  EXPECT_TRUE(gone.feeds.empty());
  EXPECT_FALSE(gone.error.empty());
}

}  // namespace
}  // namespace wrenly
