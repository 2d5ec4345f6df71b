#include "store/paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "store/settings.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

std::vector<std::string> Names(const std::vector<FoundFile>& found) {
  std::vector<std::string> names;
  for (const FoundFile& f : found) names.push_back(f.name + (f.isFolder ? "/" : ""));
  return names;
}

TEST(DataRoot, XdgFolderByDefaultAndCardPathWhenChosen) {
  testsupport::IsolatedHome home;
  const std::string xdgRoot = home.data() + "/Wrenly Mobile";
  EXPECT_EQ(GetDataRoot(), xdgRoot);
  EXPECT_TRUE(fs::is_directory(xdgRoot));
  EXPECT_EQ(ChannelDataPath("Channels.opml"), xdgRoot + "/ChannelData/Channels.opml");

  // A card switched on without a name keeps the default root.
  SetSettingInt(setting::kUseStorageCard, 1);
  EXPECT_EQ(GetDataRoot(), xdgRoot);

  testsupport::TempDir card;
  SetSettingString(setting::kStorageCardName, fs::path(card.path() + "/").u16string());
  const std::string cardRoot = card.path() + "/Program Files/Wrenly Mobile";
  EXPECT_EQ(GetDataRoot(), cardRoot);
  EXPECT_TRUE(fs::is_directory(cardRoot + "/ChannelData"));

  SetSettingInt(setting::kUseStorageCard, 0);
  EXPECT_EQ(GetDataRoot(), xdgRoot);
}

TEST(DataRoot, AMissingCardStillGivesItsPath) {
  testsupport::IsolatedHome home;
  SetSettingInt(setting::kUseStorageCard, 1);
  SetSettingString(setting::kStorageCardName, u"/nonexistent-card-wrenly");
  EXPECT_EQ(GetDataRoot(), "/nonexistent-card-wrenly/Program Files/Wrenly Mobile");
  EXPECT_FALSE(fs::exists("/nonexistent-card-wrenly"));
}

TEST(Files, ExistenceAndSearch) {
  testsupport::TempDir dir;
  WriteFile(dir.path() + "/Ch100.bin", "x");
  WriteFile(dir.path() + "/Ch101.bin", "x");
  WriteFile(dir.path() + "/Ch100.iid", "x");
  WriteFile(dir.path() + "/README", "x");
  WriteFile(dir.path() + "/.hidden", "x");
  fs::create_directory(dir.path() + "/Templates");

  EXPECT_TRUE(FileExists(dir.path() + "/Ch100.bin"));
  EXPECT_FALSE(FileExists(dir.path() + "/Templates"));
  EXPECT_FALSE(FileExists(dir.path() + "/missing"));

  EXPECT_EQ(Names(FindFiles(dir.path() + "/Ch*.bin")),
            (std::vector<std::string>{"Ch100.bin", "Ch101.bin"}));
  EXPECT_EQ(Names(FindFiles(dir.path() + "/Ch10?.iid")), (std::vector<std::string>{"Ch100.iid"}));
  const std::vector<std::string> all{".hidden",   "Ch100.bin", "Ch100.iid",
                                     "Ch101.bin", "README",    "Templates/"};
  EXPECT_EQ(Names(FindFiles(dir.path() + "/*.*")), all);
  EXPECT_EQ(Names(FindFiles(dir.path())), all);
  EXPECT_TRUE(FindFiles(dir.path() + "/nowhere/*.*").empty());
}

class MoveFolderFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(source());
    fs::create_directory(target());
    WriteFile(source() + "/Channels.opml", "<opml/>");
    WriteFile(source() + "/Ch100.bin", std::string(100000, 'b'));
    WriteFile(source() + "/Ch100-1-001.htm", "page");
  }
  std::string source() const { return dir_.path() + "/old"; }
  std::string target() const { return dir_.path() + "/new"; }
  testsupport::TempDir dir_;
};

TEST_F(MoveFolderFilesTest, MovesEveryFileAndOverwritesNothing) {
  WriteFile(target() + "/Ch100-1-001.htm", "newer page");
  const MoveResult result = MoveFolderFiles(source(), target());
  EXPECT_EQ(result.moved, 2);
  EXPECT_EQ(result.failed, 1);
  EXPECT_EQ(ReadFile(target() + "/Channels.opml"), "<opml/>");
  EXPECT_EQ(ReadFile(target() + "/Ch100.bin").size(), 100000u);
  EXPECT_EQ(ReadFile(target() + "/Ch100-1-001.htm"), "newer page");
  EXPECT_EQ(ReadFile(source() + "/Ch100-1-001.htm"), "page");
  EXPECT_FALSE(fs::exists(source() + "/Channels.opml"));
}

TEST_F(MoveFolderFilesTest, CopiesAcrossFileSystemsWhenRenameCannot) {
  FileMoveOps ops = SystemFileMoveOps();
  ops.rename = [](const std::string&, const std::string&) { return EXDEV; };
  fs::create_directory(source() + "/sub");
  WriteFile(source() + "/sub/inner.txt", "inner");
  const MoveResult result = MoveFolderFiles(source(), target(), ops);
  EXPECT_EQ(result.moved, 4);
  EXPECT_EQ(result.failed, 0);
  EXPECT_EQ(ReadFile(target() + "/Ch100.bin"), std::string(100000, 'b'));
  EXPECT_EQ(ReadFile(target() + "/sub/inner.txt"), "inner");
  EXPECT_TRUE(fs::is_empty(source()));
}

TEST_F(MoveFolderFilesTest, AFailedCopyLeavesTheFileAndRemovesThePartialCopy) {
  FileMoveOps ops = SystemFileMoveOps();
  ops.rename = [](const std::string&, const std::string&) { return EXDEV; };
  const auto realCopy = ops.copy;
  ops.copy = [realCopy](const std::string& from, const std::string& to) {
    if (from.ends_with("Ch100.bin")) {
      WriteFile(to, "half");  // as when the card fills up
      return false;
    }
    return realCopy(from, to);
  };
  const MoveResult result = MoveFolderFiles(source(), target(), ops);
  EXPECT_EQ(result.moved, 2);
  EXPECT_EQ(result.failed, 1);
  EXPECT_EQ(ReadFile(source() + "/Ch100.bin").size(), 100000u);
  EXPECT_FALSE(fs::exists(target() + "/Ch100.bin"));
}

TEST_F(MoveFolderFilesTest, MovesToARealOtherFileSystem) {
  struct stat a, b;
  if (stat(dir_.path().c_str(), &a) != 0 || stat("/dev/shm", &b) != 0 || a.st_dev == b.st_dev)
    GTEST_SKIP() << "no second file system at /dev/shm";
  testsupport::ScopedEnv tmp("TMPDIR", "/dev/shm");
  testsupport::TempDir other;
  const MoveResult result = MoveFolderFiles(source(), other.path());
  EXPECT_EQ(result.moved, 3);
  EXPECT_EQ(ReadFile(other.path() + "/Ch100.bin"), std::string(100000, 'b'));
  EXPECT_TRUE(fs::is_empty(source()));
}

TEST(DataRoot, SwitchingToACardAndBackMovesTheChannelFilesEachTime) {
  testsupport::IsolatedHome home;
  testsupport::TempDir card;
  CreateFolder(ChannelDataFolder());
  WriteFile(ChannelDataPath("Channels.opml"), "catalog");
  const std::string oldRoot = GetDataRoot();

  SetSettingInt(setting::kUseStorageCard, 1);
  SetSettingString(setting::kStorageCardName, fs::path(card.path()).u16string());
  const std::string cardRoot = GetDataRoot();
  ASSERT_NE(cardRoot, oldRoot);
  EXPECT_EQ(MoveFolderFiles(oldRoot + "/ChannelData", cardRoot + "/ChannelData").moved, 1);
  EXPECT_EQ(ReadFile(ChannelDataPath("Channels.opml")), "catalog");

  // Back to a root whose ChannelData folder is gone.
  std::filesystem::remove(oldRoot + "/ChannelData");
  SetSettingInt(setting::kUseStorageCard, 0);
  EXPECT_EQ(MoveFolderFiles(cardRoot + "/ChannelData", GetDataRoot() + "/ChannelData").moved, 1);
  EXPECT_EQ(ReadFile(ChannelDataPath("Channels.opml")), "catalog");
}

}  // namespace
}  // namespace wrenly
