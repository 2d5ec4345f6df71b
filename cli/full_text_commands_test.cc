// The full-text commands, and a whole refresh of an "automatic" channel
// against a local site, with the fetcher program doing the extraction.
#include <gtest/gtest.h>

#include "cli/cli_test_support.h"
#include "engine/refresh_test_support.h"
#include "store/channel_files.h"
#include "store/paths.h"
#include "testsupport/temp_dir.h"

namespace wrenly::cli {
namespace {

using wrenly::testing::PngBytes;
using wrenly::testing::RssFeed;
using wrenly::testing::TestSite;

std::string ArticlePage(const std::string& name) {
  std::string page = "<html><head><title>" + name + " - Site</title></head><body><nav><ul>";
  for (int i = 0; i < 20; ++i) page += "<li><a href=\"/section" + std::to_string(i) + "\">Section</a></li>";
  page += "</ul></nav><article><h1>" + name + "</h1>";
  for (int i = 1; i <= 4; ++i)
    page += "<p>Paragraph " + std::to_string(i) + " of " + name +
            ", with enough words, commas, and clauses to read like the text of a real article.</p>";
  page += "<figure><img src=\"data:image/gif;base64,R0lGOD==\" data-src=\"/img/" + name +
          ".png\" alt=\"pic\"></figure></article><footer>Site footer text</footer></body></html>";
  return page;
}

class FullTextCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunArgs({"add", site_.UrlUtf8("/story.xml"), "Story"}).status, 0);  // 100
    ASSERT_EQ(RunArgs({"add", site_.UrlUtf8("/other.xml"), "Other"}).status, 0);  // 101
  }
  std::vector<nlohmann::json> Channels() { return JsonLines(RunArgs({"channels", "--json"}).out); }

  testsupport::IsolatedHome home_;
  TestSite site_;
};

TEST_F(FullTextCommands, ChoiceIsSetByNumberTitleOrAddressAndListed) {
  EXPECT_EQ(Channels()[0]["fulltext"], "template");
  EXPECT_EQ(RunArgs({"fulltext", "Story", "auto"}).status, 0);
  EXPECT_EQ(RunArgs({"fulltext", "101", "off"}).status, 0);
  std::vector<nlohmann::json> channels = Channels();
  EXPECT_EQ(channels[0]["fulltext"], "automatic");
  EXPECT_EQ(channels[1]["fulltext"], "off");
  EXPECT_EQ(RunArgs({"fulltext", site_.UrlUtf8("/other.xml"), "template"}).status, 0);
  EXPECT_EQ(Channels()[1]["fulltext"], "template");
  // Wrong use changes nothing.
  EXPECT_EQ(RunArgs({"fulltext", "Story", "sometimes"}).status, 2);
  EXPECT_EQ(RunArgs({"fulltext", "Story"}).status, 2);
  const CliResult unknown = RunArgs({"fulltext", "Nobody", "off"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find("no channel \"Nobody\""), std::string::npos);
  EXPECT_EQ(Channels()[0]["fulltext"], "automatic");
  // An exported catalog carries the choice.
  const std::string exported = home_.root() + "/export.opml";
  ASSERT_EQ(RunArgs({"export", exported}).status, 0);
  EXPECT_NE(testsupport::ReadFile(exported).find("fulltext=\"automatic\""), std::string::npos);
}

TEST_F(FullTextCommands, RefreshOfAnAutomaticChannelStoresArticlesAndPictures) {
  site_.Serve("/articles/a1.html", ArticlePage("a1"), "text/html");
  site_.Serve("/img/a1.png", PngBytes(7), "image/png");
  site_.Serve("/files/paper.pdf", "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj <p>", "application/pdf");
  site_.Serve("/story.xml", RssFeed("Story", "", "", {{"A1", site_.UrlUtf8("/articles/a1.html"), "summary"},
                                                      {"Paper", site_.UrlUtf8("/files/paper.pdf"), "a paper"}}));
  // A channel with a template that is switched off fetches nothing.
  site_.Serve("/articles/b1.html", ArticlePage("b1"), "text/html");
  site_.Serve("/other.xml", RssFeed("Other", "", "", {{"B1", site_.UrlUtf8("/articles/b1.html"), "x"}}));
  CreateFolder(ChannelDataFolder());
  testsupport::WriteFile(ChannelDataPath("Ch101.tpl"), "article.body = URLDownload(article.url, \"utf-8\");\n");
  ASSERT_EQ(RunArgs({"fulltext", "Story", "auto"}).status, 0);
  ASSERT_EQ(RunArgs({"fulltext", "Other", "off"}).status, 0);
  ASSERT_EQ(RunArgs({"set", "DownloadImage", "1"}).status, 0);

  const CliResult r = RunArgs({"refresh"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  std::vector<std::string> articles;
  for (const FoundFile& f : FindFiles(ChannelDataFolder() + "/Ch100-*.htm"))
    articles.push_back(testsupport::ReadFile(ChannelDataFolder() + "/" + f.name));
  ASSERT_EQ(articles.size(), 1u);  // the PDF gave none
  const std::string& article = articles[0];
  EXPECT_TRUE(article.starts_with("\xEF\xBB\xBF"));
  EXPECT_NE(article.find("Paragraph 4 of a1"), std::string::npos) << article;
  EXPECT_EQ(article.find("Section"), std::string::npos) << article;
  EXPECT_EQ(article.find("Site footer"), std::string::npos) << article;
  EXPECT_NE(article.find("<img src=\"" + site_.UrlUtf8("/img/a1.png") + "\""), std::string::npos) << article;
  // The article's picture is stored like any full text's picture.
  const std::vector<FoundFile> pictures = FindFiles(ChannelDataFolder() + "/Ch100-*.img");
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(testsupport::ReadFile(ChannelDataFolder() + "/" + pictures[0].name), PngBytes(7));
  // The article is flagged as having its full text; the PDF's item is not.
  const std::vector<nlohmann::json> items = JsonLines(RunArgs({"items", "100", "--json"}).out);
  ASSERT_EQ(items.size(), 2u);
  for (const nlohmann::json& item : items)
    EXPECT_EQ(item["flag"], item["title"] == "A1" ? 1 : 0) << item.dump();
  EXPECT_EQ(site_.Requests("/articles/b1.html"), 0);
  EXPECT_TRUE(FindFiles(ChannelDataFolder() + "/Ch101-*.htm").empty());
}

}  // namespace
}  // namespace wrenly::cli
