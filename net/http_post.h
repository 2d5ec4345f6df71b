// HttpPoster: POSTs a request body to one server and reads a bounded answer,
// for the programs' API clients (a news server's JSON API). Keeps its own
// libcurl handle, so the requests of one poster share a kept-alive
// connection. TLS certificates are always verified; only http and https are
// spoken and no redirect is followed. Obeys the process-wide abort flag and
// proxy of TransferControl. One poster belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace wrenly {

struct PostAnswer {
  bool reached = false;  // the server answered with a status line
  long status = 0;       // the HTTP status when reached
  std::string body;      // the answer's body (cut off by a failure)
  std::string error;     // why no whole answer came, empty when one did
};

class HttpPoster {
 public:
  // Bodies larger than `maxAnswerBytes` are refused, so a hostile server
  // cannot fill memory.
  explicit HttpPoster(std::size_t maxAnswerBytes = 16u * 1024 * 1024);
  ~HttpPoster();
  HttpPoster(const HttpPoster&) = delete;
  HttpPoster& operator=(const HttpPoster&) = delete;

  PostAnswer Post(const std::string& url, std::string_view contentType, std::string_view body);
  // Requests sent so far.
  int requests() const { return requests_; }

 private:
  void* easy_ = nullptr;
  std::size_t maxAnswerBytes_;
  int requests_ = 0;
};

}  // namespace wrenly
