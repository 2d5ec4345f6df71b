// The fixture of the refresh tests: an isolated home, a local site, a
// channel panel and message logs, and a download manager running real
// full-text jobs.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <thread>

#include "engine/full_text_job.h"
#include "engine/messages.h"
#include "engine/refresh.h"
#include "engine/refresh_controller.h"
#include "engine/refresh_test_support.h"
#include "net/transfer_control.h"
#include "platform/text.h"
#include "store/channel_files.h"
#include "store/item_record.h"
#include "store/paths.h"
#include "store/settings.h"
#include "testsupport/temp_dir.h"

namespace wrenly::testing {

inline std::string ChannelFile(int channel, const std::string& suffix) {
  return ChannelDataPath(ChannelFileName(channel, suffix));
}

// Names in the channel data folder that match a pattern.
inline std::vector<std::string> ChannelFiles(const std::string& pattern) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(ChannelDataFolder(), ec)) {
    const std::string name = entry.path().filename().string();
    if (std::regex_match(name, std::regex(pattern))) names.push_back(name);
  }
  return names;
}

inline std::vector<ItemRecord> Records(const std::string& path) {
  std::vector<ItemRecord> records;
  RecordReader reader(path);
  for (ItemRecord r; reader.Next(r, RecordReader::kAllTexts);)
    if (IsLive(r)) records.push_back(r);
  return records;
}

inline std::u16string ErrorRecordText(int channel) {
  for (const ItemRecord& r : Records(ChannelFile(channel, ".bin")))
    if (r.type == kItemTypeError) return r.description;
  return {};
}

// The picture file that the URL index gives an address.
inline std::string PictureFileOf(int channel, const std::u16string& address) {
  for (const ItemRecord& r : Records(ChannelFile(channel, ".iid")))
    if (r.link == address) return StampedFilePath(ChannelFile(channel, ".bin"), r.flag, r.type, ".img");
  return {};
}

class Refresh : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetSettingInt(setting::kDownloadImage, 1));
    // The local site needs no default route; the route watch has tests of its own.
    ASSERT_TRUE(SetSettingInt(setting::kAlwaysConnected, 1));
    ASSERT_TRUE(SetSettingInt(setting::kDownloadFulltext, 1));
    ASSERT_TRUE(CreateFolder(ChannelDataFolder()));
    // An earlier test's Cancel leaves the transfer abort flag up until the
    // next refresh starts; a fetcher run outside a refresh would obey it.
    GetTransferControl().ClearAbortFlag();
    AddBroadcastReceiver(&log_);
  }
  void TearDown() override { RemoveBroadcastReceiver(&log_); }

  // An article page: its text and one picture of its own.
  void ServeArticle(const std::string& name, int picture) {
    const std::string img = "/img/" + name + ".png";
    site_.Serve("/articles/" + name + ".html",
                "<html><body><div>Article " + name + " <img alt=\"x\" src=\"" + site_.UrlUtf8(img) +
                    "\" width=\"10\"></div></body></html>",
                "text/html");
    site_.Serve(img, PngBytes(picture), "image/png");
  }
  FeedItemSpec Item(const std::string& name, const std::string& description) {
    return {"Title " + name, site_.UrlUtf8("/articles/" + name + ".html"), description};
  }
  void GiveTemplate(int channel) {
    testsupport::WriteFile(ChannelFile(channel, ".tpl"), "article.body = URLDownload(article.url, \"utf-8\");\n");
  }
  // Runs one refresh with its full-text jobs to the end.
  void RunRefresh() {
    CRefreshController controller(panel_, manager_, &view_);
    controller.ToggleRefresh();
    controller.WaitUntilDone();
    while (!manager_.IsDrained()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }

  testsupport::IsolatedHome home_;
  TestSite site_;
  TestPanel panel_;
  MessageLog log_, view_;
  CDownloadManager manager_{RunFullTextJob};
};

// A feed that keeps the connection busy: a chunk every 50 ms for 10 s.
inline void Trickle(const std::string& first, httplib::Response& res) {
  res.set_chunked_content_provider("text/xml", [first, sent = 0](std::size_t, httplib::DataSink& sink) mutable {
    if (sent == 0) sink.write(first.data(), first.size());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (++sent > 200 || !sink.write(" ", 1)) {
      sink.done();
      return false;
    }
    return true;
  });
}

}  // namespace wrenly::testing
