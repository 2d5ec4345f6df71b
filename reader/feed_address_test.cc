#include "reader/feed_address.h"

#include <gtest/gtest.h>

namespace wrenly::reader {
namespace {

TEST(FeedAddress, SchemeHostCaseDefaultPortAndEmptyPathDoNotCount) {
  EXPECT_TRUE(SameFeedAddress(u"http://Example.COM/feed.xml", u"HTTP://example.com/feed.xml"));
  EXPECT_TRUE(SameFeedAddress(u"  http://example.com:80/feed.xml ", u"http://example.com/feed.xml"));
  EXPECT_TRUE(SameFeedAddress(u"https://example.com:443", u"https://example.com/"));
  EXPECT_TRUE(SameFeedAddress(u"http://example.com?x=1", u"http://example.com/?x=1"));
}

TEST(FeedAddress, PathQueryPortAndTrailingSlashCount) {
  EXPECT_FALSE(SameFeedAddress(u"http://example.com/Feed", u"http://example.com/feed"));
  EXPECT_FALSE(SameFeedAddress(u"http://example.com/feed/", u"http://example.com/feed"));
  EXPECT_FALSE(SameFeedAddress(u"http://example.com/feed?a=1", u"http://example.com/feed?a=2"));
  EXPECT_FALSE(SameFeedAddress(u"http://example.com:8080/feed", u"http://example.com/feed"));
  EXPECT_FALSE(SameFeedAddress(u"https://example.com:80/feed", u"https://example.com/feed"));
  EXPECT_FALSE(SameFeedAddress(u"http://example.com/feed", u"https://example.com/feed"));
}

}  // namespace
}  // namespace wrenly::reader
