#include "reader/sync_test_server.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace wrenly::reader {
namespace {

std::unique_ptr<TtrssTestServer> running;
std::string startError;

bool PortFree(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return free;
}

// A port with the next one free too (the database takes it).
int FreePortPair() {
  for (int tries = 0; tries < 200; ++tries) {
    const int port = 20000 + static_cast<int>((::getpid() * 7919 + tries * 104729) % 40000);
    if (PortFree(port) && PortFree(port + 1)) return port;
  }
  return 0;
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string Capture(const std::string& command, int& status) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    status = -1;
    return output;
  }
  std::array<char, 4096> buffer;
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) output.append(buffer.data(), n);
  status = ::pclose(pipe);
  return output;
}

}  // namespace

std::string TtrssTestServer::Start() {
  if (running) return {};
  if (!startError.empty()) return startError;
  auto server = std::make_unique<TtrssTestServer>();
  int status = 0;
  const std::string missing = Capture(std::string(WRENLY_SOURCE_DIR) + "/scripts/ttrss-server check 2>&1", status);
  if (status != 0) return startError = missing;
  char pattern[] = "/tmp/wrenly-ttrss-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return startError = "no temporary folder";
  ::chmod(pattern, 0755);
  server->dir_ = pattern;
  const int port = FreePortPair();
  server->url_ = "http://127.0.0.1:" + std::to_string(port) + "/";
  // The server goes with this process even when it crashes.
  const std::string output = server->Run("start " + Quote(server->dir_) + " " + std::to_string(port) + " " +
                                         std::to_string(::getpid()));
  if (output.find("FAILED") != std::string::npos) {
    server->Run("stop " + Quote(server->dir_));
    return startError = "the server did not start: " + output;
  }
  server->feeds_.server().Get(R"(/(\w+\.\w+))", [raw = server.get()](const httplib::Request& request,
                                                                     httplib::Response& response) {
    std::lock_guard lock(raw->mutex_);
    const auto it = raw->documents_.find(request.matches[1]);
    if (it == raw->documents_.end()) {
      response.status = 404;
      return;
    }
    response.set_content(it->second, it->first.ends_with(".xml") ? "application/rss+xml" : "image/png");
  });
  if (!server->feeds_.Start()) return startError = "the feed server did not start";
  running = std::move(server);
  std::atexit(Stop);
  return {};
}

void TtrssTestServer::Stop() {
  if (!running) return;
  running->Run("stop " + Quote(running->dir_));
  running->feeds_.Stop();
  running.reset();
}

TtrssTestServer& TtrssTestServer::Get() { return *running; }

std::string TtrssTestServer::Run(const std::string& arguments) const {
  int status = 0;
  std::string output = Capture(std::string(WRENLY_SOURCE_DIR) + "/scripts/ttrss-server " + arguments + " 2>&1", status);
  if (status != 0) output += "\nFAILED";
  return output;
}

Account TtrssTestServer::AdminAccount() const {
  Account account;
  account.url = url_;
  account.user = "admin";
  account.password = "password";
  return account;
}

std::string TtrssTestServer::Sql(const std::string& statement) const {
  return Run("sql " + Quote(dir_) + " " + Quote(statement));
}

void TtrssTestServer::UpdateFeeds() const {
  // Every feed is due now, whenever it was last fetched.
  Sql("update ttrss_feeds set last_updated = '1970-01-01', last_update_started = '1970-01-01'");
  Run("update " + Quote(dir_));
}

void TtrssTestServer::SetApiAccess(bool on) const {
  Sql(std::string("update ttrss_user_prefs set value = '") + (on ? "true" : "false") +
      "' where pref_name = 'ENABLE_API_ACCESS'");
}

std::string TtrssTestServer::SetFeed(const std::string& name, const std::string& document) {
  std::lock_guard lock(mutex_);
  documents_[name + ".xml"] = document;
  return feeds_.Url("/" + name + ".xml");
}

std::string TtrssTestServer::SetFile(const std::string& name, const std::string& bytes) {
  std::lock_guard lock(mutex_);
  documents_[name] = bytes;
  return feeds_.Url("/" + name);
}

std::string TtrssTestServer::Rss(const std::string& name, int first, int last) {
  std::string items;
  for (int i = last; i >= first; --i)
    items += "<item><title>" + name + " " + std::to_string(i) + "</title><link>http://example.com/" + name + "/" +
             std::to_string(i) + "</link><guid>" + name + "-" + std::to_string(i) +
             "</guid><pubDate>Tue, 01 Dec 2026 10:" + std::to_string(10 + i % 50) +
             ":00 GMT</pubDate><description>Text " + std::to_string(i) + "</description></item>";
  return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>" + name +
         "</title><link>http://example.com/" + name + "/</link>" + items + "</channel></rss>";
}

std::int64_t TtrssTestServer::AddCategory(const std::string& title) const {
  const std::string id = Sql("insert into ttrss_feed_categories (owner_uid, title) values (1, '" + title + "') returning id");
  return std::atoll(id.c_str());
}

}  // namespace wrenly::reader
