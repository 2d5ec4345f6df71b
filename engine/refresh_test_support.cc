#include "engine/refresh_test_support.h"

#include "platform/text.h"

namespace wrenly::testing {

void TestPanel::AddRow(int number, std::u16string title, std::u16string url) {
  std::lock_guard lock(mutex_);
  rows_.push_back({number, std::move(title), std::move(url), {}, {}, {}});
}

int TestPanel::RowCount() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(rows_.size());
}

int TestPanel::ChannelNumber(int row) {
  std::lock_guard lock(mutex_);
  return rows_.at(row).number;
}

std::u16string TestPanel::Text(int row, int column) {
  std::lock_guard lock(mutex_);
  const Row& r = rows_.at(row);
  if (column == kColumnTitle) return r.title;
  if (column == kColumnFeedUrl) return r.url;
  const auto it = r.texts.find(column);
  return it == r.texts.end() ? std::u16string() : it->second;
}

void TestPanel::SetText(int row, int column, const std::u16string& text) {
  std::lock_guard lock(mutex_);
  rows_.at(row).texts[column] = text;
}

void TestPanel::SetIcon(int row, int icon) {
  std::lock_guard lock(mutex_);
  rows_.at(row).icons.push_back(icon);
}

int TestPanel::Target() {
  std::lock_guard lock(mutex_);
  return target_;
}

void TestPanel::SetTarget(int row) {
  std::lock_guard lock(mutex_);
  target_ = row;
}

void TestPanel::SetBusy(bool busy) {
  std::lock_guard lock(mutex_);
  busy_ = busy;
}

void TestPanel::SetLastError(int row, const std::u16string& text) {
  std::lock_guard lock(mutex_);
  rows_.at(row).error = text;
}

TestPanel::Row TestPanel::row(int r) {
  std::lock_guard lock(mutex_);
  return rows_.at(r);
}

int TestPanel::Icon(int r) {
  std::lock_guard lock(mutex_);
  return rows_.at(r).icons.empty() ? 0 : rows_.at(r).icons.back();
}

bool TestPanel::busy() {
  std::lock_guard lock(mutex_);
  return busy_;
}

void MessageLog::Post(MessageId message, std::uint64_t wParam, std::int64_t lParam) {
  std::lock_guard lock(mutex_);
  entries_.push_back({message, wParam, lParam});
}

int MessageLog::Count(MessageId message) {
  std::lock_guard lock(mutex_);
  int n = 0;
  for (const Entry& e : entries_) n += e.message == message;
  return n;
}

int MessageLog::Count(const char* registeredName) { return Count(RegisterMessage(registeredName)); }

std::vector<std::pair<std::uint64_t, std::int64_t>> MessageLog::Params(MessageId message) {
  std::lock_guard lock(mutex_);
  std::vector<std::pair<std::uint64_t, std::int64_t>> params;
  for (const Entry& e : entries_)
    if (e.message == message) params.emplace_back(e.w, e.l);
  return params;
}

std::vector<std::string> MessageLog::Names() {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const Entry& e : entries_) {
    std::string name = RegisteredMessageName(e.message);
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

TestSite::TestSite() {
  // One route, set before the server starts (routes must not change while it
  // runs); the handlers are looked up by path under the site's own lock.
  server_.server().Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
    std::function<void(const httplib::Request&, httplib::Response&)> handler;
    std::string key = req.path;
    {
      std::lock_guard lock(mutex_);
      if (handlers_.count(key) == 0) key = "*";
      if (handlers_.count(key) != 0) handler = handlers_[key];
      ++requests_[key];
    }
    if (handler)
      handler(req, res);
    else
      res.status = 404;
  });
  server_.Start();
}

void TestSite::Serve(const std::string& path, std::string body, std::string type) {
  Handle(path, [body = std::move(body), type = std::move(type)](const httplib::Request&, httplib::Response& res) {
    res.set_content(body, type);
  });
}

void TestSite::Handle(const std::string& path,
                      std::function<void(const httplib::Request&, httplib::Response&)> handler) {
  std::lock_guard lock(mutex_);
  handlers_[path] = std::move(handler);
}

int TestSite::Requests(const std::string& path) {
  std::lock_guard lock(mutex_);
  return requests_[path];
}

std::u16string TestSite::Url(const std::string& path) const { return Utf8ToUtf16(server_.Url(path)); }

std::string RssFeed(const std::string& title, const std::string& link, const std::string& logo,
                    const std::vector<FeedItemSpec>& items) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel><title>" + title +
                    "</title><link>" + link + "</link><description>test</description>";
  if (!logo.empty()) xml += "<image><url>" + logo + "</url><title>logo</title><link>" + link + "</link></image>";
  for (const FeedItemSpec& item : items)
    xml += "<item><title>" + item.title + "</title><link>" + item.link + "</link><description><![CDATA[" +
           item.description + "]]></description><pubDate>Tue, 27 Jan 2009 04:44:03 GMT</pubDate></item>";
  return xml + "</channel></rss>\n";
}

std::string PngBytes(int seed) {
  std::string png("\x89PNG\r\n\x1a\n", 8);
  png += "picture-" + std::to_string(seed);
  return png;
}

}  // namespace wrenly::testing
