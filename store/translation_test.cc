#include "store/translation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "platform/text.h"
#include "store/settings.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

std::string MarkedFile(std::u16string_view text) { return "\xFF\xFE" + Utf16ToUtf16LE(text); }

// A program folder (the "Root" setting) with a CHS table.
class TranslationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string folder = home_.root() + "/program/Localization/CHS";
    std::filesystem::create_directories(folder);
    testsupport::WriteFile(folder + "/Default.txt",
                           MarkedFile(u"Refresh = \u5237\u65B0\r\nMenu=\u83DC\u5355\r\n"
                                      u"Total space on media=\u603B\u7A7A\u95F4\n"
                                      u"Name\tSize=Menu\tRefresh\r\nRead=Refresh\r\n = orphan\r\n"));
    SetSettingString(setting::kRoot, Utf8ToUtf16(home_.root() + "/program"));
  }
  testsupport::IsolatedHome home_;
};

TEST(TranslationFile, ReadsTrimmedLinesAndSkipsWhatIsNotAnEntry) {
  const TranslationTable table = ParseTranslationFile(
      MarkedFile(u" Refresh = R1 \r\nno equals sign here\nMenu=M\nMenu=M2\n=orphan\r\n \t = x\nLast=not ended"));
  EXPECT_EQ(table.size(), 2u);
  EXPECT_EQ(table.at(u"Refresh"), u"R1");
  EXPECT_EQ(table.at(u"Menu"), u"M2");
  // Neither is a line without "=" glued to the next key, nor is an empty key kept.
  EXPECT_EQ(table.count(u"no equals sign here\nMenu"), 0u);
}

TEST(TranslationFile, IsIgnoredWithoutItsByteOrderMark) {
  EXPECT_TRUE(ParseTranslationFile(Utf16ToUtf16LE(u"Refresh=R\n")).empty());
  EXPECT_TRUE(ParseTranslationFile("\xEF\xBB\xBFRefresh=R\n").empty());
  EXPECT_TRUE(ParseTranslationFile("").empty());
}

TEST_F(TranslationTest, FollowsTheLanguageSettingAtOnce) {
  SetSettingString(setting::kLanguage, u"CHS");
  EXPECT_EQ(LookupTranslation(u"Refresh"), u"\u5237\u65B0");
  EXPECT_EQ(LookupTranslation(u"Unknown text"), u"Unknown text");
  SetSettingString(setting::kLanguage, u"ENU");  // no file: English again
  EXPECT_EQ(LookupTranslation(u"Refresh"), u"Refresh");
  SetSettingString(setting::kLanguage, u"CHS");
  EXPECT_EQ(LookupTranslation(u"Menu"), u"\u83DC\u5355");
}

TEST_F(TranslationTest, TranslatesLinesAndTabSeparatedPieces) {
  SetSettingString(setting::kLanguage, u"CHS");
  EXPECT_EQ(Translate(u"Refresh\nMenu"), u"\u5237\u65B0\n\u83DC\u5355");
  EXPECT_EQ(Translate(u"Total space on media\t:"), u"\u603B\u7A7A\u95F4\t:");
  EXPECT_EQ(Translate(u""), u"");
  // A translated text is not itself a key, so translating twice changes nothing.
  EXPECT_EQ(Translate(Translate(u"Menu")), u"\u83DC\u5355");
}

TEST_F(TranslationTest, TranslatesEachTextOnceAndLeavesEmptyPiecesAlone) {
  SetSettingString(setting::kLanguage, u"CHS");
  // Translations that are keys themselves are not translated again.
  EXPECT_EQ(Translate(u"Read"), u"Refresh");
  EXPECT_EQ(Translate(u"Name\tSize"), u"Menu\tRefresh");
  EXPECT_EQ(Translate(u"Name\tRead"), u"Name\tRefresh");
  // A line " = orphan" is no entry for the empty text.
  EXPECT_EQ(Translate(u"Menu\n\nRefresh\t"), u"\u83DC\u5355\n\n\u5237\u65B0\t");
  EXPECT_EQ(LookupTranslation(u""), u"");
}

TEST_F(TranslationTest, LookupsAreSafeWhileAnotherThreadSwitchesLanguages) {
  std::vector<std::thread> readers;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 3; ++t)
    readers.emplace_back([&] {
      for (int i = 0; i < 300; ++i) {
        const std::u16string text = LookupTranslation(u"Refresh");
        if (text != u"Refresh" && text != u"\u5237\u65B0") ++wrong;
      }
    });
  for (int i = 0; i < 100; ++i) SetSettingString(setting::kLanguage, i % 2 ? u"CHS" : u"ENU");
  for (std::thread& t : readers) t.join();
  EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace wrenly
