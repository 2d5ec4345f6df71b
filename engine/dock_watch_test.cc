#include "engine/dock_watch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "engine/messages.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

using testsupport::TempDir;
using testsupport::WriteFile;

struct Recorder : Receiver {
  std::vector<std::pair<MessageId, std::uint64_t>> got;
  void Post(MessageId m, std::uint64_t w, std::int64_t) override { got.emplace_back(m, w); }
};

void Supply(const TempDir& root, const std::string& name, const std::string& type, const std::string& online) {
  std::filesystem::create_directories(root.path() + "/" + name);
  WriteFile(root.path() + "/" + name + "/type", type + "\n");
  if (!online.empty()) WriteFile(root.path() + "/" + name + "/online", online + "\n");
}

TEST(DockWatch, ExternalPowerCountsAsDockedAndChangesArePosted) {
  TempDir root;
  Supply(root, "BAT0", "Battery", "1");  // a battery never counts
  Supply(root, "AC", "Mains", "0");
  EXPECT_FALSE(IsOnExternalPower(root.path()));
  Recorder view;
  CDockWatch watch(&view, root.path());
  watch.CheckNow();
  EXPECT_TRUE(view.got.empty());

  Supply(root, "AC", "Mains", "1");
  watch.CheckNow();
  watch.CheckNow();  // no change, no second message
  Supply(root, "AC", "Mains", "0");
  watch.CheckNow();
  ASSERT_EQ(view.got.size(), 2u);
  EXPECT_EQ(view.got[0], (std::pair<MessageId, std::uint64_t>{WM_CRADLE_CHANGED, 1}));
  EXPECT_EQ(view.got[1], (std::pair<MessageId, std::uint64_t>{WM_CRADLE_CHANGED, 0}));

  Supply(root, "usb", "USB", "1");
  EXPECT_TRUE(IsOnExternalPower(root.path()));
  EXPECT_FALSE(IsOnExternalPower(root.path() + "/missing"));
}

}  // namespace
}  // namespace wrenly
