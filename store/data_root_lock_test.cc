#include "store/data_root_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "store/channel_store.h"
#include "store/dates.h"
#include "store/index_sequence.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

// What another process gets when it tries the lock file without waiting:
// 0 when it got the lock in that mode, 1 when it was held against it.
int TryInChild(const std::string& path, int operation) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ::_exit(fd >= 0 && ::flock(fd, operation | LOCK_NB) == 0 ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class DataRootLockTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir_;
  std::string root_ = dir_.path() + "/root";  // made by the first lock
  std::string file_ = root_ + "/" + kDataRootLockName;
};

TEST_F(DataRootLockTest, OtherProcessesSeeSharedAndExclusiveHolds) {
  {
    const DataRootLock lock(root_, LockMode::kExclusive);
    EXPECT_TRUE(lock.held());
    EXPECT_EQ(TryInChild(file_, LOCK_SH), 1);
  }
  EXPECT_EQ(TryInChild(file_, LOCK_EX), 0);
  {
    const DataRootLock a(root_, LockMode::kShared);
    EXPECT_EQ(TryInChild(file_, LOCK_SH), 0);
    EXPECT_EQ(TryInChild(file_, LOCK_EX), 1);
  }
  EXPECT_EQ(TryInChild(file_, LOCK_EX), 0);
}

TEST_F(DataRootLockTest, ThreadsOfOneProcessExcludeEachOther) {
  // Exclusive holders never overlap; shared holders may, but never with an
  // exclusive one. The flock stays taken while any thread holds the lock.
  std::atomic<int> writers{0}, readers{0}, overlaps{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        const bool exclusive = (t + i) % 3 == 0;
        const DataRootLock lock(root_, exclusive ? LockMode::kExclusive : LockMode::kShared);
        if (exclusive) {
          if (writers++ != 0 || readers != 0) ++overlaps;
          std::this_thread::yield();
          --writers;
        } else {
          ++readers;
          if (writers != 0) ++overlaps;
          std::this_thread::yield();
          --readers;
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(overlaps, 0);
  EXPECT_EQ(TryInChild(file_, LOCK_EX), 0);
}

TEST_F(DataRootLockTest, ChannelHoldsGoSideBySideOnlyForDifferentChannels) {
  // Two channels are held at once: each thread waits inside for the other.
  {
    std::atomic<int> inside{0};
    std::atomic<bool> together{true};
    const auto hold = [&](int channel) {
      const DataRootLock lock(root_, channel);
      ++inside;
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (inside < 2 && std::chrono::steady_clock::now() < until) std::this_thread::yield();
      if (inside < 2) together = false;
      EXPECT_EQ(TryInChild(file_, LOCK_SH), 1);
    };
    std::thread a(hold, 1), b(hold, 2);
    a.join();
    b.join();
    EXPECT_TRUE(together);
  }
  // One channel never twice, and channel holds never beside shared or
  // exclusive ones.
  std::atomic<int> writers{0}, readers{0}, overlaps{0};
  std::array<std::atomic<int>, 3> channels{};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        const int kind = (t + i) % 5;
        if (kind < 3) {
          const DataRootLock lock(root_, kind);
          if (channels[kind]++ != 0 || writers != 0 || readers != 0) ++overlaps;
          std::this_thread::yield();
          --channels[kind];
        } else {
          const bool exclusive = kind == 3;
          const DataRootLock lock(root_, exclusive ? LockMode::kExclusive : LockMode::kShared);
          const int held = channels[0] + channels[1] + channels[2];
          if (held != 0 || writers != 0 || (exclusive && readers != 0)) ++overlaps;
          (exclusive ? writers : readers)++;
          std::this_thread::yield();
          (exclusive ? writers : readers)--;
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(overlaps, 0);
  EXPECT_EQ(TryInChild(file_, LOCK_EX), 0);
  // A channel holder takes nothing more.
  const DataRootLock channel(root_, 7);
  EXPECT_FALSE(DataRootLock(root_, LockMode::kShared).held());
  EXPECT_FALSE(DataRootLock(root_, 8).held());
}

TEST_F(DataRootLockTest, NestedHoldsOnOneThread) {
  {
    const DataRootLock outer(root_, LockMode::kExclusive);
    const DataRootLock inner(root_, LockMode::kShared);
    const DataRootLock again(root_, LockMode::kExclusive);
    EXPECT_TRUE(inner.held());
    EXPECT_TRUE(again.held());
  }
  {
    const DataRootLock outer(root_, LockMode::kShared);
    const DataRootLock inner(root_, LockMode::kShared);
    EXPECT_TRUE(inner.held());
    // An upgrade would wait for itself: refused instead.
    const DataRootLock upgrade(root_, LockMode::kExclusive);
    EXPECT_FALSE(upgrade.held());
    EXPECT_EQ(TryInChild(file_, LOCK_EX), 1);
  }
  EXPECT_EQ(TryInChild(file_, LOCK_EX), 0);
}

TEST(IndexSequence, ANewRecordTakesTheNextSequenceOfItsStampOnFile) {
  testsupport::TempDir dir;
  const std::string index = dir.path() + "/Ch100.iid";
  CChannelStore store(index, false);
  // Records another process wrote in this second and the one before.
  const auto now = static_cast<uint32_t>(CurrentInstant());
  ASSERT_TRUE(store.AppendRecord(u"", u"http://a/1", u"", now, 7, u""));
  ASSERT_TRUE(store.AppendRecord(u"", u"http://a/2", u"", now - 1, 20, u""));
  ASSERT_TRUE(store.AppendIndexAddress(u"http://a/3"));
  ASSERT_TRUE(store.FindRecord(u"http://a/3", u""));
  const uint32_t stamp = store.current().flag;
  const uint32_t sequence = store.current().type;
  // Unless the second turned just then, the stamp is the same and the
  // sequence follows the 7 on file.
  if (stamp == now) {
    EXPECT_EQ(sequence, 8u);
  }
  SequenceTable table = ReadSequenceTable(index);
  EXPECT_EQ(table.Next(now - 1), 21u);
  EXPECT_EQ(table.Next(now + 100), 1u);
}

}  // namespace
}  // namespace wrenly
