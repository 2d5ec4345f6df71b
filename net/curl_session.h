// libcurl handles kept per thread and reused by the transfers of that thread,
// so consecutive downloads from one host share a kept-alive connection and the
// resolver cache. Also the one translation of libcurl results into the
// WinInet numbers of net/internet_error.h. Internal to net/.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <vector>

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

  // Keeps `sockets` as the handle opens and closes connections; set again
  // after every curl_easy_reset.
  void TrackSockets();
  // Acknowledges at once what the session's connections received. A server
  // that writes its headers and a small body separately holds the body back
  // (Nagle's algorithm) until the headers are acknowledged, which the kernel
  // delays by 40 ms on a kept-alive connection: a small picture would take
  // 40 ms instead of 1.
  void AcknowledgeNow() const;

  std::vector<curl_socket_t> sockets;  // the open connections
};

// This thread's session; a nested transfer on a busy thread gets none and
// uses a session of its own.
CurlSession* ThreadSession();

std::uint32_t InternetErrorFromCurl(CURLcode code);

}  // namespace wrenly::net_internal
