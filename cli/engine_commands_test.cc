#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_test_support.h"
#include "engine/refresh_test_support.h"
#include "store/paths.h"
#include "store/settings.h"
#include "testsupport/temp_dir.h"

namespace wrenly::cli {
namespace {

using wrenly::testing::RssFeed;
using wrenly::testing::TestSite;

TEST(EngineCommands, SetAndGetSettings) {
  testsupport::IsolatedHome home;
  EXPECT_EQ(RunArgs({"get", "DownloadFulltext"}).out, "1\n");  // the default
  EXPECT_EQ(RunArgs({"set", "DownloadImage", "1"}).status, 0);
  EXPECT_EQ(RunArgs({"get", "DownloadImage"}).out, "1\n");
  EXPECT_EQ(RunArgs({"set", "NetAgencyIP", "proxy.local:3128"}).status, 0);
  EXPECT_EQ(RunArgs({"get", "NetAgencyIP"}).out, "proxy.local:3128\n");
  EXPECT_EQ(RunArgs({"get", "NoSuchValue"}).out, "\n");
  // Bad names and values are refused and change nothing.
  EXPECT_EQ(RunArgs({"set", "Bad=Name", "1"}).status, 2);
  EXPECT_EQ(RunArgs({"set", "[Settings]", "1"}).status, 2);
  EXPECT_EQ(RunArgs({"set", "DownloadImage", "1\n[Other]"}).status, 2);
  EXPECT_EQ(RunArgs({"set", "DownloadImage"}).status, 2);
  EXPECT_EQ(RunArgs({"get"}).status, 2);
  EXPECT_EQ(RunArgs({"get", "DownloadImage"}).out, "1\n");
}

class RefreshCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    // The local site needs no default route; the route watch has tests of its own.
    ASSERT_TRUE(SetSettingInt(setting::kAlwaysConnected, 1));
    site_.Serve("/good.xml", RssFeed("Good", "", "", {{"One", "http://127.0.0.1:9/a1", "x"},
                                                      {"Two", "http://127.0.0.1:9/a2", "y"}}));
    site_.Handle("/gone.xml", [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
    ASSERT_EQ(RunArgs({"add", site_.UrlUtf8("/good.xml"), "Good"}).status, 0);
    ASSERT_EQ(RunArgs({"add", site_.UrlUtf8("/gone.xml"), "Gone"}).status, 0);
  }
  testsupport::IsolatedHome home_;
  TestSite site_;
};

TEST_F(RefreshCommand, FetchesFullTextsThroughTheFetcherBeforeItReturns) {
  site_.Serve("/article.html", "<html><body>The whole story</body></html>", "text/html");
  site_.Serve("/story.xml", RssFeed("Story", "", "", {{"Story", site_.UrlUtf8("/article.html"), "x"}}));
  ASSERT_EQ(RunArgs({"add", site_.UrlUtf8("/story.xml"), "Story"}).status, 0);
  CreateFolder(ChannelDataFolder());
  testsupport::WriteFile(ChannelDataPath("Ch102.tpl"), "article.body = URLDownload(article.url, \"utf-8\");\n");
  const CliResult r = RunArgs({"refresh", "Story"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string fullText;
  for (const FoundFile& f : FindFiles(ChannelDataFolder() + "/Ch102-*.htm"))
    fullText = testsupport::ReadFile(ChannelDataFolder() + "/" + f.name);
  EXPECT_NE(fullText.find("The whole story"), std::string::npos);
}

TEST_F(RefreshCommand, PrintsEachChannelAndTheTotalsAndStoresTheCounts) {
  CliResult r = RunArgs({"refresh"});
  EXPECT_EQ(r.status, 1) << r.err;
  std::istringstream lines(r.out);
  std::string good, gone, totals;
  std::getline(lines, good);
  std::getline(lines, gone);
  std::getline(lines, totals);
  EXPECT_EQ(good, "100\tGood\tupdated\t2/2");
  EXPECT_EQ(gone.rfind("101\tGone\tfailed: ", 0), 0u) << gone;
  EXPECT_EQ(totals, "2 channels, 1 updated, 1 failed, 2/2 unread");
  const std::string channels = RunArgs({"channels", "--json"}).out;
  EXPECT_NE(channels.find("\"itemCount\":2"), std::string::npos) << channels;

  r = RunArgs({"refresh", "100"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "100\tGood\tupdated\t2/2\n1 channels, 1 updated, 0 failed, 2/2 unread\n");
  EXPECT_EQ(site_.Requests("/gone.xml"), 1);

  r = RunArgs({"refresh", "Good", "999"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no channel \"999\""), std::string::npos);
  EXPECT_EQ(site_.Requests("/good.xml"), 2);
}

}  // namespace
}  // namespace wrenly::cli
