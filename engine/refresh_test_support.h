// Test helpers for the refresh: a channel list panel held in memory, a
// recorder of the engine's messages, and a local site serving feeds,
// pictures, article pages and an extraction template, counting requests.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/channel_panel.h"
#include "platform/notifier.h"
#include "testsupport/http_server.h"

namespace wrenly::testing {

class TestPanel : public IChannelPanel {
 public:
  struct Row {
    int number;
    std::u16string title, url;
    std::map<int, std::u16string> texts;
    std::vector<int> icons;  // every icon the row was given, in order
    std::u16string error;
  };
  void AddRow(int number, std::u16string title, std::u16string url);

  int RowCount() override;
  int ChannelNumber(int row) override;
  std::u16string Text(int row, int column) override;
  void SetText(int row, int column, const std::u16string& text) override;
  void SetIcon(int row, int icon) override;
  void RedrawRow(int) override {}
  int Target() override;
  void SetTarget(int row) override;
  void SetBusy(bool busy) override;
  void SetLastError(int row, const std::u16string& text) override;

  Row row(int r);
  // The last icon of the row, 0 when it got none.
  int Icon(int r);
  bool busy();

 private:
  std::mutex mutex_;
  std::vector<Row> rows_;
  int target_ = -1;
  bool busy_ = false;
};

// Collects every message posted to it (as view) or broadcast (as receiver).
class MessageLog : public Receiver {
 public:
  void Post(MessageId message, std::uint64_t wParam, std::int64_t lParam) override;
  int Count(MessageId message);
  int Count(const char* registeredName);
  std::vector<std::pair<std::uint64_t, std::int64_t>> Params(MessageId message);
  // The registered names in the order they arrived.
  std::vector<std::string> Names();

 private:
  struct Entry {
    MessageId message;
    std::uint64_t w;
    std::int64_t l;
  };
  std::mutex mutex_;
  std::vector<Entry> entries_;
};

// A site on 127.0.0.1: GET of any path registered with Serve answers with
// its body, the path "*" answers every other path, the rest get 404; every
// request is counted by path.
class TestSite {
 public:
  TestSite();
  void Serve(const std::string& path, std::string body, std::string type = "text/xml");
  // Sets or replaces a path's handler.
  void Handle(const std::string& path, std::function<void(const httplib::Request&, httplib::Response&)> handler);
  int Requests(const std::string& path);
  std::u16string Url(const std::string& path) const;
  std::string UrlUtf8(const std::string& path) const { return server_.Url(path); }

 private:
  std::mutex mutex_;
  std::map<std::string, int> requests_;
  std::map<std::string, std::function<void(const httplib::Request&, httplib::Response&)>> handlers_;
  testsupport::HttpServer server_;  // last: it stops before the handlers go
};

struct FeedItemSpec {
  std::string title, link, description;
};
// An RSS 2.0 document (descriptions are put in CDATA).
std::string RssFeed(const std::string& title, const std::string& link, const std::string& logo,
                    const std::vector<FeedItemSpec>& items);

// A small PNG's bytes.
std::string PngBytes(int seed);

}  // namespace wrenly::testing
