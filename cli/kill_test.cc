// wrenly-cli killed with SIGKILL at random moments of a refresh, an import
// and the catalog commands: whatever moment it dies at, the catalog, the
// item files, the URL indexes and the settings stay readable, nothing stored
// before is lost, and the next run succeeds. Runs the built program.
#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <thread>

#include "cli/cli_channel_panel.h"
#include "cli/cli_process_support.h"
#include "cli/cli_test_support.h"
#include "engine/refresh_test_support.h"
#include "platform/text.h"
#include "store/item_record.h"
#include "store/paths.h"
#include "store/settings.h"
#include "testsupport/temp_dir.h"

namespace wrenly::cli {
namespace {

using Clock = std::chrono::steady_clock;
using wrenly::testing::FeedItemSpec;
using wrenly::testing::RssFeed;
using wrenly::testing::TestSite;

constexpr int kChannels = 20;
constexpr int kKills = 50;

// Runs the command and kills it after `delay`; true when the kill ended it
// (rather than the command ending first).
bool RunAndKill(const std::vector<std::string>& args, Clock::duration delay) {
  const pid_t pid = StartCli(args);
  EXPECT_GT(pid, 0);
  std::this_thread::sleep_for(delay);
  ::kill(pid, SIGKILL);
  return WaitCli(pid) == 128 + SIGKILL;
}

Clock::duration Timed(const std::vector<std::string>& args, int* status = nullptr) {
  const auto start = Clock::now();
  const int s = RunCliProgram(args);
  if (status != nullptr) *status = s;
  return Clock::now() - start;
}

// The live ordinary items' links of a channel. A torn record at the end (a
// write the kill cut off) ends the walk; the next append cuts it away.
std::set<std::u16string> ReadChannel(int number) {
  std::set<std::u16string> links;
  for (const char* suffix : {".bin", ".iid"}) {
    const std::string path = ChannelDataPath("Ch" + std::to_string(number) + suffix);
    if (!FileExists(path)) continue;
    RecordReader reader(path);
    EXPECT_TRUE(reader.is_open()) << path;
    ItemRecord record;
    while (reader.Next(record, RecordReader::kLink))
      if (suffix[1] == 'b' && IsLive(record) && record.type == kItemTypeOrdinary) links.insert(record.link);
  }
  return links;
}

class KillAtAnyMoment : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetSettingInt(setting::kDownloadFulltext, 0));
    ASSERT_TRUE(SetSettingInt(setting::kDownloadImage, 1));
    // The local site needs no default route; the route watch has tests of its own.
    ASSERT_TRUE(SetSettingInt(setting::kAlwaysConnected, 1));
    ASSERT_TRUE(SetSettingInt(setting::kArticlesNumber, 100));
    // Each request of a feed brings one item more, so every refresh merges.
    site_.Handle("*", [this](const httplib::Request& req, httplib::Response& res) {
      if (req.path.ends_with(".png")) return res.set_content(wrenly::testing::PngBytes(1), "image/png");
      int n;
      {
        std::lock_guard lock(mutex_);
        n = std::min(++served_[req.path], 60);
      }
      std::vector<FeedItemSpec> items;
      for (int i = 0; i < n; ++i) {
        const std::string id = req.path + "/" + std::to_string(i);
        items.push_back({"Item " + id, site_.UrlUtf8(id), "<img src=\"" + site_.UrlUtf8(id + ".png") + "\">"});
      }
      res.set_content(RssFeed("Feed " + req.path, site_.UrlUtf8("/"), "", items), "text/xml");
    });
    for (int i = 0; i < kChannels; ++i) {
      const std::string name = "F" + std::to_string(i);
      ASSERT_EQ(RunCliProgram({"add", site_.UrlUtf8("/" + name + ".xml"), name}), 0);
    }
  }

  // Everything that must hold after a kill; `kept` holds each channel's
  // items known before, which must all still be there.
  void CheckStore(std::map<int, std::set<std::u16string>>& kept, const std::string& when) {
    SCOPED_TRACE(when);
    const std::vector<ChannelRow> rows = LoadCatalogChannels();
    std::set<std::u16string> titles;
    for (const ChannelRow& row : rows) titles.insert(row.title);
    for (int i = 0; i < kChannels; ++i)
      EXPECT_TRUE(titles.count(Utf8ToUtf16("F" + std::to_string(i)))) << "channel F" << i << " lost";
    for (const ChannelRow& row : rows) {
      const std::set<std::u16string> links = ReadChannel(row.number);
      for (const std::u16string& link : kept[row.number])
        EXPECT_TRUE(links.count(link)) << "item lost: " << Utf16ToUtf8(link);
      kept[row.number] = links;
    }
    EXPECT_EQ(ReadStoredSetting(setting::kArticlesNumber), std::optional<std::u16string>(u"100"));
  }

  testsupport::IsolatedHome home_;
  std::mutex mutex_;
  std::map<std::string, int> served_;
  TestSite site_;
  std::mt19937 random_{20261208};
};

TEST_F(KillAtAnyMoment, Refresh) {
  std::map<int, std::set<std::u16string>> kept;
  // The length of a refresh: the shortest of three, so that the kills fall
  // inside the run and not after it.
  Clock::duration full = Clock::duration::max();
  for (int i = 0; i < 3; ++i) {
    int status = -1;
    full = std::min(full, Timed({"refresh"}, &status));
    ASSERT_EQ(status, 0);
  }
  CheckStore(kept, "first refreshes");
  std::uniform_real_distribution<double> within(0.0, 1.0);
  int landed = 0;
  for (int i = 0; i < kKills; ++i) {
    // The moments are spread evenly over the length of a whole refresh.
    const auto delay = std::chrono::duration_cast<Clock::duration>(full * ((i + within(random_)) / kKills));
    landed += RunAndKill({"refresh"}, delay);
    CheckStore(kept, "kill " + std::to_string(i) + " after " +
                         std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(delay).count()) + " us");
    ASSERT_EQ(RunCliProgram({"refresh"}), 0) << "the refresh after kill " << i;
    if (HasFailure()) return;
  }
  // A fair share of the kills must land inside the run, or the test tests
  // little; how many varies with the machine's load, which also stretches
  // the runs being killed.
  std::printf("%d of %d kills ended a running refresh\n", landed, kKills);
  EXPECT_GE(landed, kKills / 4);
}

// Ctrl-C cancels a refresh through its normal abort path: the command ends
// at once, not when a stalled download would have, fails, and leaves the
// store sound.
TEST_F(KillAtAnyMoment, CtrlCEndsARefreshAtOnceAndKeepsTheStore) {
  std::map<int, std::set<std::u16string>> kept;
  ASSERT_EQ(RunCliProgram({"refresh"}), 0);
  CheckStore(kept, "before");
  // The handler may outlive the test body by one sleep, so it owns its flag.
  const auto release = std::make_shared<std::atomic<bool>>(false);
  site_.Handle("/stalled.xml", [release](const httplib::Request&, httplib::Response& res) {
    for (int i = 0; i < 3000 && !*release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    res.set_content("", "text/xml");
  });
  ASSERT_EQ(RunCliProgram({"add", site_.UrlUtf8("/stalled.xml"), "Stalled"}), 0);
  const pid_t pid = StartCli({"refresh"});
  ASSERT_GT(pid, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const auto interrupted = Clock::now();
  ::kill(pid, SIGINT);
  const int status = WaitCli(pid);
  const auto took = Clock::now() - interrupted;
  *release = true;
  EXPECT_EQ(status, 1);
  // The stalled feed would have held the refresh for 30 s.
  EXPECT_LT(took, std::chrono::seconds(15));
  CheckStore(kept, "after Ctrl-C");
}

TEST_F(KillAtAnyMoment, ImportAndCatalogCommands) {
  std::map<int, std::set<std::u16string>> kept;
  ASSERT_EQ(RunCliProgram({"refresh"}), 0);
  // An import of 150 channels, killed part-way.
  const std::string opml = home_.root() + "/big.opml";
  std::string text = "<?xml version=\"1.0\"?><opml version=\"1.0\"><head/><body><outline text=\"Big\">";
  for (int i = 0; i < 150; ++i)
    text += "<outline text=\"B" + std::to_string(i) + "\" xmlUrl=\"" + site_.UrlUtf8("/b" + std::to_string(i)) + "\"/>";
  testsupport::WriteFile(opml, text + "</outline></body></opml>");
  const std::filesystem::path catalog = ChannelDataPath("Channels.opml");
  const std::string before = testsupport::ReadFile(catalog);
  Clock::duration import = Clock::duration::max();
  for (int i = 0; i < 3; ++i) {
    testsupport::WriteFile(catalog, before);
    int status = -1;
    import = std::min(import, Timed({"import", opml}, &status));
    ASSERT_EQ(status, 0);
  }
  std::uniform_real_distribution<double> within(0.0, 1.0);
  int landed = 0;
  for (int i = 0; i < kKills; ++i) {
    testsupport::WriteFile(catalog, before);
    landed += RunAndKill({"import", opml}, std::chrono::duration_cast<Clock::duration>(import * ((i + within(random_)) / kKills)));
    CheckStore(kept, "import kill " + std::to_string(i));
    ASSERT_EQ(RunCliProgram({"import", opml}), 0) << "the import after kill " << i;
  }
  std::printf("%d of %d kills ended a running import\n", landed, kKills);
  EXPECT_GE(landed, kKills / 4);

  // The catalog commands, each killed at a moment within its own length.
  const std::string url = site_.UrlUtf8("/x.xml");
  const std::vector<std::vector<std::string>> cycle = {
      {"add", url, "X", "--category", "Extra"}, {"rename", "X", "Y"},   {"move", url, "Others"},
      {"add-category", "Spare"},                {"delete-category", "Spare"}, {"delete", url}};
  std::map<std::size_t, Clock::duration> lengths;
  for (int round = 0; round < 2; ++round)
    for (std::size_t c = 0; c < cycle.size(); ++c)
      lengths[c] = round == 0 ? Timed(cycle[c]) : std::min(lengths[c], Timed(cycle[c]));
  for (int i = 0; i < kKills; ++i) {
    const std::size_t c = static_cast<std::size_t>(i) % cycle.size();
    landed += RunAndKill(cycle[c], std::chrono::duration_cast<Clock::duration>(lengths[c] * within(random_)));
    CheckStore(kept, "catalog command kill " + std::to_string(i));
    // Run to its end the command either did or did not do: it may report
    // "already there" or "not found", but it must not fail otherwise.
    const int again = RunCliProgram(cycle[c]);
    EXPECT_TRUE(again == 0 || again == 1) << cycle[c][0] << " ended with " << again;
    ASSERT_EQ(RunCliProgram({"channels"}), 0);
  }
  std::printf("%d kills in all ended a running import or catalog command\n", landed);
}

}  // namespace
}  // namespace wrenly::cli
