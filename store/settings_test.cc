#include "store/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "store/ini_document.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

TEST(Settings, MissingValuesReadAsTheirDefaultsAndNothingIsWritten) {
  testsupport::IsolatedHome home;
  testsupport::ScopedEnv lang("LANG", "zh_CN.UTF-8");
  testsupport::ScopedEnv all("LC_ALL", "");
  testsupport::ScopedEnv messages("LC_MESSAGES", "");
  EXPECT_EQ(GetSettingInt(setting::kArticlesNumber), 50);
  EXPECT_EQ(GetSettingInt(setting::kArticlesNumberSet), 1);
  EXPECT_EQ(GetSettingInt(setting::kDownloadImage), 0);
  EXPECT_EQ(GetSettingInt(setting::kDownloadFulltext), 1);
  EXPECT_EQ(GetSettingInt(setting::kAutoUpdateMode), 0);
  EXPECT_EQ(GetSettingInt(setting::kAutoUpdateTimeNum), 19);
  EXPECT_EQ(GetSettingInt(setting::kAutoUpdateTimeUnit), 0);
  EXPECT_EQ(GetSettingInt(setting::kUseNetAgency), 0);
  EXPECT_EQ(GetSettingInt(setting::kUseStorageCard), 0);
  EXPECT_EQ(GetSettingInt(setting::kStorageCardNo), 0);
  EXPECT_EQ(GetSettingInt(setting::kHtmlFontSize), 2);
  EXPECT_EQ(GetSettingString(setting::kLastUpdateTime), u"");
  EXPECT_EQ(GetSettingString(setting::kNetAgencyIP), u"");
  EXPECT_EQ(GetSettingString(setting::kStorageCardName), u"");
  EXPECT_EQ(GetSettingString(setting::kLanguage), u"CHS");
  EXPECT_FALSE(GetSettingString(setting::kSupportWebsite).empty());
  EXPECT_EQ(GetArticleLimit(), 50);
  EXPECT_FALSE(ReadStoredSetting(setting::kArticlesNumber).has_value());
  EXPECT_FALSE(std::filesystem::exists(SettingsFilePath()));
  EXPECT_EQ(SettingsFilePath(), home.config() + "/Dalwick Software Lab/Wrenly Mobile.conf");
}

TEST(Settings, ArticleLimitIsCappedAt100ButSmallValuesStayAsTheyAre) {
  testsupport::IsolatedHome home;
  ASSERT_TRUE(SetSettingInt(setting::kArticlesNumber, 250));
  EXPECT_EQ(GetSettingInt(setting::kArticlesNumber), 250);  // stored as written
  EXPECT_EQ(GetArticleLimit(), 100);
  ASSERT_TRUE(SetSettingInt(setting::kArticlesNumber, 0));
  EXPECT_EQ(GetArticleLimit(), 0);
  ASSERT_TRUE(SetSettingInt(setting::kArticlesNumber, -3));
  EXPECT_EQ(GetArticleLimit(), -3);
}

TEST(Settings, WritesKeepUnknownKeysGroupsCommentsAndGarbage) {
  testsupport::IsolatedHome home;
  const std::string original =
      "; hand-written\n"
      "[Other]\nArticlesNumber=7\n\n"
      "[Settings]\nMystery=keep me\nthis line is not INI\n\xFF\xFE binary\nDownloadImage=1\n\n"
      "[Tail]\nx=1\n";
  WriteFile(SettingsFilePath(), original);
  EXPECT_EQ(GetSettingInt(setting::kArticlesNumber), 50);  // [Other] is not [Settings]
  EXPECT_EQ(GetSettingInt(setting::kDownloadImage), 1);

  ASSERT_TRUE(SetSettingInt(setting::kDownloadImage, 0));
  ASSERT_TRUE(SetSettingString(setting::kNetAgencyIP, u"proxy:8080"));
  EXPECT_EQ(ReadFile(SettingsFilePath()),
            "; hand-written\n"
            "[Other]\nArticlesNumber=7\n\n"
            "[Settings]\nMystery=keep me\nthis line is not INI\n\xFF\xFE binary\nDownloadImage=0\n"
            "NetAgencyIP=proxy:8080\n\n"
            "[Tail]\nx=1\n");
  // No temporary file is left beside the settings file.
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(
           std::filesystem::path(SettingsFilePath()).parent_path())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST(Settings, BadNumbersReadAsDefaultsAndTextsRoundTrip) {
  testsupport::IsolatedHome home;
  WriteFile(SettingsFilePath(),
            "[Settings]\r\nArticlesNumber = 12abc\r\nhtmlfontsize=4\r\nAutoUpdateTimeNum=\r\n");
  EXPECT_EQ(GetSettingInt(setting::kArticlesNumber), 50);
  EXPECT_EQ(GetSettingInt(setting::kHtmlFontSize), 4);  // names ignore case, CRLF is fine
  EXPECT_EQ(GetSettingInt(setting::kAutoUpdateTimeNum), 19);

  const std::u16string tricky = u"  C:\\cards\\\"\u5361\" a=b;c\nnext\t\U0001F600 ";
  ASSERT_TRUE(SetSettingString(setting::kStorageCardName, tricky));
  EXPECT_EQ(GetSettingString(setting::kStorageCardName), tricky);
  ASSERT_TRUE(SetSettingString(setting::kLastUpdateTime, u""));
  EXPECT_EQ(GetSettingString(setting::kLastUpdateTime), u"");
  EXPECT_EQ(ReadStoredSetting(setting::kLastUpdateTime), std::u16string());
}

TEST(Settings, ChangesMadeByAnotherWriterAreSeen) {
  testsupport::IsolatedHome home;
  ASSERT_TRUE(SetSettingInt(setting::kHtmlFontSize, 3));
  EXPECT_EQ(GetSettingInt(setting::kHtmlFontSize), 3);
  WriteFile(SettingsFilePath(), "[Settings]\nHtmlFontSize=4\n");
  EXPECT_EQ(GetSettingInt(setting::kHtmlFontSize), 4);
  std::filesystem::remove(SettingsFilePath());
  EXPECT_EQ(GetSettingInt(setting::kHtmlFontSize), 2);
}

TEST(Settings, ConcurrentWritersLoseNoValue) {
  testsupport::IsolatedHome home;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 25; ++i) {
        SetSettingInt("Key" + std::to_string(t) + "_" + std::to_string(i), i);
        GetSettingInt(setting::kArticlesNumber);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 4; ++t)
    for (int i = 0; i < 25; ++i)
      EXPECT_EQ(GetSettingInt("Key" + std::to_string(t) + "_" + std::to_string(i)), i);
}

TEST(Settings, AFailedWriteIsReportedAndChangesNothing) {
  testsupport::IsolatedHome home;
  WriteFile(home.config(), "a file where the config folder should be");
  EXPECT_FALSE(SetSettingInt(setting::kHtmlFontSize, 4));
  EXPECT_EQ(GetSettingInt(setting::kHtmlFontSize), 2);
  EXPECT_EQ(ReadFile(home.config()), "a file where the config folder should be");
}

TEST(IniDocument, AddsAMissingGroupAfterTheExistingText) {
  IniDocument doc = IniDocument::Parse("[A]\nx=1");
  doc.Set("Settings", "Root", "/opt/w");
  EXPECT_EQ(doc.Serialize(), "[A]\nx=1\n\n[Settings]\nRoot=/opt/w\n");
  EXPECT_EQ(doc.Get("Settings", "root"), "/opt/w");
  EXPECT_FALSE(doc.Get("A", "Root").has_value());
}

}  // namespace
}  // namespace wrenly
