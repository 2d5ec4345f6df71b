#include <gtest/gtest.h>

#include <filesystem>

#include "platform/text.h"
#include "reader/reader_test_support.h"

namespace wrenly::reader {
namespace {

using testsupport::WriteFile;

class CatalogOperations : public ReaderTest, public ::testing::Test {
 protected:
  std::vector<CatalogEntry> List() {
    std::vector<CatalogEntry> entries;
    EXPECT_TRUE(data_.ListChannels(entries).done());
    return entries;
  }
  // "category/title" of every channel, in order.
  std::vector<std::string> Channels() {
    std::vector<std::string> names;
    for (const CatalogEntry& e : List())
      if (!e.Get(u"xmlUrl").empty()) names.push_back(Utf16ToUtf8(e.category + u"/" + e.Get(u"text")));
    return names;
  }
  int Subscribe(const std::u16string& category, const std::u16string& title, const std::u16string& url) {
    const ValueResult<int> r = data_.Subscribe(category, title, url);
    EXPECT_TRUE(r.done()) << r.result.message;
    return r.value;
  }
};

TEST_F(CatalogOperations, SubscribeRenameMoveAndUnsubscribeWithTheChannelsFiles) {
  EXPECT_TRUE(Channels().empty());
  const int a = Subscribe(u"News", u"A", u"http://a/feed");
  const int b = Subscribe(u"News", u"B", u"http://b/feed");
  EXPECT_EQ(b, a + 1);
  ASSERT_TRUE(data_.AddCategory(u"Later").done());
  EXPECT_EQ(data_.AddCategory(u"Later").refusal, Refusal::kExists);
  ASSERT_TRUE(data_.Rename(u"A", u"A1").done());
  ASSERT_TRUE(data_.RenameChannel(u"http://a/feed", u"A2").done());
  EXPECT_EQ(data_.RenameChannel(u"http://x/feed", u"X").refusal, Refusal::kNotFound);
  ASSERT_TRUE(data_.Move(u"http://b/feed", u"Later").done());
  EXPECT_EQ(data_.Move(u"http://b/feed", u"Nowhere").refusal, Refusal::kNotFound);
  EXPECT_EQ(data_.Rename(u"Nobody", u"X").refusal, Refusal::kNotFound);
  EXPECT_EQ(Channels(), (std::vector<std::string>{"News/A2", "Later/B"}));

  WriteFile(data_.ChannelPath(a, ".bin"), "x");
  WriteFile(data_.ChannelPath(b, ".bin"), "x");
  ASSERT_TRUE(data_.Unsubscribe(u"http://a/feed").done());
  EXPECT_FALSE(std::filesystem::exists(data_.ChannelPath(a, ".bin")));
  EXPECT_TRUE(std::filesystem::exists(data_.ChannelPath(b, ".bin")));
  EXPECT_EQ(data_.Unsubscribe(u"http://a/feed").refusal, Refusal::kNotFound);
  // A category goes with its channels and their files.
  ASSERT_TRUE(data_.DeleteCategory(u"Later").done());
  EXPECT_FALSE(std::filesystem::exists(data_.ChannelPath(b, ".bin")));
  EXPECT_EQ(Channels(), std::vector<std::string>{});
}

TEST_F(CatalogOperations, AFeedAddressIsSubscribedOnce) {
  Subscribe(u"News", u"A", u"http://example.com/feed");
  const ValueResult<int> again = data_.Subscribe(u"Other", u"Another title", u"HTTP://Example.com:80/feed");
  EXPECT_EQ(again.result.refusal, Refusal::kDuplicateAddress);
  EXPECT_EQ(again.result.message,
            "the address \"HTTP://Example.com:80/feed\" is already subscribed as \"A\"");
  // A trailing slash makes another address.
  Subscribe(u"News", u"A slash", u"http://example.com/feed/");
  EXPECT_EQ(Channels(), (std::vector<std::string>{"News/A", "News/A slash"}));
}

TEST_F(CatalogOperations, ImportSkipsAddressesAlreadySubscribedOrRepeated) {
  Subscribe(u"News", u"A", u"http://a/feed");
  const std::string opml = files_.path() + "/in.opml";
  WriteFile(opml,
            "<opml version=\"1.0\"><body><outline text=\"Tech\">"
            "<outline text=\"A again\" xmlUrl=\"http://A/feed\"/><outline text=\"B\" xmlUrl=\"http://b/feed\"/>"
            "<outline text=\"B twice\" xmlUrl=\"http://b:80/feed\"/></outline>"
            "<outline text=\"C\" xmlUrl=\"http://c/feed\"/></body></opml>");
  const ValueResult<ImportCounts> r = data_.Import(opml);
  ASSERT_TRUE(r.done()) << r.result.message;
  EXPECT_EQ(r.value.channelsAdded, 2);
  EXPECT_EQ(r.value.channelsRefused, 2);
  EXPECT_EQ(r.value.categoriesAdded, 1);
  EXPECT_EQ(Channels(), (std::vector<std::string>{"News/A", "Tech/B", "Others/C"}));
  EXPECT_EQ(data_.Import(files_.path() + "/missing.opml").result.refusal, Refusal::kFile);
}

TEST_F(CatalogOperations, AnUnreadableCatalogRefusesEveryChangeAndStaysAsItIs) {
  Subscribe(u"News", u"A", u"http://a/feed");
  WriteFile(data_.CatalogPath(), "<opml><body><outline");
  const std::string before = CatalogBytes();
  std::vector<CatalogEntry> entries;
  EXPECT_EQ(data_.ListChannels(entries).refusal, Refusal::kUnreadableCatalog);
  const Result refusals[] = {data_.Subscribe(u"News", u"B", u"http://b/feed").result,
                             data_.AddCategory(u"X"),
                             data_.Rename(u"A", u"B"),
                             data_.Move(u"http://a/feed", u"News"),
                             data_.Unsubscribe(u"http://a/feed"),
                             data_.DeleteCategory(u"News"),
                             data_.SetFullText(u"http://a/feed", FullTextMode::kOff),
                             data_.StoreCounts({{u"http://a/feed", {1, 1}}})};
  for (const Result& r : refusals) {
    EXPECT_EQ(r.refusal, Refusal::kUnreadableCatalog);
    EXPECT_NE(r.message.find("cannot read the catalog"), std::string::npos) << r.message;
  }
  EXPECT_EQ(CatalogBytes(), before);
}

TEST_F(CatalogOperations, EveryChangeStartsFromTheFileOnDisk) {
  // Another process (here another object) changes the catalog between two
  // changes of this one: nothing of either is lost.
  ReaderData other(data_.root());
  Subscribe(u"News", u"A", u"http://a/feed");
  ASSERT_TRUE(other.Subscribe(u"News", u"B", u"http://b/feed").done());
  ASSERT_TRUE(data_.StoreCounts({{u"http://a/feed", {5, 2}}}).done());
  ASSERT_TRUE(other.SetFullText(u"http://b/feed", FullTextMode::kAutomatic).done());
  const std::vector<CatalogEntry> entries = List();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].Get(u"itemCount"), u"5");
  EXPECT_EQ(entries[0].Get(u"newItemCount"), u"2");
  EXPECT_EQ(entries[1].Get(u"fulltext"), u"automatic");
}

TEST_F(CatalogOperations, ExportCopiesTheCatalog) {
  const std::string copy = files_.path() + "/out.opml";
  EXPECT_EQ(data_.Export(copy).refusal, Refusal::kNotFound);
  Subscribe(u"News", u"A", u"http://a/feed");
  ASSERT_TRUE(data_.Export(copy).done());
  EXPECT_EQ(testsupport::ReadFile(copy), CatalogBytes());
  EXPECT_EQ(data_.Export(files_.path() + "/no/such/folder/out.opml").refusal, Refusal::kFile);
}

}  // namespace
}  // namespace wrenly::reader
