#include "platform/temp_files.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "testsupport/temp_dir.h"

extern char** environ;

namespace wrenly {
namespace {

namespace fs = std::filesystem;

TEST(TempFiles, NamesOfDownloadsAndReplacementsAreRecognised) {
  const auto part = ParseTempFileName("Ch100~.xml.part4242-7");
  ASSERT_TRUE(part);
  EXPECT_EQ(part->target, "Ch100~.xml");
  EXPECT_EQ(part->owner, 4242);
  const auto tmp = ParseTempFileName("Wrenly Mobile.conf.tmp-17-0");
  ASSERT_TRUE(tmp);
  EXPECT_EQ(tmp->target, "Wrenly Mobile.conf");
  EXPECT_EQ(tmp->owner, 17);
  for (const char* other : {"Ch100.xml", "Ch100.bin.new", "a.part", "a.part12", "a.part12-", "a.tmp-x-1",
                            ".tmp-12-1", "a.part1234567890123-1", "notes.partial"})
    EXPECT_FALSE(ParseTempFileName(other)) << other;
}

// A process that has ended and been reaped: its number names no process.
pid_t DeadPid() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

// A live process of another program (sleep), ended by the destructor.
class OtherProgram {
 public:
  OtherProgram() {
    char name[] = "sleep", seconds[] = "60";
    char* argv[] = {name, seconds, nullptr};
    if (posix_spawnp(&pid_, "sleep", nullptr, nullptr, argv, environ) != 0) pid_ = -1;
    // Until the child has run its program, it is still a copy of this one.
    for (int i = 0; i < 500 && pid_ > 0; ++i) {
      std::error_code ec;
      if (fs::read_symlink("/proc/" + std::to_string(pid_) + "/exe", ec).filename() == "sleep") break;
      usleep(10000);
    }
  }
  ~OtherProgram() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

TEST(TempFiles, OnlyFilesNoLiveProcessOfOursWritesAreRemoved) {
  testsupport::TempDir dir;
  OtherProgram other;
  ASSERT_GT(other.pid(), 0);
  const auto file = [&](const std::string& name) {
    const std::string path = dir.path() + "/" + name;
    testsupport::WriteFile(path, "x");
    return path;
  };
  const std::string dead = file("Ch100~.xml.part" + std::to_string(DeadPid()) + "-0");
  const std::string others = file("Ch100.http.tmp-" + std::to_string(other.pid()) + "-3");
  const std::string live = file("Channels.opml.tmp-" + std::to_string(getpid()) + "-1");
  const std::string liveDownload = file("Ch100-Logo.img.part" + std::to_string(getpid()) + "-2");
  // A file changed long before this process started is not its file: the
  // number was used by an earlier process.
  const std::string reused = file("Ch101.http.tmp-" + std::to_string(getpid()) + "-9");
  const timespec longAgo[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, reused.c_str(), longAgo, 0), 0);
  const std::string plain = file("Ch100.xml");

  EXPECT_EQ(RemoveStaleTempFiles(dir.path(), [](std::string_view target) { return target != "Ch100.xml"; }), 3);
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_FALSE(fs::exists(others));
  EXPECT_FALSE(fs::exists(reused));
  EXPECT_TRUE(fs::exists(live));
  EXPECT_TRUE(fs::exists(liveDownload));
  EXPECT_TRUE(fs::exists(plain));

  // A filter keeps what it does not want.
  const std::string unwanted = file("Ch200.bin.tmp-" + std::to_string(DeadPid()) + "-0");
  EXPECT_EQ(RemoveStaleTempFiles(dir.path(), [](std::string_view target) { return target != "Ch200.bin"; }), 0);
  EXPECT_TRUE(fs::exists(unwanted));
  EXPECT_EQ(RemoveStaleTempFiles(dir.path()), 1);
  EXPECT_FALSE(fs::exists(unwanted));
}

}  // namespace
}  // namespace wrenly
