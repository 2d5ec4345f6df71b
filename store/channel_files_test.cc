#include "store/channel_files.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

TEST(ChannelFiles, DerivedPaths) {
  EXPECT_EQ(ChannelFileName(7, ".bin"), "Ch007.bin");
  EXPECT_EQ(ChannelFileName(1000, "~.xml"), "Ch1000~.xml");
  EXPECT_EQ(ItemFilePathForFeed("/d/Ch100~.xml"), "/d/Ch100.bin");
  EXPECT_EQ(ItemFilePathForFeed("/d/Ch100.xml"), "/d/Ch100.bin");
  EXPECT_EQ(UrlIndexPathForFeed("/d/Ch100~.xml"), "/d/Ch100.iid");
  EXPECT_EQ(UrlIndexPathFor("/d.bin/Ch100.bin"), "/d.bin/Ch100.iid");
  EXPECT_EQ(StampedFilePath("/d/Ch100.bin", 1233031443, 7, ".htm"), "/d/Ch100-1233031443-007.htm");
  EXPECT_EQ(StampedFilePath("/d/Ch100.bin", 12, 1234, ".img"), "/d/Ch100-00000012-1234.img");
}

TEST(ChannelFiles, DeletionNeverTouchesAnotherChannel) {
  const std::set<std::string> of100 = {
      "Ch100.xml",     "Ch100~.xml",    "Ch100.bin", "Ch100.iid", "Ch100-1233031443-001.htm",
      "Ch100-1233031443-002.img", "Ch100-Logo.img", "Ch100-Fav.ico", "Ch100.tpl",
      "Ch100.http",    "Ch100.bin.new", "Ch100.iid.new", "Ch100.six"};
  const std::set<std::string> others = {"Ch1000.bin", "Ch1000.six", "Ch1000-1233031443-001.htm", "Ch1000.tpl",
                                        "Ch101.bin",  "Channels.opml",  "Ch100.bin.bak",
                                        "Ch100-x-1.htm", "Ch100-Logo.img.part"};
  testsupport::TempDir dir;
  for (const auto& set : {of100, others})
    for (const std::string& name : set) testsupport::WriteFile(dir.path() + "/" + name, "x");

  EXPECT_EQ(DeleteChannelItems(dir.path(), 100), 10);
  std::set<std::string> expected = others;
  expected.insert({"Ch100-Logo.img", "Ch100-Fav.ico", "Ch100.tpl"});
  EXPECT_EQ(Names(dir.path()), expected);

  EXPECT_EQ(DeleteChannelFiles(dir.path(), 100), 3);
  EXPECT_EQ(Names(dir.path()), others);
  EXPECT_EQ(DeleteChannelFiles(dir.path() + "/missing", 100), 0);
}

// A process that has ended and been reaped: its number names no process.
std::string DeadPid() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return std::to_string(child);
}

TEST(ChannelFiles, DeletionTakesTheTemporaryFilesNoLiveProcessWrites) {
  const std::string dead = DeadPid(), live = std::to_string(getpid());
  const std::set<std::string> stale = {"Ch100~.xml.part" + dead + "-0", "Ch100-1233031443-001.htm.tmp-" + dead + "-3"};
  const std::string staleTemplate = "Ch100.tpl.tmp-" + dead + "-1";
  const std::set<std::string> others = {"Ch100.http.tmp-" + live + "-0", "Ch1000.bin.tmp-" + dead + "-0",
                                        "Channels.opml.tmp-" + dead + "-0"};
  testsupport::TempDir dir;
  for (const auto& set : {stale, others, {staleTemplate}})
    for (const std::string& name : set) testsupport::WriteFile(dir.path() + "/" + name, "x");

  EXPECT_EQ(DeleteChannelItems(dir.path(), 100), 2);
  std::set<std::string> expected = others;
  expected.insert(staleTemplate);
  EXPECT_EQ(Names(dir.path()), expected);
  EXPECT_EQ(DeleteChannelFiles(dir.path(), 100), 1);
  EXPECT_EQ(Names(dir.path()), others);
}

}  // namespace
}  // namespace wrenly
