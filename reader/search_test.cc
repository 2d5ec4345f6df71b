// Search over the stored headlines: folding, words in any field, full
// texts, order, and what the store no longer holds.
#include "reader/search.h"

#include <gtest/gtest.h>

#include "reader/reader_test_support.h"
#include "reader/text_folding.h"
#include "store/channel_files.h"
#include "store/channel_store.h"
#include "store/item_record.h"

namespace wrenly::reader {
namespace {

struct Item {
  std::string title, link, date, description;
};

class SearchTest : public ReaderTest, public ::testing::Test {
 protected:
  int Channel(const std::u16string& title, const std::vector<Item>& items) {
    const int number = data_.Subscribe(u"News", title, u"http://feeds/" + title).value;
    std::string body;
    for (const Item& i : items)
      body += "<item><title>" + i.title + "</title><link>" + i.link + "</link><pubDate>" + i.date +
              "</pubDate><description><![CDATA[" + i.description + "]]></description></item>";
    const std::string path = files_.path() + "/search" + std::to_string(++feeds_) + ".xml";
    testsupport::WriteFile(path, "<rss version=\"2.0\"><channel><title>C</title>" + body + "</channel></rss>");
    EXPECT_TRUE(data_.Merge(number, path).done());
    return number;
  }

  // Stores a full text for the item, as a full-text job does.
  void StoreFullText(int channel, const std::u16string& link, const std::string& html) {
    const std::string items = data_.ChannelPath(channel, ".bin");
    RecordReader index(UrlIndexPathFor(items));
    for (ItemRecord record; index.Next(record, RecordReader::kLink);)
      if (record.link == link) testsupport::WriteFile(StampedFilePath(items, record.flag, record.type, ".htm"), html);
    CChannelStore(items, false).UpdateField(link, ItemField::kReadFlag, kReadFlagFullTextArrived);
  }

  std::vector<std::u16string> Titles(std::u16string_view query, std::optional<int> channel = {}) {
    const auto found = Search(data_, query, channel);
    EXPECT_TRUE(found.done()) << found.result.message;
    std::vector<std::u16string> titles;
    for (const SearchHit& hit : found.value) titles.push_back(hit.title);
    return titles;
  }
};

TEST(TextFolding, CaseAccentsAndMarkupFoldAwayAndChineseStaysAsItIs) {
  EXPECT_EQ(FoldForSearch(u"Caf\u00E9 \u00C9COLE \u0141\u00F3d\u017A \u0394\u0399\u0391 \u041C\u041E\u0421\u041A\u0412\u0410"),
            u"cafe ecole lodz \u03B4\u03B9\u03B1 \u043C\u043E\u0441\u043A\u0432\u0430");
  EXPECT_EQ(FoldForSearch(u"Cafe\u0301"), u"cafe");  // a combining accent
  EXPECT_EQ(FoldForSearch(u"\u5317\u4EAC\u65B0\u95FB"), u"\u5317\u4EAC\u65B0\u95FB");
  EXPECT_EQ(SearchWords(HtmlText(u"<p>Fish &amp; <b>chips</b><script>var hidden = 1;</script><!-- note -->"
                                 u"<STYLE>p{}</style>end")),
            (std::vector<std::u16string>{u"fish", u"&", u"chips", u"end"}));
  EXPECT_EQ(SearchWords(u"  Caf\u00E9\u3000 Paris "), (std::vector<std::u16string>{u"cafe", u"paris"}));
}

TEST_F(SearchTest, EveryWordInAnyFieldNewestFirstAcrossChannels) {
  const int world = Channel(u"World", {{"Caf\xC3\xA9 opens in Paris", "http://w/1", "Tue, 27 Jan 2009 04:00:00 GMT", "A new place."},
                                       {"Markets", "http://w/2", "Wed, 28 Jan 2009 04:00:00 GMT", "<p>Paris <b>cafe</b> prices rise</p>"},
                                       {"\xE5\x8C\x97\xE4\xBA\xAC\xE6\x96\xB0\xE9\x97\xBB", "http://w/3", "Mon, 26 Jan 2009 04:00:00 GMT", "x"}});
  Channel(u"Local", {{"Paris weather", "http://l/1", "Thu, 29 Jan 2009 04:00:00 GMT", "Rain, no cafe today"},
                     {"Other", "http://l/2", "Fri, 30 Jan 2009 04:00:00 GMT", "<img alt=\"cafe\" src=\"cafe.png\">"}});

  EXPECT_EQ(Titles(u"CAFE paris"), (std::vector<std::u16string>{u"Paris weather", u"Markets", u"Caf\u00E9 opens in Paris"}));
  EXPECT_EQ(Titles(u"\u4EAC\u65B0"), (std::vector<std::u16string>{u"\u5317\u4EAC\u65B0\u95FB"}));
  EXPECT_EQ(Titles(u"cafe", world), (std::vector<std::u16string>{u"Markets", u"Caf\u00E9 opens in Paris"}));
  EXPECT_TRUE(Titles(u"cafe london").empty());
  EXPECT_TRUE(Titles(u"   ").empty());

  const auto hits = Search(data_, u"markets");
  ASSERT_EQ(hits.value.size(), 1u);
  EXPECT_EQ(hits.value[0].channel, world);
  EXPECT_EQ(hits.value[0].channelTitle, u"World");
  EXPECT_EQ(hits.value[0].link, u"http://w/2");
}

TEST_F(SearchTest, StoredFullTextsAreSearchedAndDeletedItemsNeverShow) {
  const int channel = Channel(u"World", {{"Short", "http://w/1", "Tue, 27 Jan 2009 04:00:00 GMT", "teaser"},
                                         {"Gone", "http://w/2", "Wed, 28 Jan 2009 04:00:00 GMT", "teaser"}});
  StoreFullText(channel, u"http://w/1", "<html><body><p>The whole story of the <em>volcano</em>.</p></body></html>");
  EXPECT_EQ(Titles(u"volcano teaser"), (std::vector<std::u16string>{u"Short"}));
  EXPECT_EQ(Titles(u"teaser"), (std::vector<std::u16string>{u"Gone", u"Short"}));
  ASSERT_TRUE(data_.DeleteItem(channel, u"http://w/2").done());
  EXPECT_EQ(Titles(u"teaser"), (std::vector<std::u16string>{u"Short"}));
  ASSERT_TRUE(data_.DeleteItem(channel, u"http://w/1").done());
  EXPECT_TRUE(Titles(u"volcano").empty());  // its full text went with it
}

TEST_F(SearchTest, AnUnknownChannelOrAnUnreadableCatalogIsRefused) {
  Channel(u"World", {{"One", "http://w/1", "Tue, 27 Jan 2009 04:00:00 GMT", "x"}});
  EXPECT_EQ(Search(data_, u"one", 999).result.refusal, Refusal::kNotFound);
  testsupport::WriteFile(data_.CatalogPath(), "<opml><body><outline");
  EXPECT_EQ(Search(data_, u"one").result.refusal, Refusal::kUnreadableCatalog);
}

}  // namespace
}  // namespace wrenly::reader
