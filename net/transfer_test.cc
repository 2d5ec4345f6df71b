#include "net/transfer.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <filesystem>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "net/internet_error.h"
#include "net/messages.h"
#include "net/transfer_control.h"
#include "platform/temp_files.h"
#include "testsupport/http_server.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

using testsupport::HttpServer;
using testsupport::ReadFile;
using testsupport::TempDir;

// Records WM_DOWNLOAD_PROGRESS messages; posted to from the transfer's thread.
class ProgressRecorder : public Receiver {
 public:
  struct Entry {
    std::uint64_t w;
    std::int64_t l;
  };
  void Post(MessageId message, std::uint64_t w, std::int64_t l) override {
    if (message != WM_DOWNLOAD_PROGRESS) return;
    std::lock_guard lock(mutex_);
    got_.push_back({w, l});
    changed_.notify_all();
  }
  void WaitForBytes() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !got_.empty(); });
  }
  std::vector<Entry> entries() {
    std::lock_guard lock(mutex_);
    return got_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Entry> got_;
};

// Holds a server handler until the test opens it (or a safety time passes).
class Gate {
 public:
  // True when opened, false when the safety time ran out.
  bool Wait() {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::seconds(20), [&] { return open_; });
  }
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }
  bool IsOpen() {
    std::lock_guard lock(mutex_);
    return open_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
};

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return bytes;
}

std::string Gzip(const std::string& bytes) {
  z_stream z{};
  deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, bytes.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// Answers one connection on 127.0.0.1 with fixed bytes, then closes it: a
// response whose end is marked by nothing but the close.
class RawServer {
 public:
  explicit RawServer(std::string response) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 1);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, response = std::move(response)] {
      const int client = ::accept(listener_, nullptr, nullptr);
      if (client < 0) return;
      char request[4096];
      (void)::read(client, request, sizeof request);
      (void)::write(client, response.data(), response.size());
      ::close(client);
    });
  }
  ~RawServer() {
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/raw"; }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

std::u16string U16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

class TransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GetTransferControl().ClearAbortFlag();
    // The client keeps connections alive; a short server-side keep-alive lets
    // each test's server stop quickly.
    server_.server().set_keep_alive_timeout(1);
    ASSERT_TRUE(server_.Start());
  }
  void TearDown() override {
    TransferControl& control = GetTransferControl();
    control.ClearAbortFlag();
    control.SetUseProxy(false);
    control.SetProxyAddress(TransferControl::kDefaultProxyAddress);
    control.SetReadLimit(TransferControl::kDefaultReadLimit);
  }
  void Serve(const std::string& path, const std::string& body, const char* type = "application/octet-stream") {
    server_.server().Get(path, [body, type](const httplib::Request&, httplib::Response& res) {
      res.set_content(body, type);
    });
  }
  std::string Target(const std::string& name) const { return dir_.path() + "/" + name; }

  HttpServer server_;
  TempDir dir_;
  std::uint32_t code_ = 1;
  std::u16string text_ = u"stale";
  DownloadBuffer buffer_;
  std::uint64_t count_ = 99;
  ProgressRecorder progress_;
};

TEST_F(TransferTest, EmptyBodyGivesEmptyFileAndOneZeroByte) {
  Serve("/empty", "");
  const std::string file = Target("empty.xml");
  ASSERT_EQ(DownloadUrlToFile(U16(server_.Url("/empty")), file, &code_, &text_, &progress_, &buffer_, &count_), S_OK);
  EXPECT_EQ(code_, 0u);
  EXPECT_EQ(text_, u"");
  EXPECT_EQ(count_, 0u);
  EXPECT_TRUE(Exists(file));
  EXPECT_EQ(ReadFile(file), "");
  ASSERT_TRUE(buffer_.data);
  EXPECT_EQ(buffer_.data[0], '\0');
  const auto got = progress_.entries();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].w, 0u);
  EXPECT_EQ(got[0].l, 1);
}

TEST_F(TransferTest, MemoryCopyGrowsInStepsWhenTheBodyReachesCapacity) {
  const std::string below = Pattern(DownloadBuffer::kGrowth - 1);
  const std::string exact = Pattern(DownloadBuffer::kGrowth);
  Serve("/below", below);
  Serve("/exact", exact);

  ASSERT_EQ(DownloadUrlToFile(U16(server_.Url("/below")), "", &code_, &text_, nullptr, &buffer_, &count_), S_OK);
  EXPECT_EQ(buffer_.capacity, DownloadBuffer::kGrowth);
  EXPECT_EQ(std::string(buffer_.data.get()), below);

  ASSERT_EQ(DownloadUrlToFile(U16(server_.Url("/exact")), "", &code_, &text_, nullptr, &buffer_, &count_), S_OK);
  EXPECT_EQ(count_, exact.size());
  EXPECT_EQ(buffer_.capacity, 2 * DownloadBuffer::kGrowth);
  EXPECT_EQ(std::string(buffer_.data.get()), exact);  // also proves the trailing zero
}

TEST_F(TransferTest, LargeBodyArrivesWholeInFileAndMemoryWithRisingProgress) {
  const std::string body = Pattern(3 * 1024 * 1024 + 17);
  Serve("/large", body);
  const std::string file = Target("large.bin");
  ASSERT_EQ(DownloadUrlToFile(U16(server_.Url("/large")), file, &code_, &text_, &progress_, &buffer_, &count_), S_OK);
  EXPECT_EQ(count_, body.size());
  EXPECT_TRUE(ReadFile(file) == body);
  ASSERT_TRUE(buffer_.data);
  EXPECT_TRUE(std::string_view(buffer_.data.get(), body.size()) == body);
  const auto got = progress_.entries();
  ASSERT_GE(got.size(), 3u);
  for (size_t i = 1; i + 1 < got.size(); ++i) {
    EXPECT_GT(got[i].w, got[i - 1].w);
    EXPECT_EQ(got[i].l, 0);
  }
  EXPECT_EQ(got.back().w, body.size());
  EXPECT_EQ(got.back().l, 1);
}

TEST_F(TransferTest, RequestCarriesTheAgentAndAcceptsCompressedBodies) {
  const std::string body = Pattern(200000);
  std::string agent, encodings;
  server_.server().Get("/gz", [&](const httplib::Request& req, httplib::Response& res) {
    agent = req.get_header_value("User-Agent");
    encodings = req.get_header_value("Accept-Encoding");
    res.set_header("Content-Encoding", "gzip");
    res.set_content(Gzip(body), "application/octet-stream");
  });
  const std::string file = Target("gz.xml");
  ASSERT_EQ(DownloadUrlToFile(U16(server_.Url("/gz")), file, &code_, &text_, &progress_, &buffer_, &count_), S_OK);
  EXPECT_EQ(agent, "Wrenly Mobile");
  EXPECT_NE(encodings.find("gzip"), std::string::npos);
  EXPECT_NE(encodings.find("deflate"), std::string::npos);
  EXPECT_EQ(count_, body.size());  // decoded bytes
  EXPECT_TRUE(ReadFile(file) == body);
  EXPECT_EQ(progress_.entries().back().w, body.size());
}

TEST_F(TransferTest, ErrorStatusIsAFailureThatKeepsTheOldFile) {
  server_.server().Get("/missing", [](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content("<html>not here</html>", "text/html");
  });
  server_.server().Get("/broken", [](const httplib::Request&, httplib::Response& res) {
    res.status = 500;
    res.set_content("oops", "text/plain");
  });
  const std::string file = Target("feed.xml");
  testsupport::WriteFile(file, "last good feed");

  EXPECT_EQ(DownloadUrlToFile(U16(server_.Url("/missing")), file, &code_, &text_, &progress_, &buffer_, &count_),
            INET_E_DOWNLOAD_FAILURE);
  EXPECT_EQ(code_, ERROR_INTERNET_EXTENDED_ERROR);
  EXPECT_EQ(text_, u"HTTP 404 Not Found");
  EXPECT_EQ(ReadFile(file), "last good feed");
  EXPECT_FALSE(buffer_.data);
  EXPECT_EQ(count_, 0u);
  ASSERT_EQ(progress_.entries().size(), 1u);
  EXPECT_EQ(progress_.entries()[0].w, kProgressFailed);
  EXPECT_EQ(progress_.entries()[0].l, 1);

  // Without a receiver of its own the transfer tells every broadcast receiver.
  ProgressRecorder everyone;
  AddBroadcastReceiver(&everyone);
  EXPECT_EQ(DownloadUrlToFile(U16(server_.Url("/broken")), file, &code_, &text_), INET_E_DOWNLOAD_FAILURE);
  RemoveBroadcastReceiver(&everyone);
  ASSERT_EQ(everyone.entries().size(), 1u);
  EXPECT_EQ(everyone.entries()[0].w, kProgressFailed);
  EXPECT_EQ(text_, u"HTTP 500 Internal Server Error");
  std::uint32_t last = 0;
  EXPECT_EQ(FormatInternetError(&last), u"HTTP 500 Internal Server Error");
  EXPECT_EQ(last, ERROR_INTERNET_EXTENDED_ERROR);
  EXPECT_EQ(ReadFile(file), "last good feed");
}

TEST_F(TransferTest, UnreachableServersFailWithTheirNumbersAndTexts) {
  HttpServer closed;
  ASSERT_TRUE(closed.Start());
  const std::string refused = closed.Url("/feed");
  closed.Stop();
  const std::string file = Target("never.xml");

  EXPECT_EQ(DownloadUrlToFile(U16(refused), file, &code_, &text_, &progress_), INET_E_DOWNLOAD_FAILURE);
  EXPECT_EQ(code_, ERROR_INTERNET_CANNOT_CONNECT);
  EXPECT_EQ(text_, u"A connection with the server could not be established");
  EXPECT_FALSE(Exists(file));
  EXPECT_EQ(progress_.entries().back().w, kProgressFailed);

  // A label longer than 63 characters fails in the resolver without a query.
  const std::string unresolvable = "http://" + std::string(70, 'a') + ".invalid/feed";
  EXPECT_EQ(DownloadUrlToFile(U16(unresolvable), file, &code_, &text_), INET_E_DOWNLOAD_FAILURE);
  EXPECT_EQ(code_, ERROR_INTERNET_NAME_NOT_RESOLVED);
  EXPECT_EQ(text_, u"The server name or address could not be resolved");
  EXPECT_FALSE(Exists(file));
}

TEST_F(TransferTest, OnlyWellFormedWebAddressesAreFetchedAlsoAfterRedirects) {
  Serve("/final", "arrived");
  for (int i = 1; i <= 11; ++i) {
    const std::string next = i == 1 ? "/final" : "/hop" + std::to_string(i - 1);
    server_.server().Get("/hop" + std::to_string(i), [next](const httplib::Request&, httplib::Response& res) {
      res.set_redirect(next);
    });
  }
  server_.server().Get("/local", [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("file:///etc/passwd");
  });
  const std::string file = Target("r.xml");

  std::u16string finalUrl;
  ASSERT_EQ(DownloadUrlToFile(U16(server_.Url("/hop10")), file, &code_, &text_, nullptr, &buffer_, nullptr, nullptr,
                              &finalUrl),
            S_OK);
  EXPECT_EQ(ReadFile(file), "arrived");
  EXPECT_EQ(finalUrl, U16(server_.Url("/final")));  // where the body came from

  EXPECT_EQ(DownloadUrlToFile(U16(server_.Url("/hop11")), Target("r11.xml"), &code_, &text_, nullptr, nullptr,
                              nullptr, nullptr, &finalUrl),
            INET_E_DOWNLOAD_FAILURE);
  EXPECT_EQ(finalUrl, u"");
  EXPECT_EQ(code_, ERROR_HTTP_REDIRECT_FAILED);
  EXPECT_FALSE(Exists(Target("r11.xml")));

  EXPECT_EQ(DownloadUrlToFile(U16(server_.Url("/local")), Target("l.xml"), &code_, &text_, nullptr, &buffer_),
            INET_E_DOWNLOAD_FAILURE);
  EXPECT_EQ(code_, ERROR_HTTP_REDIRECT_FAILED);
  EXPECT_FALSE(text_.empty());
  EXPECT_FALSE(Exists(Target("l.xml")));
  EXPECT_FALSE(buffer_.data);

  EXPECT_EQ(DownloadUrlToFile(u"file:///etc/passwd", Target("f.xml"), &code_, &text_), INET_E_DOWNLOAD_FAILURE);
  EXPECT_EQ(code_, ERROR_INTERNET_UNRECOGNIZED_SCHEME);
  EXPECT_FALSE(Exists(Target("f.xml")));
  for (const char16_t* bad : {u"", u"http://", u"http://[::1"}) {
    EXPECT_EQ(DownloadUrlToFile(bad, Target("f.xml"), &code_, &text_), INET_E_DOWNLOAD_FAILURE);
    EXPECT_EQ(code_, ERROR_INTERNET_INVALID_URL);
    EXPECT_EQ(text_, u"The URL is invalid");
  }
}

TEST_F(TransferTest, ProxyFlagSendsTheAbsoluteAddressToTheProxy) {
  HttpServer proxy;
  proxy.server().set_keep_alive_timeout(1);
  std::vector<std::string> proxySaw, originSaw;
  std::mutex mutex;
  proxy.server().Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(mutex);
    proxySaw.push_back(req.target);
    res.set_content("from proxy", "application/octet-stream");
  });
  server_.server().Get("/feed", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(mutex);
    originSaw.push_back(req.target);
    res.set_content("from origin", "application/octet-stream");
  });
  ASSERT_TRUE(proxy.Start());
  TransferControl& control = GetTransferControl();
  control.SetProxyAddress("127.0.0.1:" + std::to_string(proxy.port()));

  control.SetUseProxy(true);
  ASSERT_EQ(DownloadUrlToFile(U16(server_.Url("/feed")), "", &code_, &text_, nullptr, &buffer_), S_OK);
  EXPECT_STREQ(buffer_.data.get(), "from proxy");

  control.SetUseProxy(false);
  ASSERT_EQ(DownloadUrlToFile(U16(server_.Url("/feed")), "", &code_, &text_, nullptr, &buffer_), S_OK);
  EXPECT_STREQ(buffer_.data.get(), "from origin");

  std::lock_guard lock(mutex);
  EXPECT_EQ(proxySaw, std::vector<std::string>{server_.Url("/feed")});
  EXPECT_EQ(originSaw, std::vector<std::string>{"/feed"});
}

TEST_F(TransferTest, OversizedBodiesAreRefusedAndLeaveNothing) {
  server_.server().Get("/announced", [](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(kMaxDownloadBytes + 1, "application/octet-stream",
                             [](size_t, size_t, httplib::DataSink&) { return false; });
  });
  server_.server().Get("/endless", [](const httplib::Request&, httplib::Response& res) {
    auto chunk = std::make_shared<std::string>(Pattern(1 << 20));
    res.set_chunked_content_provider("application/octet-stream", [chunk](size_t, httplib::DataSink& sink) {
      return sink.write(chunk->data(), chunk->size());
    });
  });
  const std::string file = Target("big.bin");

  EXPECT_EQ(DownloadUrlToFile(U16(server_.Url("/announced")), file, &code_, &text_, nullptr, &buffer_),
            INET_E_DOWNLOAD_FAILURE);
  EXPECT_EQ(text_, u"Response too large");
  EXPECT_FALSE(Exists(file));

  EXPECT_EQ(DownloadUrlToFile(U16(server_.Url("/endless")), file, &code_, &text_, nullptr, &buffer_, &count_),
            INET_E_DOWNLOAD_FAILURE);
  EXPECT_EQ(text_, u"Response too large");
  EXPECT_FALSE(Exists(file));
  EXPECT_FALSE(buffer_.data);
  EXPECT_EQ(count_, 0u);
}

TEST_F(TransferTest, UntrustedCertificateIsRefused) {
  httplib::SSLServer tls(WRENLY_TESTDATA "/net/selfsigned.crt", WRENLY_TESTDATA "/net/selfsigned.key");
  ASSERT_TRUE(tls.is_valid());
  tls.Get("/feed", [](const httplib::Request&, httplib::Response& res) { res.set_content("secret", "text/xml"); });
  const int port = tls.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  std::thread serving([&] { tls.listen_after_bind(); });
  while (!tls.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const std::string file = Target("tls.xml");
  const HRESULT result = DownloadUrlToFile(U16("https://127.0.0.1:" + std::to_string(port) + "/feed"), file, &code_,
                                           &text_, nullptr, &buffer_);
  tls.stop();
  serving.join();
  EXPECT_EQ(result, INET_E_DOWNLOAD_FAILURE);
  EXPECT_EQ(code_, ERROR_INTERNET_SECURE_FAILURE);
  EXPECT_EQ(text_, u"The server's security certificate could not be verified");
  EXPECT_FALSE(Exists(file));
  EXPECT_FALSE(buffer_.data);
}

TEST_F(TransferTest, UnwritableFileIsAFailure) {
  Serve("/feed", "body");
  EXPECT_EQ(DownloadUrlToFile(U16(server_.Url("/feed")), Target("no/such/folder.xml"), &code_, &text_, nullptr,
                              &buffer_),
            INET_E_DOWNLOAD_FAILURE);
  EXPECT_EQ(code_, ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(text_, u"The system cannot find the path specified");
  EXPECT_FALSE(buffer_.data);
}

// The server sends `head` bytes, then holds the connection until the gate opens.
void ServeStalled(HttpServer& server, const std::string& path, size_t head, Gate& gate) {
  server.server().Get(path, [head, &gate](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("application/octet-stream", [head, &gate](size_t offset, httplib::DataSink& sink) {
      if (offset == 0) return sink.write(Pattern(head).data(), head);
      gate.Wait();
      sink.done();
      return true;
    });
  });
}

TEST_F(TransferTest, AbortStopsASlowBodyQuietlyAndLeavesNoFile) {
  Gate gate;
  ServeStalled(server_, "/slow", 1000, gate);
  const std::string file = Target("slow.xml");
  testsupport::WriteFile(file, "last good feed");
  std::thread aborter([&] {
    progress_.WaitForBytes();
    EXPECT_TRUE(GetTransferControl().AbortRunningTransfers());
  });
  const HRESULT result =
      DownloadUrlToFile(U16(server_.Url("/slow")), file, &code_, &text_, &progress_, &buffer_, &count_);
  const bool stoppedWhileServerHeld = !gate.IsOpen();
  gate.Open();
  server_.Stop();  // before the gate goes out of scope
  aborter.join();
  EXPECT_EQ(result, S_OK);
  EXPECT_TRUE(stoppedWhileServerHeld);
  EXPECT_EQ(count_, 1000u);
  EXPECT_EQ(std::string(buffer_.data.get()), Pattern(1000));
  EXPECT_EQ(ReadFile(file), "last good feed");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);
  EXPECT_EQ(progress_.entries().back().w, 1000u);
  EXPECT_EQ(progress_.entries().back().l, 1);
  EXPECT_FALSE(GetTransferControl().TransfersRunning());
}

TEST_F(TransferTest, AbortWhileWaitingForTheResponseFailsAtOnce) {
  Gate gate, arrived;
  server_.server().Get("/pending", [&](const httplib::Request&, httplib::Response& res) {
    arrived.Open();
    gate.Wait();
    res.set_content("late", "application/octet-stream");
  });
  const std::string file = Target("pending.xml");
  std::thread aborter([&] {
    arrived.Wait();
    GetTransferControl().AbortRunningTransfers();
  });
  const HRESULT result = DownloadUrlToFile(U16(server_.Url("/pending")), file, &code_, &text_);
  const bool stoppedWhileServerHeld = !gate.IsOpen();
  gate.Open();
  server_.Stop();  // before the gate goes out of scope
  aborter.join();
  EXPECT_EQ(result, INET_E_DOWNLOAD_FAILURE);
  EXPECT_TRUE(stoppedWhileServerHeld);
  EXPECT_EQ(code_, ERROR_INTERNET_OPERATION_CANCELLED);
  EXPECT_EQ(text_, u"The operation was canceled");
  EXPECT_FALSE(Exists(file));
}

TEST_F(TransferTest, OneAbortStopsEveryRunningTransfer) {
  Gate gate;
  ServeStalled(server_, "/a", 500, gate);
  ServeStalled(server_, "/b", 700, gate);
  ProgressRecorder progressA, progressB;
  std::uint64_t countA = 0, countB = 0;
  HRESULT resultA = E_FAIL, resultB = E_FAIL;
  const auto fetch = [&](const char* path, ProgressRecorder* progress, std::uint64_t* count, HRESULT* result) {
    *result = DownloadUrlToFile(U16(server_.Url(path)), "", nullptr, nullptr, progress, nullptr, count);
  };
  std::thread a(fetch, "/a", &progressA, &countA, &resultA);
  std::thread b(fetch, "/b", &progressB, &countB, &resultB);
  progressA.WaitForBytes();
  progressB.WaitForBytes();
  EXPECT_TRUE(GetTransferControl().AbortRunningTransfers());
  a.join();
  b.join();
  EXPECT_FALSE(gate.IsOpen());
  gate.Open();
  server_.Stop();  // before the gate goes out of scope
  EXPECT_EQ(resultA, S_OK);
  EXPECT_EQ(resultB, S_OK);
  EXPECT_EQ(countA, 500u);
  EXPECT_EQ(countB, 700u);
  EXPECT_FALSE(GetTransferControl().WakeRunningTransfers());
}

TEST_F(TransferTest, ASilentConnectionFailsWithATimeOutAfterTheReadLimit) {
  Gate gate;
  ServeStalled(server_, "/silent", 300, gate);
  GetTransferControl().SetReadLimit(std::chrono::milliseconds(1000));
  const std::string file = Target("silent.img");
  const HRESULT result = DownloadUrlToFile(U16(server_.Url("/silent")), file, &code_, &text_, nullptr, &buffer_, &count_);
  EXPECT_FALSE(gate.IsOpen());
  gate.Open();
  server_.Stop();  // before the gate goes out of scope
  EXPECT_EQ(result, INET_E_DOWNLOAD_FAILURE);
  EXPECT_EQ(code_, ERROR_INTERNET_TIMEOUT);
  EXPECT_FALSE(buffer_.data);
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

// A body is complete when its length matches Content-Length, its chunked
// encoding ends properly, or the connection closes cleanly without either.
TEST_F(TransferTest, ABodyCutShortByTheConnectionFailsAndKeepsTheOldFile) {
  server_.server().Get("/short", [](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(1000, "image/png", [](size_t offset, size_t, httplib::DataSink& sink) {
      if (offset > 0) return false;  // the connection drops after 500 of 1000 bytes
      return sink.write(Pattern(500).data(), 500);
    });
  });
  server_.server().Get("/chunks", [](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("image/png", [](size_t offset, httplib::DataSink& sink) {
      return offset == 0 && sink.write(Pattern(700).data(), 700);  // no closing chunk
    });
  });
  for (const char* path : {"/short", "/chunks"}) {
    SCOPED_TRACE(path);
    const std::string file = Target("logo.img");
    testsupport::WriteFile(file, "old logo");
    EXPECT_EQ(DownloadUrlToFile(U16(server_.Url(path)), file, &code_, &text_, nullptr, &buffer_, &count_),
              INET_E_DOWNLOAD_FAILURE);
    EXPECT_EQ(code_, ERROR_INTERNET_CONNECTION_ABORTED);
    EXPECT_EQ(ReadFile(file), "old logo");
    EXPECT_FALSE(buffer_.data);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);
  }

  // Without a length or chunks, a clean close ends a complete body.
  RawServer raw("HTTP/1.0 200 OK\r\nContent-Type: image/png\r\n\r\n" + Pattern(300));
  const std::string file = Target("icon.ico");
  EXPECT_EQ(DownloadUrlToFile(U16(raw.Url()), file, &code_, &text_), S_OK);
  EXPECT_EQ(ReadFile(file), Pattern(300));
}

// A caller's own temporary name gets the body in place, with no second
// temporary file; a failure removes it.
TEST_F(TransferTest, ACallersTemporaryFileIsWrittenInPlaceAndRemovedOnFailure) {
  Serve("/feed", Pattern(800));
  server_.server().Get("/short", [](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(1000, "text/xml", [](size_t offset, size_t, httplib::DataSink& sink) {
      return offset == 0 && sink.write(Pattern(500).data(), 500);
    });
  });
  const std::string temp = DownloadTempPath(Target("Ch100~.xml"));
  EXPECT_TRUE(IsOwnDownloadTempPath(temp));
  ASSERT_EQ(DownloadUrlToFile(U16(server_.Url("/feed")), temp, &code_, &text_), S_OK);
  EXPECT_EQ(ReadFile(temp), Pattern(800));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);
  std::filesystem::remove(temp);

  const std::string failing = DownloadTempPath(Target("Ch100~.xml"));
  EXPECT_EQ(DownloadUrlToFile(U16(server_.Url("/short")), failing, &code_, &text_), INET_E_DOWNLOAD_FAILURE);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 0);
}

TEST_F(TransferTest, ConsecutiveDownloadsReuseTheConnection) {
  std::vector<int> ports;
  server_.server().Get("/k", [&](const httplib::Request& req, httplib::Response& res) {
    ports.push_back(req.remote_port);
    res.set_content("x", "application/octet-stream");
  });
  for (int i = 0; i < 3; ++i) ASSERT_EQ(DownloadUrlToFile(U16(server_.Url("/k")), "", &code_, &text_), S_OK);
  ASSERT_EQ(ports.size(), 3u);
  EXPECT_EQ(ports[0], ports[1]);
  EXPECT_EQ(ports[1], ports[2]);
}

std::size_t OpenFiles() {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

TEST_F(TransferTest, AThreadsKeptAliveConnectionsCloseWithIt) {
  server_.server().Get("/k", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("x", "application/octet-stream");
  });
  const std::size_t before = OpenFiles();
  std::size_t during = 0;
  std::thread([&] {
    for (int i = 0; i < 3; ++i) ASSERT_EQ(DownloadUrlToFile(U16(server_.Url("/k")), "", &code_, &text_), S_OK);
    during = OpenFiles();
  }).join();
  EXPECT_GT(during, before);
  // The server closes its side of the connection when it sees ours close.
  for (int i = 0; i < 100 && OpenFiles() != before; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(OpenFiles(), before);
}

TEST_F(TransferTest, ConditionalGetSendsValidatorsAndA304LeavesTheFileAlone) {
  std::mutex mutex;
  std::vector<std::pair<std::string, std::string>> asked;
  server_.server().Get("/feed", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(mutex);
    asked.emplace_back(req.get_header_value("If-None-Match"), req.get_header_value("If-Modified-Since"));
    res.set_header("ETag", "\"abc\"");
    res.set_header("Last-Modified", "Tue, 08 Dec 2026 10:00:00 GMT");
    if (req.get_header_value("If-None-Match") == "\"abc\"") {
      res.status = 304;
      return;
    }
    res.set_content("<rss/>", "text/xml");
  });
  TempDir dir;
  const std::string path = dir.path() + "/feed.xml";
  const std::u16string url = U16(server_.Url("/feed"));

  ConditionalGet first;
  ASSERT_EQ(DownloadUrlToFile(url, path, nullptr, nullptr, nullptr, nullptr, nullptr, &first), S_OK);
  EXPECT_FALSE(first.notModified);
  EXPECT_EQ(first.received.etag, "\"abc\"");
  EXPECT_EQ(first.received.lastModified, "Tue, 08 Dec 2026 10:00:00 GMT");
  EXPECT_EQ(ReadFile(path), "<rss/>");

  testsupport::WriteFile(path, "kept");
  ConditionalGet second;
  second.send = first.received;
  std::uint64_t bytes = 99;
  ASSERT_EQ(DownloadUrlToFile(url, path, nullptr, nullptr, nullptr, nullptr, &bytes, &second), S_OK);
  EXPECT_TRUE(second.notModified);
  EXPECT_EQ(bytes, 0u);
  EXPECT_EQ(ReadFile(path), "kept");
  std::lock_guard lock(mutex);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0], std::make_pair(std::string(), std::string()));
  EXPECT_EQ(asked[1], std::make_pair(std::string("\"abc\""), std::string("Tue, 08 Dec 2026 10:00:00 GMT")));
}

}  // namespace
}  // namespace wrenly
