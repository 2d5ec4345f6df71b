// The full-text commands, and a whole refresh of an "automatic" channel
// against a local site, with the fetcher program doing the extraction.
#include <gtest/gtest.h>

#include <set>

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

// A page that makes the HTML parser build the same elements again in every
// paragraph, more each time.
std::string PageAgainstTheParser() {
  std::string page = "<html><body>";
  for (int i = 0; i < 20000; ++i) page += "<p><b id=" + std::to_string(i) + ">x";
  return page;
}

TEST_F(FullTextCommands, APageBuiltAgainstTheParserIsRefusedAndNotFetchedAgain) {
  site_.Serve("/articles/h1.html", PageAgainstTheParser(), "text/html");
  site_.Serve("/story.xml", RssFeed("Story", "", "", {{"H1", site_.UrlUtf8("/articles/h1.html"), "summary"}}));
  site_.Serve("/other.xml", RssFeed("Other", "", "", {}));
  ASSERT_EQ(RunArgs({"fulltext", "Story", "auto"}).status, 0);
  ASSERT_EQ(RunArgs({"refresh"}).status, 0);
  ASSERT_EQ(RunArgs({"refresh"}).status, 0);
  EXPECT_EQ(site_.Requests("/articles/h1.html"), 1);
  // The item keeps its description: it is not flagged as having a full text.
  const std::vector<nlohmann::json> items = JsonLines(RunArgs({"items", "100", "--json"}).out);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0]["flag"], 0);

  const std::string saved = home_.root() + "/hostile.html";
  testsupport::WriteFile(saved, PageAgainstTheParser());
  const CliResult extracted = RunArgs({"extract", saved});
  EXPECT_EQ(extracted.status, 1);
  EXPECT_NE(extracted.err.find("defeat the HTML parser"), std::string::npos) << extracted.err;
}

// "127.0.0.1:port" of a site, for protocol-relative addresses.
std::string HostOf(const TestSite& site) { return site.UrlUtf8("").substr(std::string("http://").size()); }

// The stored pictures of a channel, as their bytes.
std::multiset<std::string> StoredPictures(int channel) {
  std::multiset<std::string> pictures;
  for (const FoundFile& f : FindFiles(ChannelDataFolder() + "/Ch" + std::to_string(channel) + "-*.img"))
    pictures.insert(testsupport::ReadFile(ChannelDataFolder() + "/" + f.name));
  return pictures;
}

// Article pages that moved, to another host and to another folder: their
// relative, root-relative and protocol-relative addresses are taken as a
// browser takes them on the page where the redirect ended, by an automatic
// run (in the stored text) and after a template run (when its pictures are
// fetched).
TEST_F(FullTextCommands, RedirectedArticlesResolveAgainstWhereTheyWereServed) {
  TestSite far;
  std::string page = "<html><body><article>";
  for (int i = 1; i <= 4; ++i)
    page += "<p>Paragraph " + std::to_string(i) + " of a1, with enough words, commas, and clauses to read like text.</p>";
  page += "<p>A picture <img src=\"pics/a1.png\" alt=\"one\"> in the text, and another <img src=\"/top.png\" alt=\"two\">"
          " and a third <img src=\"//" + HostOf(site_) + "/proto.png\" alt=\"three\">, all in one paragraph.</p>"
          "</article></body></html>";
  far.Serve("/deep/a1.html", page, "text/html");
  far.Serve("/deep/pics/a1.png", PngBytes(1), "image/png");
  far.Serve("/top.png", PngBytes(2), "image/png");
  site_.Serve("/proto.png", PngBytes(3), "image/png");
  const std::string farPage = far.UrlUtf8("/deep/a1.html");
  site_.Handle("/articles/a1.html", [farPage](const httplib::Request&, httplib::Response& res) {
    res.set_redirect(farPage, 302);
  });
  site_.Serve("/story.xml", RssFeed("Story", "", "", {{"A1", site_.UrlUtf8("/articles/a1.html"), "summary"}}));

  site_.Handle("/articles/t1.html", [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("/moved/t1.html", 301);
  });
  site_.Serve("/moved/t1.html",
              "<html><body><p>T1 <img src=\"pics/t1.png\" alt=\"x\"> <img src=\"//" + HostOf(far) +
                  "/t1.png\" alt=\"y\"></p></body></html>",
              "text/html");
  site_.Serve("/moved/pics/t1.png", PngBytes(4), "image/png");
  far.Serve("/t1.png", PngBytes(5), "image/png");
  site_.Serve("/other.xml", RssFeed("Other", "", "", {{"T1", site_.UrlUtf8("/articles/t1.html"), "x"}}));
  CreateFolder(ChannelDataFolder());
  testsupport::WriteFile(ChannelDataPath("Ch101.tpl"), "article.body = URLDownload(article.url, \"utf-8\");\n");
  ASSERT_EQ(RunArgs({"fulltext", "Story", "auto"}).status, 0);
  ASSERT_EQ(RunArgs({"set", "DownloadImage", "1"}).status, 0);

  const CliResult r = RunArgs({"refresh"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::vector<FoundFile> articles = FindFiles(ChannelDataFolder() + "/Ch100-*.htm");
  ASSERT_EQ(articles.size(), 1u);
  const std::string article = testsupport::ReadFile(ChannelDataFolder() + "/" + articles[0].name);
  for (const std::string& src : {far.UrlUtf8("/deep/pics/a1.png"), far.UrlUtf8("/top.png"), site_.UrlUtf8("/proto.png")})
    EXPECT_NE(article.find("<img src=\"" + src + "\""), std::string::npos) << src << "\n" << article;
  EXPECT_EQ(StoredPictures(100), (std::multiset<std::string>{PngBytes(1), PngBytes(2), PngBytes(3)}));
  EXPECT_EQ(StoredPictures(101), (std::multiset<std::string>{PngBytes(4), PngBytes(5)}));
  EXPECT_EQ(site_.Requests("/moved/pics/t1.png"), 1);
  EXPECT_EQ(far.Requests("/t1.png"), 1);
}

}  // namespace
}  // namespace wrenly::cli
