#include "engine/feed_validators.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "testsupport/file_faults.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

namespace fs = std::filesystem;

size_t EntryCount(const std::string& folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// Every write, flush and rename of a save fails in turn: the file then holds
// the old validators or the new ones, never a mix, and no temporary file
// stays. Flushed, the file and then its folder go to disk; unflushed (the
// refresh, which flushes the folder once at its end) there is no flush.
TEST(FeedValidators, ASaveIsOldOrNewAtEveryFailure) {
  const HttpValidators before{"\"old\"", "Mon, 01 Jan 2026 00:00:00 GMT"};
  const HttpValidators after{"\"a-new-and-longer-tag\"", ""};
  for (const Flush flush : {Flush::kFileAndFolder, Flush::kNone}) {
    for (const int error : {ENOSPC, EIO}) {
      testsupport::TempDir dir;
      const std::string path = dir.path() + "/Ch100.http";
      const auto prepare = [&] { ASSERT_TRUE(WriteFeedValidators(path, before)); };
      const auto save = [&] { return WriteFeedValidators(path, after, flush); };
      const int calls = testsupport::ForEachFailingFileCall(error, prepare, save, [&](int call) {
        const HttpValidators read = ReadFeedValidators(path);
        EXPECT_TRUE((read.etag == before.etag && read.lastModified == before.lastModified) ||
                    (read.etag == after.etag && read.lastModified == after.lastModified))
            << "call " << call;
        EXPECT_EQ(EntryCount(dir.path()), 1u) << "call " << call;
      });
      EXPECT_EQ(calls, flush == Flush::kNone ? 3 : 6);  // create, write, [flush,] rename[, folder]
      EXPECT_EQ(ReadFeedValidators(path).etag, after.etag);
    }
  }
}

}  // namespace
}  // namespace wrenly
