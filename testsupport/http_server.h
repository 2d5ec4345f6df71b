// An in-process HTTP server on 127.0.0.1 for tests of the network code:
// register handlers on server(), call Start(), build addresses with Url().
// The server runs on its own thread and stops in the destructor.
#pragma once

#include <httplib.h>

#include <string>
#include <thread>

namespace testsupport {

class HttpServer {
 public:
  HttpServer();
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  httplib::Server& server() { return server_; }
  // Binds a free port and starts serving; returns false when no port was bound.
  bool Start();
  void Stop();
  int port() const { return port_; }
  std::string Url(const std::string& path) const;

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = -1;
};

}  // namespace testsupport
