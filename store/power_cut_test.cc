// What a failing disk leaves of the files that are replaced whole: every
// write, flush and rename of a save fails in turn (a full disk, an I/O
// error), and each time the file reads as before the save or as after it,
// no temporary file stays, and the save reports the failure.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "platform/text.h"
#include "store/channel_catalog.h"
#include "store/channel_merge.h"
#include "store/item_record.h"
#include "store/settings.h"
#include "testsupport/file_faults.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

constexpr int kErrors[] = {ENOSPC, EIO};

// The names in a folder, sorted.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Checks one failure: the file is `before` or `after`, and the folder holds
// the names it held before.
void ExpectOldOrNew(const std::string& path, const std::string& before, const std::string& after,
                    const std::vector<std::string>& names, int call) {
  const std::string now = ReadFile(path);
  EXPECT_TRUE(now == before || now == after) << "a mix after a failure of call " << call;
  EXPECT_EQ(Names(fs::path(path).parent_path()), names) << "after a failure of call " << call;
}

TEST(PowerCut, CatalogSaveIsOldOrNewAtEveryFailure) {
  for (int error : kErrors) {
    testsupport::TempDir dir;
    const std::string path = dir.path() + "/Channels.opml";
    CChannelCatalog catalog;
    catalog.SetPath(path);
    catalog.CreateEmpty();
    catalog.AddChannel(u"News", u"First", u"http://first");
    const std::string before = ReadFile(path);
    const std::vector<std::string> names = Names(dir.path());
    const auto prepare = [&] {
      WriteFile(path, before);
      ASSERT_EQ(catalog.LoadAndReport(path), 1);
    };
    const auto save = [&] {
      catalog.AddChannel(u"News", u"Second", u"http://second");
      return catalog.LastSaveOk();
    };
    prepare();
    ASSERT_TRUE(save());
    const std::string after = ReadFile(path);
    const int calls = testsupport::ForEachFailingFileCall(
        error, prepare, save, [&](int call) { ExpectOldOrNew(path, before, after, names, call); });
    EXPECT_GE(calls, 6);  // create, write, flush, rename, open and flush the folder
  }
}

TEST(PowerCut, SettingsSaveIsOldOrNewAtEveryFailure) {
  for (int error : kErrors) {
    testsupport::IsolatedHome home;
    ASSERT_TRUE(SetSettingString(setting::kLastUpdateTime, u"2026-01-01 00:00:00"));
    const std::string path = SettingsFilePath();
    const std::string before = ReadFile(path);
    const std::vector<std::string> names = Names(fs::path(path).parent_path());
    const auto prepare = [&] { WriteFile(path, before); };
    const auto save = [] { return SetSettingString(setting::kLastUpdateTime, u"2026-12-31 23:59:59"); };
    prepare();
    ASSERT_TRUE(save());
    const std::string after = ReadFile(path);
    const int calls = testsupport::ForEachFailingFileCall(
        error, prepare, save, [&](int call) { ExpectOldOrNew(path, before, after, names, call); });
    EXPECT_GE(calls, 6);
  }
}

// An item file in which deleted records take most of the room, so the next
// merge rewrites it with its live records only.
std::string MostlyDeadItemFile() {
  std::string bytes;
  const std::u16string body(1000, u'x');
  for (int n = 0; n < 200; ++n) {
    const std::u16string link = u"http://dead/" + Utf8ToUtf16(std::to_string(n));
    bytes += EncodeItemRecord({u"Dead", link, u"2026-01-01 00:00:00", kFlagRead, kItemTypeDeleted, body});
  }
  for (int n = 0; n < 5; ++n) {
    const std::u16string link = u"http://live/" + Utf8ToUtf16(std::to_string(n));
    bytes += EncodeItemRecord({u"Live", link, u"2026-01-02 00:00:00", kFlagUnread, kItemTypeOrdinary, u"kept"});
  }
  return bytes;
}

TEST(PowerCut, CompactionIsOldOrNewAtEveryFailure) {
  for (int error : kErrors) {
    testsupport::TempDir dir;
    const std::string path = dir.path() + "/Ch100.bin";
    const std::string before = MostlyDeadItemFile();
    MergeResult result;
    const auto prepare = [&] {
      WriteFile(path, before);
      WriteFile(dir.path() + "/Ch100.iid", "");
    };
    const auto merge = [&] {
      result = MergeChannelItems(path, {}, 50);
      return result.written && !result.compactionFailed;
    };
    prepare();
    const std::vector<std::string> names = Names(dir.path());
    ASSERT_TRUE(merge());
    const std::string after = ReadFile(path);
    ASSERT_LT(after.size(), before.size() / 10);
    const int calls = testsupport::ForEachFailingFileCall(error, prepare, merge, [&](int call) {
      EXPECT_TRUE(result.written);  // the items themselves are whole either way
      ExpectOldOrNew(path, before, after, names, call);
    });
    EXPECT_GE(calls, 6);
  }
}

}  // namespace
}  // namespace wrenly
