#include "reader/settings.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "store/ini_document.h"
#include "testsupport/temp_dir.h"

namespace wrenly::reader {
namespace {

// Each child process stores its own values; a write that replaced the file
// from an old reading would drop values of the other process.
TEST(ReaderSettings, TwoProcessesSettingDifferentValuesAtOnceLoseNone) {
  testsupport::IsolatedHome home;
  constexpr int kValues = 60;
  ASSERT_TRUE(StoreSetting(setting::kLanguage, u"ENU").done());
  pid_t children[2];
  for (int p = 0; p < 2; ++p) {
    children[p] = fork();
    ASSERT_GE(children[p], 0);
    if (children[p] == 0) {
      bool ok = true;
      for (int i = 0; i < kValues; ++i)
        ok = StoreSetting("P" + std::to_string(p) + "V" + std::to_string(i), i).done() && ok;
      _exit(ok ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const IniDocument file = IniDocument::Parse(testsupport::ReadFile(SettingsPath()));
  int missing = 0;
  for (int p = 0; p < 2; ++p)
    for (int i = 0; i < kValues; ++i)
      if (file.Get("Settings", "P" + std::to_string(p) + "V" + std::to_string(i)) != std::to_string(i)) ++missing;
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(SettingText(setting::kLanguage), u"ENU");
  EXPECT_EQ(SettingNumber("P1V7"), 7);
}

TEST(ReaderSettings, AFileThatCannotBeReplacedIsRefusedWithItsPath) {
  testsupport::IsolatedHome home;
  // A folder in the file's place cannot be replaced by a file.
  std::filesystem::create_directories(SettingsPath());
  const Result refused = StoreSetting(setting::kArticlesNumber, 40);
  EXPECT_EQ(refused.refusal, Refusal::kFile);
  EXPECT_NE(refused.message.find(SettingsPath()), std::string::npos);
  EXPECT_EQ(SettingNumber(setting::kArticlesNumber), 50);
}

}  // namespace
}  // namespace wrenly::reader
