// Two wrenly-cli processes on one data root at once: merges of one channel,
// and a refresh while the catalog is being edited. Nothing may be lost, and
// no two URL-index records may share the stamp and sequence that name their
// full-text and picture files. Runs the built program.
#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <thread>

#include "cli/cli_channel_panel.h"
#include "cli/cli_process_support.h"
#include "engine/refresh_test_support.h"
#include "platform/text.h"
#include "reader/reader_data.h"
#include "store/channel_files.h"
#include "store/item_record.h"
#include "store/paths.h"
#include "store/settings.h"
#include "testsupport/temp_dir.h"

namespace wrenly::cli {
namespace {

using wrenly::testing::FeedItemSpec;
using wrenly::testing::RssFeed;

// The links of the live ordinary items of a channel.
std::set<std::u16string> LiveLinks(int channel) {
  std::set<std::u16string> links;
  RecordReader reader(ChannelDataPath(ChannelFileName(channel, ".bin")));
  ItemRecord record;
  while (reader.Next(record, RecordReader::kLink))
    if (IsLive(record) && record.type == kItemTypeOrdinary) links.insert(record.link);
  return links;
}

// Every (stamp, sequence) pair of the URL index that two records share.
std::vector<std::string> SharedFileNames(int channel) {
  std::set<std::pair<uint32_t, uint32_t>> seen;
  std::vector<std::string> shared;
  RecordReader reader(ChannelDataPath(ChannelFileName(channel, ".iid")));
  ItemRecord record;
  while (reader.Next(record, RecordReader::kLink))
    if (!seen.emplace(record.flag, record.type).second)
      shared.push_back(std::to_string(record.flag) + "-" + std::to_string(record.type) + " " +
                       Utf16ToUtf8(record.link));
  return shared;
}

class TwoProcesses : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetSettingInt(setting::kArticlesNumber, 100));
    ASSERT_TRUE(SetSettingInt(setting::kDownloadFulltext, 0));
    ASSERT_TRUE(SetSettingInt(setting::kDownloadImage, 0));
    ASSERT_TRUE(SetSettingInt(setting::kAlwaysConnected, 1));
  }

  testsupport::IsolatedHome home_;
  testsupport::TempDir files_;
};

TEST_F(TwoProcesses, MergeLoopsOnOneChannelKeepEveryItemAndDistinctFileNames) {
  ASSERT_EQ(RunCliProgram({"add", "http://127.0.0.1:9/feed.xml", "Shared"}), 0);
  const int channel = LoadCatalogChannels().at(0).number;
  // Loop L's merge M brings five new items.
  const auto feed = [&](char loop, int merge) {
    std::vector<FeedItemSpec> items;
    for (int i = 0; i < 5; ++i) {
      const std::string id = std::string(1, loop) + std::to_string(merge) + "-" + std::to_string(i);
      items.push_back({"Item " + id, "http://127.0.0.1:9/" + id, "text " + id});
    }
    const std::string path = files_.path() + "/" + std::string(1, loop) + std::to_string(merge) + ".xml";
    testsupport::WriteFile(path, RssFeed("Shared", "http://127.0.0.1:9/", "", items));
    return path;
  };
  std::vector<std::string> feedsA, feedsB;
  for (int m = 0; m < 10; ++m) {
    feedsA.push_back(feed('a', m));
    feedsB.push_back(feed('b', m));
  }
  const auto loop = [channel](const std::vector<std::string>& feeds, std::vector<int>& statuses) {
    for (const std::string& path : feeds) statuses.push_back(RunCliProgram({"merge", std::to_string(channel), path}));
  };
  std::vector<int> statusesA, statusesB;
  std::thread other(loop, std::cref(feedsB), std::ref(statusesB));
  loop(feedsA, statusesA);
  other.join();
  for (const int status : statusesA) EXPECT_EQ(status, 0);
  for (const int status : statusesB) EXPECT_EQ(status, 0);
  EXPECT_EQ(LiveLinks(channel).size(), 100u);
  EXPECT_EQ(SharedFileNames(channel), std::vector<std::string>{});
  std::vector<reader::CatalogEntry> entries;
  ASSERT_TRUE(reader::ReaderData::Current().ListChannels(entries).done());
  EXPECT_EQ(entries.at(0).Get(u"itemCount"), u"100");
}

TEST_F(TwoProcesses, ARefreshDuringCatalogEditsLosesNoChannelAndNoItem) {
  constexpr int kChannels = 20;
  constexpr int kItems = 5;
  wrenly::testing::TestSite site;
  site.Handle("*", [&site](const httplib::Request& req, httplib::Response& res) {
    std::vector<FeedItemSpec> items;
    for (int i = 0; i < kItems; ++i) {
      const std::string id = req.path + "/" + std::to_string(i);
      items.push_back({"Item " + id, site.UrlUtf8(id), "text"});
    }
    res.set_content(RssFeed("Feed " + req.path, site.UrlUtf8("/"), "", items), "text/xml");
  });
  for (int i = 0; i < kChannels; ++i)
    ASSERT_EQ(RunCliProgram({"add", site.UrlUtf8("/f" + std::to_string(i) + ".xml"), "F" + std::to_string(i),
                             "--category", i % 2 ? "Odd" : "Even"}),
              0);
  const pid_t refresh = StartCli({"refresh"});
  ASSERT_GT(refresh, 0);
  // Edits of the catalog, one process after the other, until the refresh ends.
  const std::string extra = site.UrlUtf8("/extra.xml");
  const std::vector<std::vector<std::string>> cycle = {
      {"add", extra, "X", "--category", "Extra"}, {"rename", "X", "Y"},         {"move", extra, "Odd"},
      {"add-category", "Spare"},                  {"rename", "F3", "F3 again"}, {"rename", "F3 again", "F3"},
      {"delete-category", "Spare"},               {"delete", extra},            {"delete-category", "Extra"}};
  int status = 0;
  for (pid_t ended = 0; ended == 0; ended = ::waitpid(refresh, &status, WNOHANG))
    for (const std::vector<std::string>& edit : cycle) EXPECT_EQ(RunCliProgram(edit), 0) << edit[0];
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::vector<ChannelRow> rows = LoadCatalogChannels();
  ASSERT_EQ(rows.size(), static_cast<size_t>(kChannels));
  std::vector<reader::CatalogEntry> entries;
  ASSERT_TRUE(reader::ReaderData::Current().ListChannels(entries).done());
  for (const reader::CatalogEntry& entry : entries) {
    SCOPED_TRACE(Utf16ToUtf8(entry.Get(u"text")));
    EXPECT_EQ(LiveLinks(entry.Number()).size(), static_cast<size_t>(kItems));
    EXPECT_EQ(entry.Get(u"itemCount"), u"5");
  }
}

}  // namespace
}  // namespace wrenly::cli
