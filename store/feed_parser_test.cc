#include "store/feed_parser.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "store/channel_files.h"
#include "store/channel_store.h"
#include "store/dates.h"
#include "store/settings.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

std::string Item(int i, const std::string& extra = "") {
  return "<item><title>Item " + std::to_string(i) + "</title><link>http://example.com/" +
         std::to_string(i) + "</link>" + extra + "</item>\n";
}

std::string Rss(const std::string& items, const std::string& version = "2.0") {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"" + version +
         "\"><channel><title>Chan</title><link>http://example.com/</link>"
         "<image><url>http://example.com/logo.png</url></image>\n" +
         items + "</channel></rss>\n";
}

class FeedParserTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SetSettingInt(setting::kArticlesNumber, 50)); }

  // Writes the feed as Ch100~.xml, loads and merges it; the merge's result.
  int Merge(const std::string& feed, CFeedParser& parser) {
    WriteFile(feedPath_, feed);
    EXPECT_EQ(parser.Load(feedPath_), 1);
    return parser.MergeItems();
  }
  int Merge(const std::string& feed) {
    CFeedParser parser;
    return Merge(feed, parser);
  }
  std::vector<ItemRecord> Records(const std::string& path) {
    std::vector<ItemRecord> all;
    CChannelStore store(path, false);
    while (store.ReadNext()) all.push_back(store.current());
    return all;
  }
  std::vector<std::u16string> Links(const std::string& path) {
    std::vector<std::u16string> links;
    for (const ItemRecord& r : Records(path)) links.push_back(r.link);
    return links;
  }

  testsupport::IsolatedHome home_;
  testsupport::TempDir dir_;
  testsupport::ScopedEnv tz_{"TZ", "UTC0"};
  std::string feedPath_ = dir_.path() + "/Ch100~.xml";
  std::string items_ = dir_.path() + "/Ch100.bin";
  std::string index_ = dir_.path() + "/Ch100.iid";
};

TEST_F(FeedParserTest, RecognisesRssRdfAndAtomAndNothingElse) {
  CFeedParser rss;
  WriteFile(feedPath_, Rss(Item(1), "0.92"));
  ASSERT_EQ(rss.Load(feedPath_), 1);
  EXPECT_EQ(rss.Kind(), FeedKind::kRss);
  EXPECT_TRUE(rss.ChannelInfoHtml().starts_with(u"<HTML><BODY>No details Available.<BR><B>Title"));
  EXPECT_EQ(rss.VersionKind(), CFeedParser::kVersionOther);
  EXPECT_EQ(rss.MergeItems(), 1);
  EXPECT_EQ(Links(items_), std::vector<std::u16string>{u"http://example.com/1"});

  for (const std::string& notAFeed :
       {std::string("<opml version=\"1.0\"><body/></opml>"), std::string("<rss version=\"2.0\"/>"),
        std::string("<feed><entry><link href=\"http://x/\"/></entry></feed>"),
        std::string("<feed xmlns=\"http://purl.org/atom/ns#\"><entry/></feed>"),
        std::string("<html><body><item><link>http://x/</link></item></body></html>")}) {
    std::filesystem::remove(items_);
    std::filesystem::remove(index_);
    CFeedParser parser;
    EXPECT_EQ(Merge(notAFeed, parser), 0) << notAFeed;
    EXPECT_EQ(parser.Kind(), FeedKind::kNotAFeed);
    EXPECT_FALSE(std::filesystem::exists(items_));
    EXPECT_FALSE(std::filesystem::exists(index_));
  }
}

TEST_F(FeedParserTest, RdfItemsStandBesideTheChannel) {
  const std::string rdf =
      "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
      "xmlns=\"http://purl.org/rss/1.0/\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
      "<channel><title>R</title><link>http://r/</link><image rdf:resource=\"http://r/i.png\"/>"
      "</channel><image><url>http://r/i.png</url></image>"
      "<item><title>One</title><link>http://r/1</link><dc:date>2009-01-27T04:44:03Z</dc:date></item>"
      "</rdf:RDF>";
  CFeedParser parser;
  EXPECT_EQ(Merge(rdf, parser), 1);
  EXPECT_EQ(parser.Kind(), FeedKind::kRdf);
  EXPECT_EQ(parser.ChannelTitle(), u"R");
  EXPECT_EQ(parser.LogoAddress(), std::nullopt);  // image is not inside channel
  const std::vector<ItemRecord> records = Records(items_);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].date, u"2009-01-27 04:44:03");
  parser.ChannelInfoHtml();
  EXPECT_EQ(parser.VersionKind(), CFeedParser::kVersionRdf);
}

TEST_F(FeedParserTest, OnlyTheFirstItemsUpToTheLimitAreLookedAt) {
  ASSERT_TRUE(SetSettingInt(setting::kArticlesNumber, 5));
  std::string items;
  for (int i = 0; i < 8; ++i) items += Item(i);
  ASSERT_EQ(Merge(Rss(items)), 1);
  EXPECT_EQ(Records(items_).size(), 5u);
  // A new item beyond the first five is not read even though it is new.
  std::string next = Item(0) + Item(1) + Item(2) + Item(3) + Item(4) + Item(99);
  CFeedParser parser;
  ASSERT_EQ(Merge(Rss(next), parser), 1);
  EXPECT_EQ(parser.newItemCount(), 0);
  // Limit 0 still reads the first item, and trimming then deletes every item.
  ASSERT_TRUE(SetSettingInt(setting::kArticlesNumber, 0));
  ASSERT_EQ(Merge(Rss(Item(77) + Item(78))), 1);
  EXPECT_EQ(CountItems(items_).total, 0);
  CChannelStore store(items_, false);
  EXPECT_FALSE(store.ContainsLink(u"http://example.com/78"));
}

TEST_F(FeedParserTest, RepeatedLinkGivesOneItemAndOneUrlIndexRecord) {
  CFeedParser parser;
  ASSERT_EQ(Merge(Rss(Item(1) + Item(2) + Item(1, "<title>changed</title>")), parser), 1);
  EXPECT_EQ(parser.newItemCount(), 2);
  EXPECT_EQ(parser.links(), (std::vector<std::u16string>{u"http://example.com/1", u"http://example.com/2"}));
  const std::vector<ItemRecord> index = Records(index_);
  ASSERT_EQ(index.size(), 2u);
  EXPECT_EQ(index[1].type, index[0].type + 1);  // the link sequence
  EXPECT_NEAR(static_cast<double>(index[0].flag), static_cast<double>(CurrentInstant()), 5.0);
  EXPECT_EQ(index[0].title + index[0].date + index[0].description, u"");

  // A known link keeps its stored title; a deleted one comes back unread.
  CChannelStore store(items_, false);
  ASSERT_TRUE(store.UpdateField(u"http://example.com/1", ItemField::kReadFlag, 2));
  ASSERT_TRUE(store.DeleteItem(u"http://example.com/2"));
  CFeedParser again;
  ASSERT_EQ(Merge(Rss(Item(1, "<title>new title</title>") + Item(2)), again), 1);
  EXPECT_EQ(again.newItemCount(), 1);
  EXPECT_TRUE(again.links().empty());  // both links were in the URL index
  const std::vector<ItemRecord> records = Records(items_);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].title, u"Item 1");
  EXPECT_EQ(records[0].flag, 2u);
  EXPECT_EQ(records[1].link, u"http://example.com/2");
  EXPECT_EQ(records[1].flag, 0u);
}

TEST_F(FeedParserTest, FieldsEntitiesAndDates) {
  const std::string items =
      "<item><TITLE>A &amp;amp; B &amp;#65;</TITLE><Link>\n  http://example.com/x  \n</Link>"
      "<pubDate>Tue, 27 Jan 2009 04:44:03 +0100</pubDate>"
      "<description>&lt;p&gt;caf&amp;#233;&lt;/p&gt;</description><guid>ignored</guid>"
      "<enclosure url=\"http://e/\"/></item>"
      "<item><title>no date</title><link>http://example.com/y</link>"
      "<pubDate>someday</pubDate><pubDate>27 Jan 2009 04:44 GMT</pubDate></item>"
      "<item><title>now</title><link>http://example.com/z</link></item>";
  ASSERT_EQ(Merge(Rss(items)), 1);
  const std::vector<ItemRecord> records = Records(items_);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].title, u"A & B A");
  EXPECT_EQ(records[0].link, u"http://example.com/x");
  EXPECT_EQ(records[0].date, u"2009-01-27 03:44:03");
  EXPECT_EQ(records[0].description, u"<p>caf\u00E9</p>");
  EXPECT_EQ(records[1].date, u"27 Jan 2009 04:44 GMT");  // the later element wins, kept as written
  EXPECT_EQ(records[2].date.size(), 19u);                // the download time
  EXPECT_EQ(records[2].date.substr(0, 2), u"20");
}

TEST_F(FeedParserTest, GuidIdentifiesAnItemWithoutLink) {
  const std::string items =
      "<item><title>a</title><guid isPermaLink=\"false\">urn:a</guid></item>"
      "<item><title>b</title><guid> urn:b </guid></item>"
      "<item><title>c</title></item><item><title>d</title></item>";
  ASSERT_EQ(Merge(Rss(items)), 1);
  EXPECT_EQ(Links(items_), (std::vector<std::u16string>{u"urn:a", u"urn:b", u""}));
  EXPECT_EQ(Links(index_), (std::vector<std::u16string>{u"urn:a", u"urn:b"}));
}

TEST_F(FeedParserTest, PicturesGetOneUrlIndexRecordEach) {
  const std::string items = Item(
      1, "<description><![CDATA[<img src=\"http://p/a.png\">text <IMG SRC='http://p/a.png'>"
         "<img src=http://p/b.png>]]></description>");
  CFeedParser parser;
  ASSERT_EQ(Merge(Rss(items + Item(2, "<description>&lt;img src=\"http://p/b.png\"&gt;</description>")), parser), 1);
  EXPECT_EQ(parser.pictures(), (std::vector<std::u16string>{u"http://p/a.png", u"http://p/b.png"}));
  const std::vector<ItemRecord> index = Records(index_);
  ASSERT_EQ(index.size(), 4u);  // link 1, a.png, b.png, link 2
  EXPECT_EQ(index[1].link, u"http://p/a.png");
  EXPECT_EQ(index[2].type, index[1].type + 1);  // the picture sequence
  CFeedParser again;
  ASSERT_EQ(Merge(Rss(items), again), 1);
  EXPECT_TRUE(again.pictures().empty());
  EXPECT_EQ(Records(index_).size(), 4u);
}

TEST_F(FeedParserTest, AbortStoresTheItemsSoFarAndStillTrims) {
  ASSERT_TRUE(SetSettingInt(setting::kArticlesNumber, 2));
  ASSERT_EQ(Merge(Rss(Item(1) + Item(2))), 1);
  int calls = 0;
  // Each item of Item() has two children; stop inside the third item.
  CFeedParser parser([&] { return ++calls > 8; });
  ASSERT_EQ(Merge(Rss(Item(5) + Item(4) + Item(3)), parser), 1);
  ASSERT_TRUE(SetSettingInt(setting::kArticlesNumber, 50));
  // Item 3 was abandoned; the others stored; trimmed back to two by date.
  CChannelStore store(items_, false);
  EXPECT_FALSE(store.ContainsLink(u"http://example.com/3"));
  EXPECT_EQ(CountItems(items_).total, 2);
}

TEST_F(FeedParserTest, ChannelGettersAndDetailsPage) {
  const std::string feed =
      "<rss version=\"2.0\"><channel><title>T &amp; U</title><link>http://l/</link>"
      "<Language>en</Language><ttl>60</ttl><copyright></copyright><foo>x</foo>"
      "<image><url>http://l/logo.png</url></image><item><link>http://l/1</link></item>"
      "</channel></rss>";
  CFeedParser parser;
  ASSERT_EQ(Merge(feed, parser), 1);
  EXPECT_EQ(parser.ChannelTitle(), u"T & U");
  EXPECT_EQ(parser.ChannelLink(), u"http://l/");
  EXPECT_EQ(parser.LogoAddress(), u"http://l/logo.png");
  EXPECT_EQ(parser.ChannelInfoHtml(),
            u"<HTML><BODY><B>RSS Version: </B>2.0<BR><B>Title: </B>T & U<BR>\n"
            u"<B>Link: </B>http://l/<BR>\n<B>Language: </B>en<BR>\n<B>TTL: </B>60<BR>\n"
            u"</BODY></HTML>");
  EXPECT_EQ(parser.VersionKind(), CFeedParser::kVersionRss20);
  CFeedParser empty;
  EXPECT_EQ(empty.ChannelTitle(), std::nullopt);
  EXPECT_EQ(empty.MergeItems(), 0);
}

TEST_F(FeedParserTest, AtomEntriesMergeLikeItems) {
  const std::string atom =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title type=\"html\">A &amp;amp; B</title>"
      "<link rel=\"self\" href=\"http://a/feed\"/><link href=\"http://a/\"/>"
      "<icon>http://a/icon.png</icon>"
      "<entry><title>Plain &lt;3</title><link rel=\"self\" href=\"http://a/self\"/>"
      "<link rel=\"alternate\" href=\"http://a/1\"/><link href=\"http://a/other\"/>"
      "<updated>2009-01-27T04:44:03Z</updated><published>2009-01-26T04:44:03+01:00</published>"
      "<summary>ignored</summary><content type=\"html\">&lt;img src=\"http://a/p.png\"&gt;</content></entry>"
      "<entry><title type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\"> X <b>Y</b> </div></title>"
      "<id>urn:2</id><updated>2009-01-27T04:44:03.5Z</updated>"
      "<content type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\"><p>a &amp; <img src=\"http://a/q.png\"/></p></div></content></entry>"
      "<entry><title>3</title><link href=\"http://a/3\"/><content src=\"http://a/out\"/>"
      "<summary>1 &lt; 2</summary></entry>"
      "</feed>";
  CFeedParser parser;
  ASSERT_EQ(Merge(atom, parser), 1);
  EXPECT_EQ(parser.Kind(), FeedKind::kAtom);
  EXPECT_EQ(parser.ChannelTitle(), u"A & B");
  EXPECT_EQ(parser.ChannelLink(), u"http://a/");
  EXPECT_EQ(parser.LogoAddress(), u"http://a/icon.png");
  EXPECT_EQ(parser.pictures(), (std::vector<std::u16string>{u"http://a/p.png", u"http://a/q.png"}));
  const std::vector<ItemRecord> records = Records(items_);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].title, u"Plain <3");
  EXPECT_EQ(records[0].link, u"http://a/1");
  EXPECT_EQ(records[0].date, u"2009-01-26 03:44:03");
  EXPECT_EQ(records[0].description, u"<img src=\"http://a/p.png\">");
  EXPECT_EQ(records[1].title, u"X Y");
  EXPECT_EQ(records[1].link, u"urn:2");
  EXPECT_EQ(records[1].date, u"2009-01-27 04:44:03");
  EXPECT_EQ(records[1].description, u"<p>a &amp; <img src=\"http://a/q.png\"/></p>");
  EXPECT_EQ(records[2].description, u"1 &lt; 2");
}

TEST_F(FeedParserTest, PrefixedAtomRoot) {
  const std::string atom =
      "<a:feed xmlns:a=\"http://www.w3.org/2005/Atom\"><a:title>P</a:title><a:logo>http://l</a:logo>"
      "<a:entry><a:title>e</a:title><a:link href=\"http://p/1\"/><title>not atom</title></a:entry>"
      "<entry><link href=\"http://p/2\"/></entry></a:feed>";
  CFeedParser parser;
  ASSERT_EQ(Merge(atom, parser), 1);
  EXPECT_EQ(parser.ChannelTitle(), u"P");
  EXPECT_EQ(parser.LogoAddress(), u"http://l");
  const std::vector<ItemRecord> records = Records(items_);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].title, u"e");
}

}  // namespace
}  // namespace wrenly
