// Moving the data root: everything goes, or nothing does.
#include "reader/data_root_move.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testsupport/temp_dir.h"

namespace wrenly::reader {
namespace {

namespace fs = std::filesystem;

class DataRootMove : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(from_ + "/ChannelData");
    fs::create_directories(from_ + "/Templates");
    testsupport::WriteFile(from_ + "/ChannelData/Channels.opml", "<opml/>");
    testsupport::WriteFile(from_ + "/ChannelData/Ch100.bin", "items");
    testsupport::WriteFile(from_ + "/Templates/a.xml", "template");
    testsupport::WriteFile(from_ + "/SampleChannels.opml", "<opml/>");
  }
  testsupport::TempDir dir_;
  std::string from_ = dir_.path() + "/old", to_ = dir_.path() + "/card/Wrenly";
};

TEST_F(DataRootMove, EverythingTheRootHoldsMovesAndTheLockFileStays) {
  testsupport::WriteFile(from_ + "/Wrenly.lock", "");
  EXPECT_TRUE(MoveDataRoot(from_, to_).empty());
  for (const char* name : {"ChannelData/Channels.opml", "ChannelData/Ch100.bin", "Templates/a.xml", "SampleChannels.opml"}) {
    EXPECT_TRUE(fs::exists(to_ + "/" + name)) << name;
    EXPECT_FALSE(fs::exists(from_ + "/" + name)) << name;
  }
  EXPECT_FALSE(fs::exists(to_ + "/Wrenly.lock"));
}

TEST_F(DataRootMove, AMoveThatCannotFinishPutsBackWhatItMoved) {
  fs::create_directories(to_ + "/ChannelData/Ch100.bin");  // a folder where the item file must go
  EXPECT_EQ(MoveDataRoot(from_, to_), std::vector<std::string>{"ChannelData/Ch100.bin"});
  for (const char* name : {"ChannelData/Channels.opml", "ChannelData/Ch100.bin", "Templates/a.xml", "SampleChannels.opml"})
    EXPECT_TRUE(fs::exists(from_ + "/" + name)) << name;
  EXPECT_FALSE(fs::exists(to_ + "/Templates/a.xml"));
  EXPECT_EQ(testsupport::ReadFile(from_ + "/ChannelData/Ch100.bin"), "items");
}

}  // namespace
}  // namespace wrenly::reader
