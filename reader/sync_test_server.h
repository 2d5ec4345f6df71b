// A throwaway Tiny Tiny RSS for the sync tests and benchmark
// (scripts/ttrss-server), one per process: started on free ports, stopped
// and removed when the process ends, and feeds for it served from
// 127.0.0.1 by an in-process HTTP server whose documents a test sets.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "reader/account.h"
#include "testsupport/http_server.h"

namespace wrenly::reader {

class TtrssTestServer {
 public:
  // Starts the server the first time; empty when it runs, else why not
  // (naming the missing packages).
  static std::string Start();
  static void Stop();
  static TtrssTestServer& Get();

  Account AdminAccount() const;
  std::string url() const { return url_; }
  // Runs SQL in the server's database and gives its output.
  std::string Sql(const std::string& statement) const;
  // Fetches every feed now, as its update daemon would.
  void UpdateFeeds() const;
  void SetApiAccess(bool on) const;
  // The in-process feed server: sets the document served at /NAME.xml and
  // gives its address.
  std::string SetFeed(const std::string& name, const std::string& document);
  // Any other file served there, by its whole name ("logo.png").
  std::string SetFile(const std::string& name, const std::string& bytes);
  // An RSS document with items first..last of the feed NAME.
  static std::string Rss(const std::string& name, int first, int last);
  // A category on the server, by SQL (the API cannot make one); its id.
  std::int64_t AddCategory(const std::string& title) const;

 private:
  std::string Run(const std::string& arguments) const;
  std::string dir_, url_;
  testsupport::HttpServer feeds_;
  std::mutex mutex_;
  std::map<std::string, std::string> documents_;
};

}  // namespace wrenly::reader
