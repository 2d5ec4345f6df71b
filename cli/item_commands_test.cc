#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/cli_test_support.h"
#include "store/channel_store.h"
#include "store/paths.h"
#include "testsupport/temp_dir.h"

namespace wrenly::cli {
namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

std::string Corpus(const std::string& relative) {
  return std::string(WRENLY_TESTDATA) + "/" + relative;
}

class ItemCommandsTest : public ::testing::Test {
 protected:
  std::string Feed(const std::string& items) {
    const std::string path = dir_.path() + "/feed" + std::to_string(++feeds_) + ".xml";
    WriteFile(path, "<rss version=\"2.0\"><channel><title>C</title><link>http://c/</link>" + items +
                        "</channel></rss>");
    return path;
  }
  static std::string Item(int i) {
    return "<item><title>T" + std::to_string(i) + "</title><link>http://c/" + std::to_string(i) +
           "</link><pubDate>27 Jan 2009 04:44:0" + std::to_string(i % 10) +
           " GMT</pubDate><description>&lt;b&gt;d&lt;/b&gt;</description></item>";
  }
  std::vector<nlohmann::json> Items(int channel) {
    const CliResult r = RunArgs({"items", std::to_string(channel), "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    return JsonLines(r.out);
  }

  testsupport::IsolatedHome home_;
  testsupport::TempDir dir_;
  testsupport::ScopedEnv tz_{"TZ", "UTC0"};
  int feeds_ = 0;
};

TEST_F(ItemCommandsTest, ParseReadsAFeedWithoutAStore) {
  CliResult r = RunArgs({"parse", Corpus("newsboat/test/data/rss20_1.xml")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "kind: rss\ntitle: my weblog\nlink: http://example.com/blog/\nlogo: \n"
            "this is an item\thttp://example.com/blog/this_is_an_item.html\t"
            "2008-12-12 01:36:10\t0\n");
  r = RunArgs({"parse", Corpus("rss-parser/test/input/heise.atom"), "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<nlohmann::json> lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[0]["kind"], "atom");
  EXPECT_EQ(lines[0]["logo"],
            "http://www.heise.de/developer/icons/heise_developer_logo_weiss.gif");
  EXPECT_EQ(lines[1]["date"], "2016-02-01 16:22:00");
  EXPECT_NE(lines[1]["description"].get<std::string>().find("<img src="), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(ChannelDataFolder()));

  r = RunArgs({"parse", Corpus("feedparser/tests/json/example.json"), "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(JsonLines(r.out)[0]["kind"], "json");
  EXPECT_EQ(JsonLines(r.out).size(), 3u);
  r = RunArgs({"parse", Corpus("gofeed-json/invalid/invalid.json")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "kind: not a feed\n");

  r = RunArgs({"parse", Corpus("feedparser/tests/illformed/aaa_illformed.xml")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "kind: not a feed\n");
  EXPECT_FALSE(r.err.empty());
  r = RunArgs({"parse", Corpus("feedvalidator/testcases/opml/clean/subscriptionList.opml"), "--json"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(JsonLines(r.out)[0]["kind"], "not a feed");
  EXPECT_EQ(RunArgs({"parse", dir_.path() + "/missing.xml"}).status, 1);
  EXPECT_EQ(RunArgs({"parse"}).status, 2);
  EXPECT_EQ(RunArgs({"parse", "a", "b"}).status, 2);
}

TEST_F(ItemCommandsTest, MergeAsARefreshDoes) {
  ASSERT_TRUE(CreateFolder(GetDataRoot()) && CreateFolder(ChannelDataFolder()));
  ASSERT_TRUE(WriteErrorRecord(ChannelDataPath("Ch100.bin"), u"timeout"));
  CliResult r = RunArgs({"merge", "100", Feed(Item(1) + Item(2))});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "2\n");
  EXPECT_TRUE(std::filesystem::exists(ChannelDataPath("Ch100.xml")));
  EXPECT_FALSE(std::filesystem::exists(ChannelDataPath("Ch100~.xml")));
  std::vector<nlohmann::json> items = Items(100);
  ASSERT_EQ(items.size(), 2u);  // the error record is gone
  EXPECT_EQ(items[0]["title"], "T1");
  EXPECT_EQ(items[0]["date"], "2009-01-27 04:44:01");
  EXPECT_EQ(items[0]["description"], "<b>d</b>");
  EXPECT_EQ(items[0]["flag"], 0);
  EXPECT_EQ(items[0]["type"], 0);
  r = RunArgs({"items", "100"});
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "T1\thttp://c/1\t2009-01-27 04:44:01\t0\t0\t8");

  EXPECT_EQ(RunArgs({"merge", "100", Feed(Item(2) + Item(3))}).out, "1\n");

  // Not a feed: nothing changes, also the last feed document stays.
  const std::string items100 = ReadFile(ChannelDataPath("Ch100.bin"));
  const std::string feed100 = ReadFile(ChannelDataPath("Ch100.xml"));
  const std::string broken = dir_.path() + "/broken.xml";
  WriteFile(broken, "<rss><channel><item>");
  r = RunArgs({"merge", "100", broken});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("not a feed"), std::string::npos);
  EXPECT_TRUE(ReadFile(ChannelDataPath("Ch100.bin")) == items100);
  EXPECT_TRUE(ReadFile(ChannelDataPath("Ch100.xml")) == feed100);
  EXPECT_FALSE(std::filesystem::exists(ChannelDataPath("Ch100~.xml")));
  EXPECT_EQ(RunArgs({"merge", "100", dir_.path() + "/missing.xml"}).status, 1);
  EXPECT_EQ(RunArgs({"merge", "x100", broken}).status, 2);

  // Items that cannot be written fail the merge, and the feed document is not kept.
  std::filesystem::create_directory(ChannelDataPath("Ch102.bin"));
  r = RunArgs({"merge", "102", Feed(Item(1))});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("could not be written"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(ChannelDataPath("Ch102.xml")));
}

TEST_F(ItemCommandsTest, MarkAndDeleteItems) {
  ASSERT_EQ(RunArgs({"merge", "7", Feed(Item(1) + Item(2) + Item(3))}).status, 0);
  CChannelStore store(ChannelDataPath("Ch007.bin"), false);
  ASSERT_TRUE(store.UpdateField(u"http://c/2", ItemField::kReadFlag, kReadFlagFullTextArrived));

  EXPECT_EQ(RunArgs({"mark", "7", "read"}).status, 0);
  std::vector<nlohmann::json> items = Items(7);
  EXPECT_EQ(items[0]["flag"], 2);
  EXPECT_EQ(items[1]["flag"], 3);  // the full-text bit stays
  EXPECT_EQ(RunArgs({"mark", "7", "unread", "http://c/2"}).status, 0);
  items = Items(7);
  EXPECT_EQ(items[1]["flag"], 1);
  EXPECT_EQ(items[2]["flag"], 2);
  EXPECT_EQ(RunArgs({"mark", "7", "unread"}).status, 0);
  EXPECT_EQ(Items(7)[2]["flag"], 0);
  EXPECT_EQ(RunArgs({"mark", "7", "read", "http://c/none"}).status, 1);
  EXPECT_EQ(RunArgs({"mark", "7", "gone"}).status, 2);

  EXPECT_EQ(RunArgs({"delete-item", "7", "http://c/2"}).status, 0);
  items = Items(7);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1]["link"], "http://c/3");
  const CliResult r = RunArgs({"delete-item", "7", "http://c/2"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "wrenly-cli: channel 7 has no item http://c/2\n");
}

TEST_F(ItemCommandsTest, CountsReachTheCatalog) {
  ASSERT_EQ(RunArgs({"add", "http://other/feed", "Other"}).out, "100\n");
  ASSERT_EQ(RunArgs({"add", "http://c/feed", "C"}).out, "101\n");
  ASSERT_EQ(RunArgs({"merge", "101", Feed(Item(1) + Item(2) + Item(3))}).status, 0);
  auto counts = [&] {
    for (const nlohmann::json& row : JsonLines(RunArgs({"channels", "--json"}).out)) {
      if (row["id"] == 101) return std::make_pair(row["itemCount"], row["newItemCount"]);
    }
    return std::make_pair(nlohmann::json(), nlohmann::json());
  };
  EXPECT_EQ(counts(), std::make_pair(nlohmann::json(3), nlohmann::json(3)));
  ASSERT_EQ(RunArgs({"mark", "101", "read", "http://c/1"}).status, 0);
  EXPECT_EQ(counts(), std::make_pair(nlohmann::json(3), nlohmann::json(2)));
  ASSERT_EQ(RunArgs({"delete-item", "101", "http://c/2"}).status, 0);
  EXPECT_EQ(counts(), std::make_pair(nlohmann::json(2), nlohmann::json(1)));
  ASSERT_EQ(RunArgs({"mark", "101", "read"}).status, 0);
  EXPECT_EQ(counts(), std::make_pair(nlohmann::json(2), nlohmann::json(0)));
  // Channel 100 has no items and no counts.
  EXPECT_EQ(JsonLines(RunArgs({"channels", "--json"}).out)[0]["itemCount"], nullptr);
}

TEST_F(ItemCommandsTest, DeletingAChannelDeletesOnlyItsFiles) {
  ASSERT_EQ(RunArgs({"add", "http://c/feed", "C"}).out, "100\n");
  ASSERT_EQ(RunArgs({"merge", "100", Feed(Item(1))}).status, 0);
  ASSERT_EQ(RunArgs({"merge", "1000", Feed(Item(1))}).status, 0);
  EXPECT_EQ(RunArgs({"delete", "http://c/feed"}).status, 0);
  EXPECT_FALSE(std::filesystem::exists(ChannelDataPath("Ch100.bin")));
  EXPECT_FALSE(std::filesystem::exists(ChannelDataPath("Ch100.iid")));
  EXPECT_FALSE(std::filesystem::exists(ChannelDataPath("Ch100.xml")));
  EXPECT_EQ(Items(1000).size(), 1u);
}

}  // namespace
}  // namespace wrenly::cli

namespace wrenly::cli {
namespace {

TEST_F(ItemCommandsTest, SearchListsMatchingHeadlinesNewestFirst) {
  ASSERT_EQ(RunArgs({"add", "http://127.0.0.1:9/a", "Alpha"}).out, "100\n");
  ASSERT_EQ(RunArgs({"add", "http://127.0.0.1:9/b", "Beta"}).out, "101\n");
  ASSERT_EQ(RunArgs({"merge", "100", Feed(Item(1) + Item(3))}).status, 0);
  ASSERT_EQ(RunArgs({"merge", "101", Feed(Item(2))}).status, 0);

  CliResult r = RunArgs({"search", "t", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<nlohmann::json> hits = JsonLines(r.out);
  ASSERT_EQ(hits.size(), 3u);
  EXPECT_EQ(hits[0]["title"], "T3");
  EXPECT_EQ(hits[1]["title"], "T2");
  EXPECT_EQ(hits[1]["channel"], 101);
  EXPECT_EQ(hits[1]["channelTitle"], "Beta");
  EXPECT_EQ(hits[2]["link"], "http://c/1");

  r = RunArgs({"search", "T1", "--channel", "100"});
  EXPECT_EQ(r.out.substr(0, r.out.find('\t')), "100 Alpha");
  EXPECT_EQ(RunArgs({"search", "T1", "--channel", "101"}).out, "");
  EXPECT_EQ(RunArgs({"search", "T1", "--channel", "7"}).status, 1);
  EXPECT_EQ(RunArgs({"search"}).status, 2);
  EXPECT_EQ(RunArgs({"search", "T1", "--channel"}).status, 2);
}

}  // namespace
}  // namespace wrenly::cli
