#include "store/channel_merge.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "platform/text.h"
#include "store/channel_files.h"
#include "store/channel_store.h"
#include "store/item_record.h"
#include "store/picture_addresses.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

namespace fs = std::filesystem;

constexpr int kLimit = 50;

std::u16string U(const std::string& text) { return Utf8ToUtf16(text); }

// Item n of a busy feed: dated n minutes into the year, with a long body
// and two pictures of its own, at addresses as long as real sites give them.
FeedItem BusyItem(int n) {
  char date[32];
  std::snprintf(date, sizeof date, "2026-%02d-%02d %02d:%02d:00", 1 + n / 40000, 1 + n / 1440 % 28, n / 60 % 24,
                n % 60);
  const std::string id = std::to_string(n);
  const std::string path = "/news/2026/section/a-rather-long-article-slug-as-real-sites-use-" + id;
  return {U("Title " + id), U("http://news.example" + path + ".html?utm_source=rss&utm_medium=feed&utm_campaign=top"),
          U(date),
          U("<p>" + std::string(600, 'x') + "</p><img src=\"http://cdn.example" + path +
            "/picture.jpg?width=1200&height=800&fit=crop&auto=format,compress&quality=75&sig=0123456789abcdef\">" +
            "<img src=\"http://cdn.example" + path + "/thumb.jpg?width=300&fit=crop&auto=format\">")};
}

struct Live {
  std::u16string title, link, date;
  uint32_t flag;
  bool operator==(const Live&) const = default;
};

std::vector<Live> LiveItems(const std::string& itemFile) {
  std::vector<Live> live;
  RecordReader reader(itemFile);
  for (ItemRecord r; reader.Next(r, RecordReader::kAllTexts);)
    if (IsLive(r)) live.push_back({r.title, r.link, r.date, r.flag});
  return live;
}

// Every URL-index key with its stamp and sequence (the first record wins).
std::map<std::u16string, std::pair<uint32_t, uint32_t>> IndexNames(const std::string& indexFile) {
  std::map<std::u16string, std::pair<uint32_t, uint32_t>> names;
  RecordReader reader(indexFile);
  for (ItemRecord r; reader.Next(r, RecordReader::kLink);) names.emplace(r.link, std::make_pair(r.flag, r.type));
  return names;
}

// The bytes the live records take.
uint64_t LiveBytes(const std::string& path, const std::set<std::u16string>* keys = nullptr) {
  uint64_t bytes = 0;
  RecordReader reader(path);
  ItemRecord r;
  for (uint64_t start = 0; reader.Next(r, RecordReader::kLink); start = reader.wholeEnd())
    if (IsLive(r) && (keys == nullptr || keys->count(r.link) != 0)) bytes += reader.wholeEnd() - start;
  return bytes;
}

class ChannelMerge : public ::testing::Test {
 protected:
  std::string File(const std::string& suffix) const { return dir_.path() + "/" + ChannelFileName(100, suffix); }
  // Merges items [first, first + count) and saves their pictures as a
  // refresh with "DownloadImage" does.
  MergeResult MergeRange(int first, int count) {
    std::vector<FeedItem> items;
    for (int n = first + count - 1; n >= first; --n) items.push_back(BusyItem(n));  // newest first
    MergeResult result = MergeChannelItems(File(".bin"), items, kLimit);
    for (const MergedPicture& p : result.pictures)
      testsupport::WriteFile(StampedFilePath(File(".bin"), p.stamp, p.sequence, ".img"), "png");
    return result;
  }
  testsupport::TempDir dir_;
};

TEST_F(ChannelMerge, ARotatingFeedKeepsBothFilesBoundedAndReadsTheSame) {
  std::vector<Live> before;
  std::map<std::u16string, std::pair<uint32_t, uint32_t>> namesBefore;
  uint64_t largestBin = 0, largestIndex = 0;
  for (int merge = 0; merge < 300; ++merge) {
    // Ten new items each time, in a feed that shows the newest fifty.
    const int newest = 10 * merge + 50;
    const MergeResult result = MergeRange(newest - 50, 50);
    ASSERT_TRUE(result.written);
    ASSERT_EQ(result.newItems, merge == 0 ? 50 : 10);
    // Marks survive: the item just read keeps its flag through compactions.
    CChannelStore store(File(".bin"), false);
    store.UpdateField(BusyItem(newest - 5).link, ItemField::kReadFlag, kFlagRead);

    // The live items are the fifty newest, each merge's new ones appended.
    const std::vector<Live> live = LiveItems(File(".bin"));
    ASSERT_EQ(live.size(), static_cast<size_t>(kLimit));
    std::set<std::u16string> links;
    for (const Live& item : live) links.insert(item.link);
    for (int n = newest - kLimit; n < newest; ++n) ASSERT_EQ(links.count(BusyItem(n).link), 1u) << merge;
    if (merge > 0) {
      EXPECT_EQ(live.back().link, BusyItem(newest - 10).link);
      // What was live before and still is reads the same, in the same order,
      // and its URL-index names (its file names) did not change.
      std::vector<Live> kept;
      for (const Live& item : before)
        if (links.count(item.link) != 0) kept.push_back(item);
      ASSERT_EQ(kept.size(), 40u);
      EXPECT_TRUE(std::equal(kept.begin(), kept.end(), live.begin())) << merge;
      const auto names = IndexNames(File(".iid"));
      for (const Live& item : kept) EXPECT_EQ(names.at(item.link), namesBefore.at(item.link));
    }
    before = live;
    namesBefore = IndexNames(File(".iid"));

    std::set<std::u16string> liveKeys;
    for (int n = newest - kLimit; n < newest; ++n) {
      liveKeys.insert(BusyItem(n).link);
      for (const std::u16string& picture : PictureAddresses(BusyItem(n).description)) liveKeys.insert(picture);
    }
    const uint64_t bin = fs::file_size(File(".bin")), index = fs::file_size(File(".iid"));
    ASSERT_LT(bin, 3 * LiveBytes(File(".bin"))) << merge;
    EXPECT_LT(index, 3 * LiveBytes(File(".iid"), &liveKeys)) << merge;
    largestBin = std::max(largestBin, bin);
    largestIndex = std::max(largestIndex, index);
  }
  // The pictures of trimmed items went with them; the live ones stay.
  size_t pictures = 0;
  for (const auto& entry : fs::directory_iterator(dir_.path()))
    if (entry.path().extension() == ".img") ++pictures;
  EXPECT_EQ(pictures, static_cast<size_t>(2 * kLimit));
  EXPECT_FALSE(fs::exists(File(".bin.new")));
  RecordProperty("largest item file", std::to_string(largestBin));
  RecordProperty("largest URL index", std::to_string(largestIndex));
}

// Long links (tracking and aggregator redirects) and dates the merge cannot
// read count toward the limit like any other item.
TEST_F(ChannelMerge, EveryLiveItemCountsTowardTheLimit) {
  constexpr int kSmallLimit = 10;
  const std::string longPath(300, 'p');
  for (int merge = 0; merge < 40; ++merge) {
    std::vector<FeedItem> items;
    for (int i = 0; i < 5; ++i) {
      const std::string n = std::to_string(merge * 5 + i);
      items.push_back({U("T" + n), U("http://r.example/" + n + "/" + longPath), U(""), U("")});
    }
    ASSERT_TRUE(MergeChannelItems(File(".bin"), items, kSmallLimit).written);
  }
  const std::vector<Live> live = LiveItems(File(".bin"));
  ASSERT_EQ(live.size(), static_cast<size_t>(kSmallLimit));
  EXPECT_EQ(live.back().title, u"T199");

  const std::u16string oddDate = U("sometime around the middle of the week, 2026");
  ASSERT_EQ(oddDate.size(), 44u);
  for (int n = 0; n < 50; ++n) {
    const std::string id = std::to_string(n);
    ASSERT_TRUE(MergeChannelItems(File(".bin"), {{U("O" + id), U("http://o.example/" + id), oddDate, U("")}},
                                  kSmallLimit)
                    .written);
  }
  const std::vector<Live> odd = LiveItems(File(".bin"));
  ASSERT_EQ(odd.size(), static_cast<size_t>(kSmallLimit));
  // Equal dates go in the order they came: the last ten stay.
  for (int i = 0; i < kSmallLimit; ++i) EXPECT_EQ(odd[i].title, U("O" + std::to_string(40 + i)));
}

// New records larger than one write go out in pieces; each record still
// lands whole where the merge noted it, so the trim marks the right ones.
TEST_F(ChannelMerge, LargeNewItemsAreWrittenInPiecesThatReadBackWhole) {
  std::vector<FeedItem> items;
  for (int n = 0; n < 12; ++n) {
    FeedItem item = BusyItem(n);
    item.description = std::u16string(kMergeAppendBytes / 5, static_cast<char16_t>(u'a' + n));
    items.push_back(std::move(item));
  }
  const MergeResult result = MergeChannelItems(File(".bin"), items, 7);  // too few dead ones to compact
  ASSERT_TRUE(result.written);
  EXPECT_EQ(result.newItems, 12);
  RecordReader reader(File(".bin"));
  std::vector<int> live;
  int n = 0;
  for (ItemRecord r; reader.Next(r, RecordReader::kAllTexts); ++n) {
    ASSERT_EQ(r.link, items[n].link);
    ASSERT_EQ(r.description, items[n].description);
    if (IsLive(r)) live.push_back(n);
  }
  EXPECT_EQ(n, 12);
  EXPECT_EQ(live, (std::vector<int>{5, 6, 7, 8, 9, 10, 11}));
}

// A feed naming more pictures than one merge holds has the rest recorded by
// the next merges.
TEST_F(ChannelMerge, PicturesBeyondOneMergesBudgetComeWithTheNext) {
  const std::string longPath(1000, 'p');
  FeedItem item{u"T", u"http://x/item", u"", u""};
  for (int n = 0; n < 1500; ++n) item.description += U("<img src=http://x/" + longPath + std::to_string(n) + ".png>");
  size_t recorded = 0;
  for (int merge = 0; merge < 2; ++merge) {
    const MergeResult result = MergeChannelItems(File(".bin"), {item}, kLimit);
    EXPECT_LT(result.pictures.size(), 1100u);
    recorded += result.pictures.size();
  }
  EXPECT_EQ(recorded, 1500u);  // each once
}

TEST_F(ChannelMerge, SmallFilesAndFilesMostlyLiveAreNotRewritten) {
  MergeRange(0, 50);
  struct stat first {};
  ::stat(File(".bin").c_str(), &first);
  for (int merge = 1; merge <= 3; ++merge) MergeRange(10 * merge, 50);
  struct stat later {};
  ::stat(File(".bin").c_str(), &later);
  EXPECT_EQ(first.st_ino, later.st_ino);  // appended to, never replaced
}

// A store with fifty live items behind a large dead part: the next merge,
// even one that brings nothing, compacts both files.
void BuildBloatedStore(const std::string& itemFile) {
  std::string items, index;
  for (int n = 0; n < 250; ++n) {
    const FeedItem item = BusyItem(n);
    const uint32_t type = n < 200 ? kItemTypeDeleted : kItemTypeOrdinary;
    items += EncodeItemRecord({item.title, item.link, item.date, n % 3 == 0 ? kFlagRead : kFlagUnread, type,
                               item.description});
    index += EncodeItemRecord({u"", item.link, u"", 1000u + n, static_cast<uint32_t>(n), u""});
  }
  testsupport::WriteFile(itemFile, items);
  testsupport::WriteFile(UrlIndexPathFor(itemFile), index);
}

TEST_F(ChannelMerge, AKilledCompactionLeavesAWholeStoreAndTheNextMergeWorks) {
  BuildBloatedStore(File(".bin"));
  const std::vector<Live> live = LiveItems(File(".bin"));
  ASSERT_EQ(live.size(), 50u);
  const auto names = IndexNames(File(".iid"));
  const std::string bloatedItems = testsupport::ReadFile(File(".bin"));
  const std::string bloatedIndex = testsupport::ReadFile(File(".iid"));

  // How long a whole compaction takes in a child, to spread the kills over it.
  const auto runChild = [&] {
    const pid_t pid = fork();
    if (pid == 0) {
      MergeChannelItems(File(".bin"), {}, kLimit);
      _exit(0);
    }
    return pid;
  };
  const auto start = std::chrono::steady_clock::now();
  int status = 0;
  ASSERT_EQ(waitpid(runChild(), &status, 0) > 0 && WIFEXITED(status), true);
  const auto whole = std::chrono::steady_clock::now() - start;
  ASSERT_LT(fs::file_size(File(".bin")), bloatedItems.size() / 2);  // it did compact

  std::mt19937 random(12);
  int replaced = 0;
  for (int round = 0; round < 20; ++round) {
    testsupport::WriteFile(File(".bin"), bloatedItems);
    testsupport::WriteFile(File(".iid"), bloatedIndex);
    const auto wait = std::chrono::duration_cast<std::chrono::microseconds>(whole) *
                      std::uniform_real_distribution<double>(0.0, 1.2)(random);
    const pid_t pid = runChild();
    std::this_thread::sleep_for(wait);
    kill(pid, SIGKILL);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    if (fs::file_size(File(".bin")) < bloatedItems.size()) ++replaced;

    EXPECT_EQ(LiveItems(File(".bin")), live) << round;
    const auto after = IndexNames(File(".iid"));
    for (const Live& item : live) EXPECT_EQ(after.at(item.link), names.at(item.link)) << round;
    const MergeResult next = MergeChannelItems(File(".bin"), {BusyItem(1000 + round)}, kLimit);
    EXPECT_TRUE(next.written);
    EXPECT_EQ(next.newItems, 1);
    const std::vector<Live> merged = LiveItems(File(".bin"));
    ASSERT_EQ(merged.size(), 50u);  // the newest came, the oldest went
    EXPECT_EQ(merged.back().link, BusyItem(1000 + round).link);
    EXPECT_TRUE(std::equal(live.begin() + 1, live.end(), merged.begin()));
  }
  RecordProperty("rounds that found the file replaced", replaced);
}

}  // namespace
}  // namespace wrenly
