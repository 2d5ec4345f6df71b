#include "engine/feed_validators.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "testsupport/file_faults.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

namespace fs = std::filesystem;

constexpr char kFeed[] = "http://127.0.0.1/feed.xml";

size_t EntryCount(const std::string& folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

bool Same(const HttpValidators& a, const HttpValidators& b) {
  return a.etag == b.etag && a.lastModified == b.lastModified;
}

// Every write, flush and rename of a save fails in turn: the table then
// holds the old validators or the new ones, never a mix, and no temporary
// file stays.
TEST(FeedValidatorTable, ASaveIsOldOrNewAtEveryFailure) {
  const HttpValidators before{"\"old\"", "Mon, 01 Jan 2026 00:00:00 GMT"};
  const HttpValidators after{"\"a-new-and-longer-tag\"", ""};
  for (const Flush flush : {Flush::kFileAndFolder, Flush::kNone}) {
    for (const int error : {ENOSPC, EIO}) {
      testsupport::TempDir dir;
      const auto prepare = [&] {
        FeedValidatorTable table(dir.path());
        table.Set(100, kFeed, before);
        ASSERT_TRUE(table.Save());
      };
      const auto save = [&] {
        FeedValidatorTable table(dir.path());
        table.Set(100, kFeed, after);
        return table.Save(flush);
      };
      const int calls = testsupport::ForEachFailingFileCall(error, prepare, save, [&](int call) {
        const HttpValidators read = FeedValidatorTable(dir.path()).Get(100, kFeed);
        EXPECT_TRUE(Same(read, before) || Same(read, after)) << "call " << call;
        EXPECT_EQ(EntryCount(dir.path()), 1u) << "call " << call;
      });
      EXPECT_EQ(calls, flush == Flush::kNone ? 3 : 6);  // create, write, [flush,] rename[, folder]
      EXPECT_TRUE(Same(FeedValidatorTable(dir.path()).Get(100, kFeed), after));
    }
  }
}

// Two refreshes (the window's and wrenly-cli's) that save different channels
// keep both; an entry is forgotten only by the one that empties it, and it
// counts only for the address it was stored with.
TEST(FeedValidatorTable, SavesMergeWithTheFileOnDiskAndEntriesFollowTheirAddress) {
  testsupport::TempDir dir;
  FeedValidatorTable first(dir.path()), second(dir.path());
  first.Set(100, kFeed, {"\"a\"", ""});
  first.Set(101, kFeed, {"\"b\"", ""});
  second.Set(102, kFeed, {"", "Tue, 08 Dec 2026 10:00:00 GMT"});
  ASSERT_TRUE(first.Save());
  ASSERT_TRUE(second.Save());
  FeedValidatorTable third(dir.path());
  EXPECT_EQ(third.Get(100, kFeed).etag, "\"a\"");
  EXPECT_EQ(third.Get(102, kFeed).lastModified, "Tue, 08 Dec 2026 10:00:00 GMT");
  EXPECT_EQ(third.Get(100, "http://127.0.0.1/other.xml").etag, "");

  third.Set(101, kFeed, {});
  ASSERT_TRUE(third.Save());
  FeedValidatorTable fourth(dir.path());
  EXPECT_EQ(fourth.Get(101, kFeed).etag, "");
  EXPECT_EQ(fourth.Get(100, kFeed).etag, "\"a\"");
}

// A damaged line never puts a line break into a request, and the lines
// around it still count.
TEST(FeedValidatorTable, DamagedLinesAreSkipped) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir.path() + "/" + kFeedValidatorsFile,
                         std::string("100\t") + kFeed + "\t\"a\"\r\t\n" + "x\ty\n" + "101\t" + kFeed +
                             "\t\"b\"\t\n102\t" + kFeed + "\t\"c\"\n");
  FeedValidatorTable table(dir.path());
  EXPECT_EQ(table.Get(100, kFeed).etag, "");
  EXPECT_EQ(table.Get(101, kFeed).etag, "\"b\"");
  EXPECT_EQ(table.Get(102, kFeed).etag, "");
}

// A data root of an earlier version keeps them per channel: they are used
// until the table has the channel, and the old file goes with that save.
TEST(FeedValidatorTable, PerChannelFilesOfEarlierVersionsAreTakenOver) {
  testsupport::TempDir dir;
  const std::string old = dir.path() + "/Ch100.http";
  testsupport::WriteFile(old, "ETag: \"old\"\nLast-Modified: Tue, 08 Dec 2026 10:00:00 GMT\n");
  testsupport::WriteFile(dir.path() + "/Ch101.http", "ETag: \"kept\"\r\n");
  FeedValidatorTable table(dir.path());
  EXPECT_EQ(table.Get(100, kFeed).etag, "\"old\"");
  EXPECT_EQ(table.Get(101, kFeed).etag, "");  // the carriage return makes it unusable
  ASSERT_TRUE(table.Save());
  EXPECT_FALSE(fs::exists(old));
  EXPECT_TRUE(fs::exists(dir.path() + "/Ch101.http"));  // nothing usable was taken from it
  EXPECT_EQ(FeedValidatorTable(dir.path()).Get(100, kFeed).lastModified, "Tue, 08 Dec 2026 10:00:00 GMT");
}

}  // namespace
}  // namespace wrenly
