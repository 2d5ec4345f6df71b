// libcurl handles kept per thread and reused by the transfers of that thread,
// so consecutive downloads from one host share a kept-alive connection and the
// resolver cache. Also the one translation of libcurl results into the
// WinInet numbers of net/internet_error.h. Internal to net/.
#pragma once

#include <curl/curl.h>

#include <cstdint>

namespace wrenly::net_internal {

struct CurlSession {
  CURLM* multi = nullptr;
  CURL* easy = nullptr;
  bool busy = false;
  CurlSession();
  ~CurlSession();
  CurlSession(const CurlSession&) = delete;
  CurlSession& operator=(const CurlSession&) = delete;
  bool ok() const { return multi != nullptr && easy != nullptr; }
};

// This thread's session; a nested transfer on a busy thread gets none and
// uses a session of its own.
CurlSession* ThreadSession();

std::uint32_t InternetErrorFromCurl(CURLcode code);

}  // namespace wrenly::net_internal
