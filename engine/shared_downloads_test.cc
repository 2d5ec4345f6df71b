#include "engine/shared_downloads.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/atomic_file.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

using testsupport::ReadFile;
using testsupport::TempDir;

// A download that takes a while, so that the other requests come while it runs.
struct SlowDownload {
  std::atomic<int> calls{0};
  bool succeeds = true;
  bool operator()(const std::string& path) {
    ++calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return succeeds && WriteFileAtomically(path, "icon bytes");
  }
};

// Each thread writes its own result (not a bit of a vector<bool>, which
// would share bytes between threads).
std::vector<std::string> FetchFromThreads(SharedDownloads& shared, const std::string& folder, SlowDownload& slow,
                                          int threads, std::vector<char>& results) {
  std::vector<std::string> paths;
  for (int i = 0; i < threads; ++i) paths.push_back(folder + "/Ch" + std::to_string(100 + i) + "-Fav.ico");
  results.assign(threads, 0);
  {
    std::vector<std::jthread> workers;
    for (int i = 0; i < threads; ++i)
      workers.emplace_back([&, i] {
        results[i] = shared.Fetch(u"http://news.example/favicon.ico", paths[i], std::ref(slow));
      });
  }
  return paths;
}

TEST(SharedDownloads, OneDownloadPerAddressWhoeverAsksAndWhenever) {
  TempDir dir;
  SharedDownloads shared;
  SlowDownload slow;
  std::vector<char> results;
  const std::vector<std::string> paths = FetchFromThreads(shared, dir.path(), slow, 6, results);
  EXPECT_EQ(slow.calls, 1);
  for (int i = 0; i < 6; ++i) {
    EXPECT_TRUE(results[i]);
    EXPECT_EQ(ReadFile(paths[i]), "icon bytes");
  }
  // A later request shares the stored file too; another address downloads.
  EXPECT_TRUE(shared.Fetch(u"http://news.example/favicon.ico", dir.path() + "/late.ico", std::ref(slow)));
  EXPECT_EQ(ReadFile(dir.path() + "/late.ico"), "icon bytes");
  EXPECT_TRUE(shared.Fetch(u"http://other.example/favicon.ico", dir.path() + "/other.ico", std::ref(slow)));
  EXPECT_EQ(slow.calls, 2);
}

TEST(SharedDownloads, AFailureIsSharedAndLeavesNoFiles) {
  TempDir dir;
  SharedDownloads shared;
  SlowDownload slow;
  slow.succeeds = false;
  std::vector<char> results;
  const std::vector<std::string> paths = FetchFromThreads(shared, dir.path(), slow, 4, results);
  EXPECT_EQ(slow.calls, 1);
  for (int i = 0; i < 4; ++i) {
    EXPECT_FALSE(results[i]);
    EXPECT_FALSE(std::filesystem::exists(paths[i]));
  }
}

// Where the first file cannot get a second name (another file system), the
// file is copied whole; a missing first file shares nothing.
TEST(SharedDownloads, ShareFileCopiesAcrossFileSystems) {
  TempDir dir;
  const std::string source = dir.path() + "/logo.img";
  ASSERT_TRUE(WriteFileAtomically(source, std::string(5000, 'x')));
  EXPECT_FALSE(ShareFile(dir.path() + "/missing.img", dir.path() + "/copy.img"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/copy.img"));
  struct stat here{}, shm{};
  if (stat(dir.path().c_str(), &here) != 0 || stat("/dev/shm", &shm) != 0 || here.st_dev == shm.st_dev)
    GTEST_SKIP() << "no second file system to copy to";
  const std::string target = "/dev/shm/wrenly-share-" + std::to_string(getpid()) + ".img";
  EXPECT_TRUE(ShareFile(source, target));
  EXPECT_EQ(ReadFile(target), std::string(5000, 'x'));
  std::filesystem::remove(target);
}

}  // namespace
}  // namespace wrenly
