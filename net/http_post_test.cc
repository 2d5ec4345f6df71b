// HttpPoster: the body and status of an answer, one kept-alive connection
// for many requests, an answer over the limit refused whole, no redirect
// followed, and an untrusted certificate refused.
#include "net/http_post.h"

#include <gtest/gtest.h>

#include <thread>

#include "testsupport/http_server.h"

namespace wrenly {
namespace {

class HttpPostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.server().Post("/echo", [this](const httplib::Request& request, httplib::Response& response) {
      ++requests_;
      response.set_content(request.get_header_value("Content-Type") + ":" + request.body, "text/plain");
    });
    server_.server().Post("/big", [](const httplib::Request&, httplib::Response& response) {
      response.set_content(std::string(2000, 'x'), "text/plain");
    });
    server_.server().Post("/moved", [](const httplib::Request&, httplib::Response& response) {
      response.set_redirect("/echo");
    });
    ASSERT_TRUE(server_.Start());
  }
  testsupport::HttpServer server_;
  std::atomic<int> requests_{0};
};

TEST_F(HttpPostTest, SendsTheBodyAndReadsTheAnswerOverOneConnection) {
  HttpPoster poster;
  for (int i = 0; i < 3; ++i) {
    const PostAnswer answer = poster.Post(server_.Url("/echo"), "application/json", "{\"n\":" + std::to_string(i) + "}");
    EXPECT_TRUE(answer.reached);
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "application/json:{\"n\":" + std::to_string(i) + "}");
    EXPECT_TRUE(answer.error.empty());
  }
  EXPECT_EQ(poster.requests(), 3);
  EXPECT_EQ(requests_, 3);
}

TEST_F(HttpPostTest, RefusesAnAnswerOverTheLimitAndFollowsNoRedirect) {
  HttpPoster small(1000);
  const PostAnswer big = small.Post(server_.Url("/big"), "text/plain", "");
  EXPECT_FALSE(big.error.empty());
  EXPECT_TRUE(big.body.empty());
  const PostAnswer moved = small.Post(server_.Url("/moved"), "text/plain", "x");
  EXPECT_EQ(moved.status, 302);
  EXPECT_EQ(requests_, 0);
  const PostAnswer nobody = small.Post("http://127.0.0.1:1/", "text/plain", "x");
  EXPECT_FALSE(nobody.reached);
  EXPECT_FALSE(nobody.error.empty());
}

TEST(HttpPostTls, AnUntrustedCertificateIsRefused) {
  httplib::SSLServer tls(WRENLY_TESTDATA "/net/selfsigned.crt", WRENLY_TESTDATA "/net/selfsigned.key");
  ASSERT_TRUE(tls.is_valid());
  tls.Post("/api/", [](const httplib::Request&, httplib::Response& res) { res.set_content("{}", "text/json"); });
  const int port = tls.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  std::thread serving([&] { tls.listen_after_bind(); });
  while (!tls.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  HttpPoster poster;
  const PostAnswer answer = poster.Post("https://127.0.0.1:" + std::to_string(port) + "/api/", "application/json", "{}");
  tls.stop();
  serving.join();
  EXPECT_FALSE(answer.reached);
  EXPECT_TRUE(answer.body.empty());
  EXPECT_FALSE(answer.error.empty());
}

}  // namespace
}  // namespace wrenly
