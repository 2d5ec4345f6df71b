// Benchmark helper for bench/net_download.sh. Two modes:
//   net_download_bench serve DIR        serves DIR on 127.0.0.1 (keep-alive),
//                                       prints the port, stops at end of stdin
//   net_download_bench fetch URLS OUT   downloads every URL of the file URLS
//                                       one after another into OUT/NNN.xml with
//                                       DownloadUrlToFile and prints the time
#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "net/transfer.h"
#include "platform/text.h"

namespace {

int Serve(const std::string& dir) {
  httplib::Server server;
  server.set_tcp_nodelay(true);  // headers and body go out at once, not after a delayed ACK
  // Served as-is: on-the-fly compression would measure the server, not the client.
  server.set_file_extension_and_mimetype_mapping("xml", "application/octet-stream");
  if (!server.set_mount_point("/", dir)) {
    std::cerr << "cannot serve " << dir << "\n";
    return 1;
  }
  const int port = server.bind_to_any_port("127.0.0.1");
  if (port <= 0) return 1;
  std::cout << port << std::endl;
  std::thread stopper([&] {
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    server.stop();
  });
  server.listen_after_bind();
  stopper.join();
  return 0;
}

int Fetch(const std::string& urlsFile, const std::string& outDir) {
  std::ifstream in(urlsFile);
  std::vector<std::string> urls;
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) urls.push_back(line);
  int failures = 0;
  const auto start = std::chrono::steady_clock::now();
  for (size_t i = 0; i < urls.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/%03zu.xml", i);
    std::uint32_t code = 0;
    std::u16string text;
    const std::u16string url = wrenly::Utf8ToUtf16(urls[i]);
    if (wrenly::DownloadUrlToFile(url, outDir + name, &code, &text) != wrenly::S_OK) ++failures;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%zu %.6f %d\n", urls.size(), seconds, failures);  // transfers, seconds, failures
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "serve" && argc == 3) return Serve(argv[2]);
  if (mode == "fetch" && argc == 4) return Fetch(argv[2], argv[3]);
  std::cerr << "usage: net_download_bench serve DIR | fetch URLS OUTDIR\n";
  return 2;
}
