#include <gtest/gtest.h>

#include <filesystem>

#include "platform/text.h"
#include "reader/reader_test_support.h"

namespace wrenly::reader {
namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

class NewChannels : public ReaderTest, public ::testing::Test {
 protected:
  // "category/title" of every channel, in order.
  std::vector<std::string> Outlines() {
    std::vector<CatalogEntry> entries;
    EXPECT_TRUE(data_.ListChannels(entries).done());
    std::vector<std::string> names;
    for (const CatalogEntry& e : entries) names.push_back(Utf16ToUtf8(e.category + u"/" + e.Get(u"text")));
    return names;
  }
};

TEST_F(NewChannels, SubscribeAllAddsInOrderAndRefusesEachDuplicateAlone) {
  EXPECT_FALSE(data_.HasCatalog());
  ASSERT_TRUE(data_.Subscribe(u"News", u"Existing", u"http://a/feed").done());
  EXPECT_TRUE(data_.HasCatalog());
  const ValueResult<std::vector<Subscription>> r = data_.SubscribeAll({
      {u"", u"Later", u"", std::nullopt},                    // a category
      {u"News", u"Again", u"HTTP://A:80/feed", u"S1"},        // subscribed already
      {u"Others", u"B", u"http://b/feed", u"S2"},
      {u"Others", u"B twice", u" http://b/feed ", u"S3"},     // met earlier in the list
      {u"Others", u"B", u"http://c/feed", std::nullopt},      // a title taken in the category
      {u"Later", u"C", u"http://c/feed", u""},
  });
  ASSERT_TRUE(r.done()) << r.result.message;
  ASSERT_EQ(r.value.size(), 6u);
  EXPECT_EQ(r.value[1].result.refusal, Refusal::kDuplicateAddress);
  EXPECT_EQ(r.value[1].holder, u"Existing");
  EXPECT_NE(r.value[1].result.message.find("HTTP://A:80/feed"), std::string::npos);
  EXPECT_EQ(r.value[3].result.refusal, Refusal::kDuplicateAddress);
  EXPECT_EQ(r.value[3].holder, u"B");
  EXPECT_EQ(r.value[4].result.refusal, Refusal::kExists);
  EXPECT_TRUE(r.value[0].result.done() && r.value[2].result.done() && r.value[5].result.done());
  EXPECT_EQ(r.value[0].number, 0);
  EXPECT_GT(r.value[5].number, r.value[2].number);
  EXPECT_EQ(Outlines(), (std::vector<std::string>{"News/Existing", "Later/C", "Others/B"}));

  // Template copies only for the channels added, and only with a script.
  const std::string mark = "\xEF\xBB\xBF";
  EXPECT_EQ(ReadFile(data_.ChannelPath(r.value[2].number, ".tpl")), mark + "S2");
  EXPECT_EQ(ReadFile(data_.ChannelPath(r.value[5].number, ".tpl")), mark);
  EXPECT_FALSE(std::filesystem::exists(data_.ChannelPath(100, ".tpl")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data_.root() + "/ChannelData"), {}), 3);

  // A category that exists already is no refusal and no change.
  const std::string before = CatalogBytes();
  const auto again = data_.SubscribeAll({{u"", u"Later", u"", std::nullopt}});
  EXPECT_TRUE(again.done() && again.value[0].result.done());
  EXPECT_EQ(CatalogBytes(), before);
}

TEST_F(NewChannels, AnUnreadableCatalogRefusesEverythingAndChangesNothing) {
  std::filesystem::create_directories(data_.root() + "/ChannelData");
  WriteFile(data_.CatalogPath(), "<opml><body><outline");
  const auto r = data_.SubscribeAll({{u"Others", u"A", u"http://a/feed", u"S"}});
  EXPECT_EQ(r.result.refusal, Refusal::kUnreadableCatalog);
  EXPECT_TRUE(r.value.empty());
  EXPECT_EQ(CatalogBytes(), "<opml><body><outline");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data_.root() + "/ChannelData"), {}), 1);
  EXPECT_EQ(data_.FullText(u"http://a/feed").result.refusal, Refusal::kUnreadableCatalog);
}

TEST_F(NewChannels, FullTextChoiceAndDescription) {
  ASSERT_TRUE(data_.Subscribe(u"News", u"A", u"http://a/feed").done());
  EXPECT_EQ(data_.FullText(u"http://a/feed").value, FullTextMode::kTemplate);
  ASSERT_TRUE(data_.SetFullText(u"http://a/feed", FullTextMode::kOff).done());
  EXPECT_EQ(data_.FullText(u"http://A/feed").value, FullTextMode::kOff);
  EXPECT_EQ(data_.FullText(u"http://b/feed").result.refusal, Refusal::kNotFound);

  EXPECT_EQ(data_.ChannelDescriptionHtml(100), u"");
  WriteFile(data_.ChannelPath(100, ".xml"), testsupport::ReadFile(FeedFile(1, 1)));
  EXPECT_NE(data_.ChannelDescriptionHtml(100).find(u"http://c/"), std::u16string::npos);
}

TEST_F(NewChannels, TemplatesGiveEachChannelTheScriptAfterIt) {
  const std::string first = files_.path() + "/first", second = files_.path() + "/second";
  std::filesystem::create_directories(first);
  std::filesystem::create_directories(second);
  WriteFile(first + "/a.xml",
            "<template name=\"G\"><channel><name>A</name><url>http://a</url></channel>"
            "<channel><name>B</name><url>http://b</url></channel><parse_article>P</parse_article>"
            "<channel><name>C</name><url>http://c</url></channel></template>");
  WriteFile(second + "/a.xml", "<template name=\"Hidden\"/>");
  WriteFile(second + "/b.xml", "<TEMPLATE><Channel><Name>L</Name><URL>http://l</URL></Channel>"
                               "<parse_article>R</parse_article></TEMPLATE>");
  WriteFile(second + "/broken.xml", "<template name=\"X\"><channel>");
  const std::vector<TemplateGroup> groups = data_.ListTemplates({first, second, files_.path() + "/none"});
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0].name, u"G");
  ASSERT_EQ(groups[0].channels.size(), 3u);
  EXPECT_EQ(groups[0].channels[1].title, u"B");
  EXPECT_EQ(groups[0].channels[1].url, u"http://b");
  EXPECT_EQ(groups[0].channels[0].script, u"P");
  EXPECT_EQ(groups[0].channels[1].script, u"P");
  EXPECT_EQ(groups[0].channels[2].script, u"");
  EXPECT_FALSE(groups[1].name.has_value());
  ASSERT_EQ(groups[1].channels.size(), 1u);
  EXPECT_EQ(groups[1].channels[0].script, u"R");
}

}  // namespace
}  // namespace wrenly::reader
