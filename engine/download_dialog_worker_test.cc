#include "engine/download_dialog_worker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>

#include "engine/refresh_abort.h"
#include "engine/refresh_test_support.h"
#include "platform/program_folder.h"
#include "platform/text.h"
#include "store/paths.h"
#include "store/settings.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

using testing::TestSite;
using testsupport::ReadFile;

TEST(TemplateNamesOfList, OnlyPlainXmlFileNamesAreKept) {
  EXPECT_EQ(TemplateNamesOfList("news.xml\n../../.bashrc.xml\n.hidden.xml\nsub/dir.xml\nback\\slash.xml\n"
                                "\nnotes.txt\nwindows.xml\r\nlast.xml"),
            (std::vector<std::string>{"news.xml", "windows.xml", "last.xml"}));
  EXPECT_EQ(TemplateNamesOfList(std::string(2000, 'a') + ".xml\n"), std::vector<std::string>{});
}

struct FakeDialog : IDownloadDialog {
  void ShowStatus(std::u16string_view text, std::u16string_view name) override {
    std::lock_guard lock(mutex);
    statuses.push_back(Utf16ToUtf8(text) + (name.empty() ? "" : " " + Utf16ToUtf8(name)));
    if (cancelAt == statuses.back()) cancelled = true;
  }
  bool Cancelled() override { return cancelled; }
  void Failed(std::u16string_view errorText) override { failure = Utf16ToUtf8(errorText), failed = true; }
  void Done() override { done = true; }

  std::mutex mutex;
  std::vector<std::string> statuses;
  std::string cancelAt, failure;
  bool cancelled = false, failed = false, done = false;
};

class DownloadDialogWorker : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetSettingString(setting::kSupportWebsite, site_.Url("/support")));
    ASSERT_TRUE(SetSettingString(setting::kLanguage, u"ENU"));
    site_.Serve("/support/SampleChannels.xml", "<opml version=\"1.0\"><body/></opml>");
    site_.Serve("/support/OnlineTemplates.txt", "news.xml\n../escape.xml\nsports.xml\n", "text/plain");
    site_.Serve("/support/news.xml", "<template name=\"News\"/>");
    site_.Serve("/support/sports.xml", "<template name=\"Sports\"/>");
    site_.Serve("/support/escape.xml", "<evil/>");
  }
  std::string Root() { return GetDataRoot(); }

  testsupport::IsolatedHome home_;
  TestSite site_;
};

TEST_F(DownloadDialogWorker, FetchesTheListsAndTemplatesIntoTheDataRoot) {
  FakeDialog dialog;
  RunDownloadDialogWorker(dialog);
  EXPECT_TRUE(dialog.done);
  EXPECT_FALSE(dialog.failed) << dialog.failure;
  EXPECT_EQ(dialog.statuses, (std::vector<std::string>{"Download sample channels (OPML)...",
                                                       "Download online template list file...",
                                                       "Download news.xml", "Download sports.xml"}));
  EXPECT_EQ(ReadFile(Root() + "/SampleChannels.opml"), "<opml version=\"1.0\"><body/></opml>");
  EXPECT_EQ(ReadFile(Root() + "/Templates/news.xml"), "<template name=\"News\"/>");
  EXPECT_EQ(ReadFile(Root() + "/Templates/sports.xml"), "<template name=\"Sports\"/>");
  EXPECT_EQ(site_.Requests("/support/escape.xml"), 0);
  EXPECT_FALSE(std::filesystem::exists(Root() + "/escape.xml"));
  EXPECT_FALSE(std::filesystem::exists(GetProgramFolder() + "/SampleChannels.opml.part"));
}

TEST_F(DownloadDialogWorker, AFailedDownloadStopsWithItsErrorAndLeavesNoPartialFile) {
  site_.Handle("/support/sports.xml", [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
  FakeDialog dialog;
  RunDownloadDialogWorker(dialog);
  EXPECT_FALSE(dialog.done);
  EXPECT_TRUE(dialog.failed);
  EXPECT_FALSE(dialog.failure.empty());
  EXPECT_TRUE(std::filesystem::exists(Root() + "/Templates/news.xml"));
  EXPECT_FALSE(std::filesystem::exists(Root() + "/Templates/sports.xml"));
  EXPECT_FALSE(std::filesystem::exists(Root() + "/Templates/sports.xml.part"));
}

TEST_F(DownloadDialogWorker, CancelDuringTheListDownloadFetchesNoTemplateAndTheNextRunSucceeds) {
  FakeDialog dialog;
  dialog.cancelAt = "Download online template list file...";
  RunDownloadDialogWorker(dialog);
  AbortTransfers();  // the dialog's Cancel also stops the transfers
  EXPECT_FALSE(dialog.done);
  EXPECT_FALSE(dialog.failed);
  EXPECT_EQ(site_.Requests("/support/news.xml"), 0);
  EXPECT_EQ(site_.Requests("/support/sports.xml"), 0);

  FakeDialog again;
  RunDownloadDialogWorker(again);
  EXPECT_TRUE(again.done);
  EXPECT_FALSE(again.failed) << again.failure;
  EXPECT_EQ(site_.Requests("/support/sports.xml"), 1);
}

}  // namespace
}  // namespace wrenly
