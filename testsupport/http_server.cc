#include "testsupport/http_server.h"

#include <chrono>

namespace testsupport {

// A slow client (a sanitizer build, a busy machine) must not have its
// response cut off by the server's default five-second write limit.
HttpServer::HttpServer() { server_.set_write_timeout(std::chrono::seconds(120)); }

HttpServer::~HttpServer() { Stop(); }

bool HttpServer::Start() {
  port_ = server_.bind_to_any_port("127.0.0.1");
  if (port_ <= 0) return false;
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return true;
}

void HttpServer::Stop() {
  server_.stop();
  if (thread_.joinable()) thread_.join();
}

std::string HttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace testsupport
