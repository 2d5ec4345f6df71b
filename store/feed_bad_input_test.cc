// Real feeds from third-party corpora (testdata/, licences beside them) and
// malformed documents: no crash, no hang, nothing already stored is lost.
#include <gtest/gtest.h>

#include <filesystem>

#include "store/channel_store.h"
#include "store/dates.h"
#include "store/feed_parser.h"
#include "store/settings.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

std::string Corpus(const std::string& relative) {
  return std::string(WRENLY_TESTDATA) + "/" + relative;
}

class FeedInputTest : public ::testing::Test {
 protected:
  // Copies the document to Ch100~.xml, loads and merges it.
  int MergeBytes(const std::string& bytes, CFeedParser& parser) {
    WriteFile(feed_, bytes);
    parser.Load(feed_);
    return parser.MergeItems();
  }
  int MergeBytes(const std::string& bytes) {
    CFeedParser parser;
    return MergeBytes(bytes, parser);
  }
  std::vector<ItemRecord> Records() {
    std::vector<ItemRecord> all;
    CChannelStore store(items_, false);
    while (store.ReadNext()) all.push_back(store.current());
    return all;
  }

  testsupport::IsolatedHome home_;
  testsupport::TempDir dir_;
  testsupport::ScopedEnv tz_{"TZ", "UTC0"};
  std::string feed_ = dir_.path() + "/Ch100~.xml";
  std::string items_ = dir_.path() + "/Ch100.bin";
  std::string index_ = dir_.path() + "/Ch100.iid";
};

TEST_F(FeedInputTest, RealFeedsOfEveryKind) {
  struct Case {
    const char* file;
    FeedKind kind;
    size_t items;
  };
  for (const Case& c : {Case{"newsboat/test/data/rss20_1.xml", FeedKind::kRss, 1},
                        Case{"newsboat/test/data/rss091_1.xml", FeedKind::kRss, 1},
                        Case{"newsboat/test/data/rss092_1.xml", FeedKind::kRss, 3},
                        Case{"newsboat/test/data/rss10_1.xml", FeedKind::kRdf, 1},
                        Case{"newsboat/test/data/atom10_1.xml", FeedKind::kAtom, 1},  // one link thrice
                        Case{"newsboat/test/data/multiple_item_links.atom", FeedKind::kAtom, 1},
                        Case{"newsboat/test/data/items_without_titles.xml", FeedKind::kAtom, 5},
                        Case{"rss-parser/test/input/heise.atom", FeedKind::kAtom, 15},
                        Case{"rss-parser/test/input/guardian.rss", FeedKind::kRss, 50}}) {
    std::filesystem::remove(items_);
    std::filesystem::remove(index_);
    CFeedParser parser;
    EXPECT_EQ(MergeBytes(ReadFile(Corpus(c.file)), parser), 1) << c.file;
    EXPECT_EQ(parser.Kind(), c.kind) << c.file;
    EXPECT_EQ(Records().size(), c.items) << c.file;
  }
}

TEST_F(FeedInputTest, RealFeedFieldsAndDeclaredEncodings) {
  CFeedParser heise;
  ASSERT_EQ(MergeBytes(ReadFile(Corpus("rss-parser/test/input/heise.atom")), heise), 1);
  EXPECT_EQ(heise.ChannelTitle(), u"heise developer neueste Meldungen");
  EXPECT_EQ(heise.ChannelLink(), u"http://www.heise.de/developer/");
  const ItemRecord first = Records()[0];
  EXPECT_EQ(first.title, u"Java-Anwendungsserver: Red Hat gibt WildFly 10 frei");
  EXPECT_TRUE(first.link.starts_with(u"http://www.heise.de/developer/meldung/Java-Anwendungsserver"));
  EXPECT_EQ(first.date, u"2016-02-01 16:22:00");
  EXPECT_NE(first.description.find(u"verf\u00FCgbare"), std::u16string::npos);
  ASSERT_FALSE(heise.pictures().empty());
  EXPECT_TRUE(heise.pictures()[0].ends_with(u"5ba35d3770232d92.jpeg"));

  std::filesystem::remove(items_);
  CFeedParser latin2;
  ASSERT_EQ(MergeBytes(ReadFile(Corpus("rss-parser/test/input/latin2.rss")), latin2), 1);
  EXPECT_EQ(Records()[0].title, u"ZA\u017B\u00D3\u0141\u0106 G\u0118SL\u0104 JA\u0179\u0143");
  EXPECT_EQ(Records()[0].date, u"2019-10-18 15:27:37");

  CFeedParser gb;
  ASSERT_EQ(gb.Load(Corpus("rss-parser/test/input/encoding-gb2312.xml")), 1);
  EXPECT_EQ(gb.ChannelTitle(), u"\u4E92\u8054\u7F51");
}

TEST_F(FeedInputTest, MalformedDocumentsChangeNothingStored) {
  ASSERT_EQ(MergeBytes(ReadFile(Corpus("newsboat/test/data/rss092_1.xml"))), 1);
  const std::string storedItems = ReadFile(items_);
  const std::string storedIndex = ReadFile(index_);
  ASSERT_FALSE(storedItems.empty());

  std::string nested;
  for (int i = 0; i < 100000; ++i) nested += "<rss>";
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) % 256);
  const std::string valid = ReadFile(Corpus("newsboat/test/data/rss20_1.xml"));
  std::vector<std::string> documents = {
      "",
      garbage,
      nested,
      valid.substr(0, valid.size() / 2),
      "<rss version=\"2.0\"><channel><item><title>x</channel></item></rss>",
  };
  for (const char* file : {"feedparser/tests/illformed/aaa_illformed.xml",
                           "feedparser/tests/illformed/rss_empty_document.xml",
                           "feedparser/tests/illformed/rss_incomplete_cdata.xml",
                           "feedparser/tests/illformed/rss_item_link_corrupted_ampersands.xml",
                           "feedparser/tests/encoding/utf-16le-bom.xml",
                           "feedparser/tests/encoding/utf-16be-bom.xml",
                           "feedparser/tests/encoding/utf-32le-bom.xml",
                           "feedparser/tests/encoding/bozo_invalid-bytes-with-bom.xml",
                           "newsboat/test/data/empty.xml"})
    documents.push_back(ReadFile(Corpus(file)));

  for (size_t i = 0; i < documents.size(); ++i) {
    CFeedParser parser;
    EXPECT_EQ(MergeBytes(documents[i], parser), 0) << "document " << i;
    EXPECT_TRUE(parser.ReadItems().empty());
    EXPECT_TRUE(ReadFile(items_) == storedItems) << "document " << i;
    EXPECT_TRUE(ReadFile(index_) == storedIndex) << "document " << i;
  }
}

TEST_F(FeedInputTest, OddButWellFormedFeedsMergeWithoutLoss) {
  ASSERT_EQ(MergeBytes(ReadFile(Corpus("newsboat/test/data/rss092_1.xml"))), 1);
  const size_t before = Records().size();
  // Undeclared entities are kept as text; declared ones are not expanded.
  EXPECT_EQ(MergeBytes("<rss><channel><item><title>&nbsp;&bogus;</title><link>u1</link>"
                       "</item></channel></rss>"), 1);
  EXPECT_EQ(MergeBytes("<?xml version=\"1.0\"?>\n<!DOCTYPE rss [<!ENTITY a \"aaaa\">]>"
                       "<rss><channel><item><title>&a;</title><link>u2</link></item></channel></rss>"), 1);
  for (const char* file : {"feedparser/tests/illformed/chardet/gb2312.xml",
                           "feedparser/tests/illformed/chardet/koi8r.xml",
                           "feedparser/tests/illformed/chardet/big5.xml",
                           "feedparser/tests/illformed/http_high_bit_date.xml",
                           "feedparser/tests/illformed/undeclared_namespace.xml",
                           "feedparser/tests/illformed/rdf_channel_empty_textinput.xml",
                           "feedparser/tests/encoding/bozo_linenoise.xml",
                           "feedparser/tests/encoding/bozo_bogus_encoding.xml",
                           "feedparser/tests/encoding/euc-kr.xml",
                           "feedparser/tests/encoding/big5.xml",
                           "feedparser/tests/encoding/utf-8-bom.xml"}) {
    CFeedParser parser;
    MergeBytes(ReadFile(Corpus(file)), parser);
    parser.ChannelTitle();
    parser.ChannelInfoHtml();
  }
  EXPECT_GE(Records().size(), before);
  CChannelStore store(items_, false);
  EXPECT_TRUE(store.ContainsLink(u"http://example.com/a_second_item.html"));
}

TEST_F(FeedInputTest, EveryDeclaredEncodingOfTheCharsetTable) {
  for (const char* name :
       {"ASMO-708", "DOS-720", "iso-8859-6", "windows-1256", "windows-1257", "ibm852", "iso-8859-2",
        "windows-1250", "gb2312", "big5", "DOS-862", "cp866", "windows-874", "shift_jis",
        "ks_c_5601-1987", "windows-1251", "iso-8859-1", "windows-1253", "iso-8859-9",
        "windows-1255", "windows-1258", "koi8-r", "koi8-ru", "iso-8859-5", "iso-8859-7",
        "iso-8859-8", "iso-8859-8-i", "euc-jp", "hz-gb-2312", "utf-8", "no-such-charset"}) {
    std::filesystem::remove(items_);
    const std::string feed = std::string("<?xml version=\"1.0\" encoding=\"") + name +
                             "\"?><rss version=\"2.0\"><channel><title>C\xC4\xE9</title>"
                             "<item><title>T\xB5\xC0\xA1</title><link>http://e/\xE9</link>"
                             "<description>\xF0\xA4\xA2</description></item></channel></rss>";
    CFeedParser parser;
    EXPECT_EQ(MergeBytes(feed, parser), 1) << name;
    ASSERT_EQ(Records().size(), 1u) << name;
    EXPECT_EQ(Records()[0].title.substr(0, 1), u"T") << name;
  }
}

TEST_F(FeedInputTest, TwentyMegabyteFeed) {
  ASSERT_TRUE(SetSettingInt(setting::kArticlesNumber, 100));
  std::string feed = "<rss version=\"2.0\"><channel><title>big</title>";
  const std::string body(1000, 'x');
  for (int i = 0; feed.size() < 20 * 1024 * 1024; ++i)
    feed += "<item><title>" + std::to_string(i) + "</title><link>http://big/" + std::to_string(i) +
            "</link><description>" + body + "</description></item>";
  feed += "</channel></rss>";
  CFeedParser parser;
  EXPECT_EQ(MergeBytes(feed, parser), 1);
  EXPECT_EQ(parser.newItemCount(), 100);
  // Only the items a merge can take are loaded, unless all are asked for.
  EXPECT_EQ(parser.ReadItems().size(), 100u);
  CFeedParser whole;
  ASSERT_EQ(whole.Load(feed_, CFeedParser::kWholeDocument), 1);
  EXPECT_GT(whole.ReadItems().size(), 19000u);
}

TEST(FeedDates, RealPubDatesOfEveryForm) {
  testsupport::ScopedEnv tz("TZ", "UTC0");
  const std::string folder = Corpus("feedvalidator/testcases/rss20/data-types-datetime");
  int canonical = 0, kept = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string text = ReadFile(entry.path().string());
    const size_t open = text.find("<pubDate>");
    ASSERT_NE(open, std::string::npos) << entry.path();
    const size_t close = text.find("</pubDate>", open);
    const std::string date = text.substr(open + 9, close - open - 9);
    std::u16string out;
    if (CanonicalizeDate(std::u16string(date.begin(), date.end()), out)) {
      ++canonical;
      EXPECT_EQ(out.size(), 19u) << date;
    } else {
      ++kept;
    }
  }
  // Kept as written: no seconds, 31 June, the form with comments.
  EXPECT_EQ(kept, 3);
  EXPECT_EQ(canonical, 38);

  std::u16string out;
  ASSERT_TRUE(CanonicalizeDate(u"31 Dec 2002 14:20:20 -0234", out));
  EXPECT_EQ(out, u"2002-12-31 16:54:20");
  ASSERT_TRUE(CanonicalizeDate(u"Sat,29 Jul 2006 00:03:02 +0000", out));
  EXPECT_EQ(out, u"2006-07-29 00:03:02");
  ASSERT_TRUE(CanonicalizeDate(u"2002-12-31T01:15:07-05:00", out));
  EXPECT_EQ(out, u"2002-12-31 06:15:07");
}

}  // namespace
}  // namespace wrenly
