// The bounded reading of XML feeds: the same items, channel fields and
// failures as a whole-document parse, on real feeds and on damaged ones, and
// a parse of a huge feed that holds only the items a merge can take.
#include "store/feed_document.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "store/channel_store.h"
#include "store/feed_parser.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

bool ParsesWhole(std::string_view bytes) {
  tinyxml2::XMLDocument doc;
  return doc.Parse(bytes.data(), bytes.size()) == tinyxml2::XML_SUCCESS;
}

bool ParsesBounded(std::string_view bytes, size_t maxItems) {
  const std::optional<BoundedFeedDocument> kept = BoundFeedDocument(bytes, maxItems, nullptr);
  return kept && ParsesWhole(kept->text);
}

// The feed files of the corpora in testdata, and of the folder named by
// WRENLY_FEED_CORPUS when it is set (e.g. a whole corpus not copied here).
std::vector<std::string> CorpusFeeds() {
  std::vector<std::string> folders;
  for (const char* name : {"feedparser", "feedvalidator", "newsboat", "rss-parser"})
    folders.push_back(std::string(WRENLY_TESTDATA) + "/" + name);
  if (const char* extra = std::getenv("WRENLY_FEED_CORPUS")) folders.emplace_back(extra);
  std::vector<std::string> files;
  for (const std::string& folder : folders) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
      const std::string ext = entry.path().extension().string();
      if (entry.is_regular_file() && ext != ".txt" && ext != ".md" && ext != ".json" && ext != ".html")
        files.push_back(entry.path().string());
    }
  }
  return files;
}

std::vector<std::u16string> ItemFields(const CFeedParser& feed, size_t count) {
  std::vector<std::u16string> fields;
  for (const FeedItem& item : feed.ReadItems()) {
    if (count-- == 0) break;
    for (const std::u16string* field : {&item.title, &item.link, &item.date, &item.description})
      fields.push_back(*field);
  }
  return fields;
}

TEST(BoundedFeedDocument, CorpusFeedsGiveTheSameItemsAndChannelAsAWholeParse) {
  size_t compared = 0;
  for (const std::string& file : CorpusFeeds()) {
    CFeedParser whole;
    const int wholeLoaded = whole.Load(file, CFeedParser::kWholeDocument);
    for (const size_t limit : {size_t{1}, size_t{2}, size_t{100}}) {
      CFeedParser bounded;
      ASSERT_EQ(bounded.Load(file, limit), wholeLoaded) << file << " " << bounded.LastError();
      if (wholeLoaded != 1) continue;
      ++compared;
      EXPECT_EQ(bounded.Kind(), whole.Kind()) << file;
      EXPECT_EQ(bounded.EncodingMode(), whole.EncodingMode()) << file;
      EXPECT_EQ(bounded.ChannelTitle(), whole.ChannelTitle()) << file;
      EXPECT_EQ(bounded.ChannelLink(), whole.ChannelLink()) << file;
      EXPECT_EQ(bounded.LogoAddress(), whole.LogoAddress()) << file;
      EXPECT_EQ(bounded.ChannelInfoHtml(), whole.ChannelInfoHtml()) << file;
      EXPECT_EQ(ItemFields(bounded, 1000), ItemFields(whole, limit)) << file << " limit " << limit;
    }
  }
  EXPECT_GT(compared, 150u);
}

// Every cut of a feed, and every byte of it replaced by a character that
// matters to the markup: the bounded reading fails exactly when the whole
// parse does.
TEST(BoundedFeedDocument, DamagedFeedsFailAsTheyWouldWhole) {
  const std::string rss =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE rss [<!ENTITY a \"b\">]>\n<rss version=\"2.0\"><channel>"
      "<title>T</title><item><title a='1'>One</title><link>l1</link></item>\n"
      "<item><title>Two<![CDATA[ <b>x</b> ]]></title><!-- <item> --><link>l2</link></item>"
      "<item/><item><x:y z=\"&amp;\"/><p><q>deep</q></p></item><!-- c -->"
      "<image><url>u</url></image></channel></rss>\n";
  const std::string atom =
      "<a:feed xmlns:a=\"http://www.w3.org/2005/Atom\"><a:entry><a:id>1</a:id></a:entry>"
      "<a:entry><a:id>2</a:id><a:content type=\"xhtml\"><div>x<br/></div></a:content></a:entry>"
      "<a:entry><a:id>3</a:id></a:entry><a:title>T</a:title></a:feed>";
  const std::string rdf =
      "<rdf:RDF><channel><title>T</title></channel><item><link>1</link></item>"
      "<item><link>2</link><dc:date>d</dc:date></item><item><link>3</link></item></rdf:RDF>";
  for (const std::string& feed : {rss, atom, rdf}) {
    ASSERT_TRUE(ParsesWhole(feed));
    ASSERT_TRUE(ParsesBounded(feed, 1));
    for (size_t cut = 0; cut < feed.size(); ++cut)
      EXPECT_EQ(ParsesBounded(feed.substr(0, cut), 1), ParsesWhole(feed.substr(0, cut)))
          << feed.substr(0, cut);
    for (size_t at = 0; at < feed.size(); ++at) {
      for (const char c : std::string("<>/\"'=!?-[] a\0", 14)) {
        std::string damaged = feed;
        damaged[at] = c;
        EXPECT_EQ(ParsesBounded(damaged, 1), ParsesWhole(damaged)) << damaged;
      }
    }
  }
}

std::string Item(size_t i) {
  return "<item><title>Item " + std::to_string(i) + "</title><link>http://big/" + std::to_string(i) +
         "</link><description>" + std::string(1000, 'x') + "</description></item>\n";
}

size_t ChildElements(const tinyxml2::XMLElement* parent) {
  size_t count = 0;
  for (const tinyxml2::XMLElement* e = parent->FirstChildElement(); e != nullptr; e = e->NextSiblingElement())
    ++count;
  return count;
}

class HugeFeedTest : public ::testing::Test {
 protected:
  // A feed of `bytes` whose channel title, link and logo come after its items.
  void WriteHugeFeed(size_t bytes) {
    std::string feed = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<rss version=\"2.0\"><channel>\n";
    for (size_t i = 0; feed.size() < bytes; ++i) feed += Item(i);
    feed += "<title>Gro\xDF</title><link>http://big/</link><image><url>http://big/l.png</url></image>"
            "</channel></rss>\n";
    WriteFile(feed_, feed);
  }

  testsupport::IsolatedHome home_;
  testsupport::TempDir dir_;
  std::string feed_ = dir_.path() + "/Ch100~.xml";
  std::string items_ = dir_.path() + "/Ch100.bin";
};

TEST_F(HugeFeedTest, OnlyTheItemsAMergeCanTakeAreParsed) {
  WriteHugeFeed(40u << 20);
  CFeedParser parser;
  ASSERT_EQ(parser.Load(feed_), 1) << parser.LastError();
  // The tree holds the channel's own elements and the first hundred items.
  EXPECT_EQ(ChildElements(parser.Document()->RootElement()->FirstChildElement("channel")), 103u);
  EXPECT_EQ(parser.ChannelTitle(), u"Gro\u00DF");
  EXPECT_EQ(parser.LogoAddress(), u"http://big/l.png");
  parser.SetArticleLimit(100);
  EXPECT_EQ(parser.MergeItems(), 1);
  EXPECT_EQ(parser.newItemCount(), 100);
  const std::vector<FeedItem> items = parser.ReadItems();
  ASSERT_EQ(items.size(), 100u);
  EXPECT_EQ(items.back().link, u"http://big/99");

  std::string error;
  const std::optional<BoundedFeedDocument> kept = ReadBoundedFeedDocument(feed_, 100, &error);
  ASSERT_TRUE(kept) << error;
  EXPECT_LT(kept->text.size(), 120u * 1024);
}

TEST_F(HugeFeedTest, ACutOrBrokenHugeFeedFailsAndKeepsWhatIsStored) {
  WriteHugeFeed(1u << 20);
  {
    CFeedParser parser;
    ASSERT_EQ(parser.Load(feed_), 1);
    ASSERT_EQ(parser.MergeItems(), 1);
  }
  const std::string stored = ReadFile(items_);
  WriteHugeFeed(24u << 20);
  const std::string feed = ReadFile(feed_);
  std::string broken = feed;
  broken.replace(broken.rfind("</item>", broken.size() / 2), 7, "</itme>");
  for (const std::string& bad : {feed.substr(0, feed.size() / 2), broken, feed.substr(0, feed.size() - 3)}) {
    WriteFile(feed_, bad);
    CFeedParser parser;
    EXPECT_EQ(parser.Load(feed_), 0);
    EXPECT_NE(parser.LastError().find("not well-formed"), std::string::npos) << parser.LastError();
    EXPECT_EQ(parser.Kind(), FeedKind::kNotAFeed);
    EXPECT_EQ(parser.MergeItems(), 0);
    EXPECT_TRUE(ReadFile(items_) == stored);
  }
}

TEST(BoundedFeedDocument, ItemsPastTheCostLimitAreLeftOutAndAHugeChannelFails) {
  const std::string big(400 * 1024, 'x');
  std::string feed = "<rss><channel><title>T</title>";
  for (int i = 0; i < 5; ++i) feed += "<item><link>" + std::to_string(i) + "</link><b>" + big + "</b></item>";
  feed += "<item><link>5</link></item><link>L</link></channel></rss>";
  std::string error;
  std::optional<BoundedFeedDocument> kept = BoundFeedDocument(feed, 100, &error, 1u << 20);
  ASSERT_TRUE(kept) << error;
  EXPECT_LT(kept->text.size(), 1u << 20);
  tinyxml2::XMLDocument doc;
  ASSERT_EQ(doc.Parse(kept->text.data(), kept->text.size()), tinyxml2::XML_SUCCESS);
  const tinyxml2::XMLElement* channel = doc.RootElement()->FirstChildElement("channel");
  // The title, the two big items that fit, the small last item and the link.
  EXPECT_EQ(ChildElements(channel), 5u);
  const tinyxml2::XMLElement* second = channel->FirstChildElement("item")->NextSiblingElement();
  EXPECT_STREQ(second->FirstChildElement("link")->GetText(), "1");
  EXPECT_STREQ(channel->LastChildElement("item")->FirstChildElement("link")->GetText(), "5");

  const std::string hugeChannel =
      "<rss><channel><description>" + big + big + big + "</description></channel></rss>";
  EXPECT_FALSE(BoundFeedDocument(hugeChannel, 100, &error, 1u << 20));
  EXPECT_NE(error.find("besides its items"), std::string::npos) << error;
}

}  // namespace
}  // namespace wrenly
