#include "reader/server_address.h"

#include <gtest/gtest.h>

namespace wrenly::reader {
namespace {

TEST(ServerAddressTest, HttpsGoesAnywherePlainHttpOnlyToThisMachine) {
  for (const char* url : {"https://news.example.org/tt-rss/", " https://news.example.org ", "HTTPS://x.example:8443",
                          "http://localhost:8080/tt-rss/", "HTTP://LocalHost/", "http://127.0.0.1/",
                          "http://127.45.0.9:81", "http://[::1]:8080/", "http://[::ffff:127.0.0.1]/",
                          "http://admin@127.0.0.1/", "http://localhost./"})
    EXPECT_TRUE(CheckServerAddress(url, false).done()) << url;
}

TEST(ServerAddressTest, PlainHttpToAnotherHostIsRefusedUnlessAllowed) {
  for (const char* url : {"http://news.example.org/", "http://192.168.1.2/", "http://127.0.0.1.example.org/",
                          "http://localhost.example.org/", "http://127.0.0.1@news.example.org/",
                          "http://news.example.org/?next=http://127.0.0.1/", "http://[::2]/", "http://128.0.0.1/"}) {
    const Result refused = CheckServerAddress(url, false);
    EXPECT_EQ(refused.refusal, Refusal::kInvalid) << url;
    EXPECT_NE(refused.message.find("https://"), std::string::npos) << refused.message;
    EXPECT_TRUE(CheckServerAddress(url, true).done()) << url;
  }
}

TEST(ServerAddressTest, OtherSchemesAndMissingHostsAreRefusedEvenWhenPlainHttpIsAllowed) {
  for (const char* url : {"", "news.example.org", "ftp://news.example.org/", "file:///etc/passwd",
                          "javascript://localhost/", "https://", "http:///path", "https://user@/"}) {
    const Result refused = CheckServerAddress(url, true);
    EXPECT_EQ(refused.refusal, Refusal::kInvalid) << url;
    EXPECT_FALSE(refused.message.empty());
  }
}

}  // namespace
}  // namespace wrenly::reader
