// The search index: what a search finds follows the item file through
// deletions, trims, new items and full texts, whether the index comes from
// this process's cache, from its file or is built; a damaged or foreign
// index file is rebuilt, never trusted.
#include "reader/search_index.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <fcntl.h>

#include <filesystem>

#include "reader/reader_test_support.h"
#include "reader/search.h"
#include "store/channel_files.h"
#include "store/channel_store.h"
#include "store/settings.h"

namespace wrenly::reader {
namespace {

class SearchIndexTest : public ReaderTest, public ::testing::Test {
 protected:
  void SetUp() override { channel_ = SubscribeC(); }

  std::string ItemFile() const { return data_.ChannelPath(channel_, ".bin"); }

  // Items first..last (titles "Tn"), with the description "word n".
  void MergeItems(int first, int last, const std::string& word) {
    std::string items;
    for (int i = first; i <= last; ++i)
      items += "<item><title>T" + std::to_string(i) + "</title><link>http://c/" + std::to_string(i) +
               "</link><pubDate>27 Jan 2009 04:" + std::to_string(10 + i) +
               ":00 GMT</pubDate><description>" + word + " " + std::to_string(i) + "</description></item>";
    const std::string path = files_.path() + "/feed" + std::to_string(++feeds_) + ".xml";
    testsupport::WriteFile(path, "<rss version=\"2.0\"><channel><title>C</title>" + items + "</channel></rss>");
    ASSERT_TRUE(data_.Merge(channel_, path).done());
  }

  // Dates the item file an hour back, as when the person searches long after
  // the last refresh: the index built then is trusted by later searches.
  void Settle() {
    struct stat info {};
    ASSERT_EQ(stat(ItemFile().c_str(), &info), 0);
    timespec past[2] = {info.st_atim, info.st_mtim};
    past[0].tv_sec -= 3600;
    past[1].tv_sec -= 3600;
    ASSERT_EQ(utimensat(AT_FDCWD, ItemFile().c_str(), past, 0), 0);
  }

  std::vector<std::u16string> Titles(std::u16string_view query) {
    const auto found = Search(data_, query);
    EXPECT_TRUE(found.done()) << found.result.message;
    std::vector<std::u16string> titles;
    for (const SearchHit& hit : found.value) titles.push_back(hit.title);
    std::sort(titles.begin(), titles.end());
    return titles;
  }

  int channel_ = 0;
};

TEST_F(SearchIndexTest, ResultsFollowDeletionsTrimsAndNewItemsOnceTheIndexIsTrusted) {
  MergeItems(1, 3, "alpha");
  Settle();
  EXPECT_EQ(Titles(u"alpha"), (std::vector<std::u16string>{u"T1", u"T2", u"T3"}));
  ASSERT_TRUE(std::filesystem::exists(IndexPathFor(ItemFile())));

  // Each change below keeps the index that the searches before it trusted
  // from being used again.
  ASSERT_TRUE(data_.DeleteItem(channel_, u"http://c/2").done());
  Settle();
  EXPECT_EQ(Titles(u"alpha"), (std::vector<std::u16string>{u"T1", u"T3"}));

  MergeItems(4, 5, "beta");
  Settle();
  EXPECT_EQ(Titles(u"beta"), (std::vector<std::u16string>{u"T4", u"T5"}));
  EXPECT_EQ(Titles(u"alpha"), (std::vector<std::u16string>{u"T1", u"T3"}));

  SetSettingInt(setting::kArticlesNumber, 3);
  MergeItems(6, 6, "gamma");  // the merge trims the oldest beyond three
  Settle();
  EXPECT_TRUE(Titles(u"alpha").empty());
  EXPECT_EQ(Titles(u"beta gamma"), (std::vector<std::u16string>{}));
  EXPECT_EQ(Titles(u"6"), (std::vector<std::u16string>{u"T6"}));
}

TEST_F(SearchIndexTest, AChangeRightAfterASearchIsSeenEvenWithTheSameSizeAndTime) {
  MergeItems(1, 2, "alpha");
  EXPECT_EQ(Titles(u"alpha"), (std::vector<std::u16string>{u"T1", u"T2"}));
  struct stat before {};
  ASSERT_EQ(stat(ItemFile().c_str(), &before), 0);
  ASSERT_TRUE(data_.DeleteItem(channel_, u"http://c/1").done());
  // The deletion rewrote a word in place; put the time stamp back as a
  // coarse clock would have left it.
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, ItemFile().c_str(), times, 0), 0);
  EXPECT_EQ(Titles(u"alpha"), (std::vector<std::u16string>{u"T2"}));
}

TEST_F(SearchIndexTest, ADamagedOrForeignIndexFileIsRebuiltNeverTrusted) {
  MergeItems(1, 2, "alpha");
  Settle();
  const std::optional<ItemFileState> state = StateOf(ItemFile());
  ASSERT_TRUE(state);
  const std::string good = ChannelIndex::Build(ItemFile(), *state, nullptr).Serialize();
  ASSERT_TRUE(ChannelIndex::Parse(good));

  // Cut short, a byte changed, or nothing at all: refused.
  std::string flipped = good;
  flipped[flipped.size() / 2] ^= 0x20;
  for (const std::string& bad : {good.substr(0, good.size() - 9), flipped, std::string(), std::string(7, 'x')})
    EXPECT_FALSE(ChannelIndex::Parse(bad));

  // An index naming other items for this very item file: the file is damaged
  // in a way its checksum cannot tell, or was copied from elsewhere. Only
  // what the item file holds is found after it changed.
  MergeItems(9, 9, "zeta");
  Settle();
  const std::optional<ItemFileState> now = StateOf(ItemFile());
  testsupport::WriteFile(IndexPathFor(ItemFile()), good);
  EXPECT_EQ(Titles(u"zeta"), (std::vector<std::u16string>{u"T9"}));
  const auto rebuilt = ChannelIndex::Parse(testsupport::ReadFile(IndexPathFor(ItemFile())));
  ASSERT_TRUE(rebuilt);
  EXPECT_EQ(rebuilt->state(), *now);
  EXPECT_EQ(rebuilt->items().size(), 3u);
}

TEST_F(SearchIndexTest, AStoredIndexFindsWhatItsBuildFound) {
  // More items than one byte can number, each with the word "all" and its own.
  CChannelStore store(ItemFile(), false);
  for (int i = 0; i < 300; ++i) {
    const std::u16string n = Utf8ToUtf16(std::to_string(i));
    ASSERT_TRUE(store.AppendRecord(u"Item " + n, u"http://c/" + n, u"Tue, 27 Jan 2009 04:00:00 GMT", kFlagUnread,
                                   kItemTypeOrdinary, u"all w" + n + u"x"));
  }
  Settle();
  const ChannelIndex built = ChannelIndex::Build(ItemFile(), *StateOf(ItemFile()), nullptr);
  const std::optional<ChannelIndex> stored = ChannelIndex::Parse(built.Serialize());
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->state(), built.state());
  for (const std::vector<std::string>& words :
       std::vector<std::vector<std::string>>{{"all"}, {"w299x"}, {"w2"}, {"item", "w25"}, {"nothing"}})
    EXPECT_EQ(stored->Find(words), built.Find(words)) << words[0];
  EXPECT_EQ(built.Find({"all"}).size(), 300u);
  EXPECT_EQ(stored->items()[299].title, "Item 299");
}

TEST_F(SearchIndexTest, FindMatchesInsideWordsAcrossEveryFieldChineseByAnySubstring) {
  MergeItems(1, 1, "Caf\xC3\xA9-cr\xC3\xA8me");
  MergeItems(2, 2, "\xE5\x8C\x97\xE4\xBA\xAC\xE6\x96\xB0\xE9\x97\xBB");
  const auto index = CurrentIndex(ItemFile());
  ASSERT_TRUE(index);
  const auto titles = [&](std::vector<std::string> words) {
    std::vector<std::string> found;
    for (uint32_t i : index->Find(words)) found.push_back(index->items()[i].title);
    return found;
  };
  EXPECT_EQ(titles({"afe-cr"}), (std::vector<std::string>{"T1"}));
  EXPECT_EQ(titles({"t1", "creme"}), (std::vector<std::string>{"T1"}));
  EXPECT_EQ(titles({"\xE4\xBA\xAC\xE6\x96\xB0"}), (std::vector<std::string>{"T2"}));
  EXPECT_EQ(titles({"t", "\xE6\x96\xB0"}), (std::vector<std::string>{"T2"}));
  EXPECT_TRUE(titles({"creme", "\xE6\x96\xB0"}).empty());
  EXPECT_TRUE(titles({"creme t2"}).empty());  // a word never spans a blank
}

}  // namespace
}  // namespace wrenly::reader
