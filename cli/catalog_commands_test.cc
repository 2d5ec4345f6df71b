#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "cli/cli_test_support.h"
#include "engine/refresh_test_support.h"
#include "store/channel_catalog.h"
#include "store/paths.h"
#include "testsupport/temp_dir.h"

namespace wrenly::cli {
namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

class CatalogCommandsTest : public ::testing::Test {
 protected:
  std::string catalog() const { return ChannelDataPath("Channels.opml"); }
  testsupport::IsolatedHome home_;
};

TEST_F(CatalogCommandsTest, AddListAndRefuse) {
  CliResult r = RunArgs({"channels"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(std::filesystem::exists(catalog()));  // an empty catalog is not written

  r = RunArgs({"add", "http://a.test/feed?x=1&y=2", "  Example, \"News\": \u4E2D  "});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "100\n");
  r = RunArgs({"add", "http://b.test/rss", "Tech Daily", "--category", "Tech"});
  EXPECT_EQ(r.out, "101\n");
  r = RunArgs({"add", "http://c.test/rss", "example, \"NEWS\": \u4E2D"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Insert Channel failed. Please check whether the channel exists or not.\n");
  // An address already subscribed, spelled with another case of its host.
  r = RunArgs({"add", "http://B.test/rss", "Tech again", "--category", "Elsewhere"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "wrenly-cli: the address \"http://B.test/rss\" is already subscribed as \"Tech Daily\"\n");

  {
    CChannelCatalog edit;
    ASSERT_EQ(edit.LoadAndReport(catalog()), 1);
    edit.SetOutlineAttribute(u"http://b.test/rss", "itemCount", u"12");
    edit.SetOutlineAttribute(u"http://b.test/rss", "newItemCount", u"3");
  }
  r = RunArgs({"channels", "--json"});
  ASSERT_EQ(r.status, 0);
  const auto lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], nlohmann::json::parse(R"({"id":100,"category":"Others",
      "title":"Example, \"News\": 中","url":"http://a.test/feed?x=1&y=2",
      "itemCount":null,"newItemCount":null,"fulltext":"template"})"));
  EXPECT_EQ(lines[1]["itemCount"], 12);
  EXPECT_EQ(lines[1]["newItemCount"], 3);
  EXPECT_EQ(lines[1]["category"], "Tech");

  // Keys in the documented order.
  EXPECT_TRUE(RunArgs({"channels", "--json"}).out.starts_with("{\"id\":100,\"category\":\"Others\",\"title\""));
  r = RunArgs({"channels"});
  EXPECT_EQ(r.out,
            "100\tOthers\tExample, \"News\": \u4E2D\thttp://a.test/feed?x=1&y=2\t\t\n"
            "101\tTech\tTech Daily\thttp://b.test/rss\t12\t3\n");
}

TEST_F(CatalogCommandsTest, RenameMoveAndDelete) {
  RunArgs({"add", "http://t", "Tech", "--category", "News"});
  RunArgs({"add", "http://g", "Gadgets", "--category", "Tech"});
  CreateFolder(ChannelDataFolder());
  WriteFile(ChannelDataPath("Ch100.bin"), "items");
  WriteFile(ChannelDataPath("Ch1000.bin"), "another channel's items");

  // "Tech" names a category, so the category is renamed, not the channel.
  EXPECT_EQ(RunArgs({"rename", "Tech", "Technology"}).status, 0);
  EXPECT_EQ(JsonLines(RunArgs({"channels", "--json"}).out)[0]["title"], "Tech");
  EXPECT_EQ(RunArgs({"rename", "Tech", "Tech Weekly"}).status, 0);  // now only the channel
  EXPECT_EQ(JsonLines(RunArgs({"channels", "--json"}).out)[0]["title"], "Tech Weekly");
  CliResult r = RunArgs({"rename", "Nothing", "X"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no category or channel is named \"Nothing\""), std::string::npos);

  EXPECT_EQ(RunArgs({"move", "http://t", "Technology"}).status, 0);
  EXPECT_EQ(JsonLines(RunArgs({"channels", "--json"}).out)[1]["category"], "Technology");
  EXPECT_EQ(RunArgs({"move", "http://t", "Missing"}).status, 1);
  EXPECT_EQ(RunArgs({"move", "http://missing", "News"}).status, 1);

  EXPECT_EQ(RunArgs({"delete", "http://t"}).status, 0);
  EXPECT_FALSE(FileExists(ChannelDataPath("Ch100.bin")));
  EXPECT_TRUE(FileExists(ChannelDataPath("Ch1000.bin")));
  EXPECT_EQ(RunArgs({"delete", "http://t"}).status, 1);

  EXPECT_EQ(RunArgs({"add-category", "Empty"}).status, 0);
  EXPECT_EQ(RunArgs({"add-category", "Empty"}).status, 1);
  EXPECT_EQ(RunArgs({"delete-category", "Technology"}).status, 0);
  EXPECT_EQ(RunArgs({"channels"}).out, "");
  EXPECT_EQ(RunArgs({"delete-category", "Technology"}).status, 1);
  const std::string text = ReadFile(catalog());
  EXPECT_NE(text.find("text=\"News\""), std::string::npos);
  EXPECT_NE(text.find("text=\"Empty\""), std::string::npos);
}

TEST_F(CatalogCommandsTest, ImportAndExport) {
  CliResult r = RunArgs({"import", WRENLY_TESTDATA "/feedvalidator/testcases/opml/clean/subscriptionList.opml"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "added 13 channels, refused 0, new categories 0\n");
  r = RunArgs({"import", WRENLY_TESTDATA "/feedvalidator/testcases/opml/clean/subscriptionList.opml"});
  EXPECT_EQ(r.out, "added 0 channels, refused 13, new categories 0\n");
  const auto lines = JsonLines(RunArgs({"channels", "--json"}).out);
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[9]["title"], "NYT > Business");
  EXPECT_EQ(lines[9]["category"], "Others");

  const std::string before = ReadFile(catalog());
  WriteFile(home_.root() + "/half.opml", before.substr(0, before.size() / 2));
  r = RunArgs({"import", home_.root() + "/half.opml"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot read"), std::string::npos);
  EXPECT_EQ(ReadFile(catalog()), before);

  EXPECT_EQ(RunArgs({"export", home_.root() + "/out.opml"}).status, 0);
  EXPECT_EQ(ReadFile(home_.root() + "/out.opml"), before);
  EXPECT_EQ(RunArgs({"export", home_.root() + "/no/such/dir/out.opml"}).status, 1);
}

TEST_F(CatalogCommandsTest, AnUnreadableCatalogIsReportedAndLeftAlone) {
  const std::vector<std::vector<std::string>> commands = {
      {"channels"}, {"add", "http://x", "X"}, {"add-category", "C"}, {"rename", "Mine", "Yours"},
      {"move", "u", "C"}, {"delete", "u"}, {"delete-category", "Mine"}};
  for (const std::string broken :
       {"<opml><body><outline text=\"Mine\" type=\"rss\" xmlUrl=\"u\">", "<opml><head/></opml>"}) {
    WriteFile(catalog(), broken);
    for (const std::vector<std::string>& args : commands) {
      const CliResult r = RunArgs(args);
      EXPECT_EQ(r.status, 1) << args[0];
      EXPECT_NE(r.err.find("cannot read the catalog"), std::string::npos) << args[0];
    }
    EXPECT_EQ(ReadFile(catalog()), broken);
  }
}

// On a thread of its own, as the discovery's kept-alive connections then end
// with it and the test site stops at once.
CliResult RunOnThread(const std::vector<std::string>& args) {
  CliResult result;
  std::thread([&] { result = RunArgs(args); }).join();
  return result;
}

TEST_F(CatalogCommandsTest, AddWithoutTitleFindsTheFeedOfASiteAndAddsNothingWhenItCannotChoose) {
  testing::TestSite site;
  site.Serve("/news.rss", testing::RssFeed("Daily News", "", "", {{"One", "http://127.0.0.1:9/1", "x"}}));
  site.Serve("/blog.rss", testing::RssFeed("The Blog", "", "", {{"Two", "http://127.0.0.1:9/2", "y"}}));
  const auto page = [](const std::string& links) { return "<html><head>" + links + "</head><body></body></html>"; };
  site.Serve("/", page(R"(<link rel="alternate" type="application/rss+xml" href="/news.rss">)"), "text/html");
  site.Serve("/two/", page(R"(<link rel="alternate" type="application/rss+xml" href="/news.rss">)"
                           R"(<link rel="alternate" type="application/rss+xml" href="/blog.rss">)"),
             "text/html");
  site.Serve("/none/", page(""), "text/html");

  CliResult r = RunOnThread({"add", site.UrlUtf8("/"), "--category", "News"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "100\t" + site.UrlUtf8("/news.rss") + "\tDaily News\n");
  r = RunArgs({"channels"});
  EXPECT_EQ(r.out, "100\tNews\tDaily News\t" + site.UrlUtf8("/news.rss") + "\t\t\n");  // the feed's address, not the page's

  r = RunOnThread({"add", site.UrlUtf8("/two/")});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, site.UrlUtf8("/news.rss") + "\tDaily News\n" + site.UrlUtf8("/blog.rss") + "\tThe Blog\n");
  EXPECT_NE(r.err.find("offers 2 feeds"), std::string::npos) << r.err;

  r = RunOnThread({"add", site.UrlUtf8("/none/")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no feed found at " + site.UrlUtf8("/none/")), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(site.UrlUtf8("/feed.json")), std::string::npos) << r.err;  // says what was tried

  r = RunOnThread({"add", site.UrlUtf8("/news.rss")});
  EXPECT_EQ(r.status, 1);  // already subscribed
  r = RunOnThread({"add", "http://127.0.0.1:1/"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("could not be downloaded"), std::string::npos) << r.err;
  EXPECT_EQ(RunArgs({"channels"}).out.find("blog"), std::string::npos);  // nothing else was added
}

TEST_F(CatalogCommandsTest, UsageErrorsAndHelp) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"add"},
           {"add", "http://x", "T", "--category"},
           {"add", "http://x", "T", "--colour", "red"},
           {"add", " ", "T"},
           {"channels", "extra"},
           {"rename", "A"},
           {"move", "u"},
           {"delete"},
           {"import"},
           {"export", "a", "b"}}) {
    const CliResult r = RunArgs(args);
    EXPECT_EQ(r.status, 2) << args[0] << " " << args.size();
    EXPECT_FALSE(r.err.empty());
  }
  for (const char* name : {"channels", "add", "add-category", "rename", "move", "delete",
                           "delete-category", "import", "export"}) {
    const CliResult r = RunArgs({name, "--help"});
    EXPECT_EQ(r.status, 0) << name;
    EXPECT_NE(r.out.find(std::string("usage: wrenly-cli ") + name), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(catalog()));
}

}  // namespace
}  // namespace wrenly::cli
