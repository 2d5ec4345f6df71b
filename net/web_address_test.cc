#include "net/web_address.h"

#include <gtest/gtest.h>

namespace wrenly {
namespace {

TEST(ResolveWebAddress, FollowsTheStandardExamples) {
  const std::u16string base = u"http://a/b/c/d;p?q";
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"g:h", u"g:h"},
      {u"g", u"http://a/b/c/g"},
      {u"./g", u"http://a/b/c/g"},
      {u"g/", u"http://a/b/c/g/"},
      {u"/g", u"http://a/g"},
      {u"//g", u"http://g"},
      {u"?y", u"http://a/b/c/d;p?y"},
      {u"g?y", u"http://a/b/c/g?y"},
      {u"#s", u"http://a/b/c/d;p?q#s"},
      {u"g?y#s", u"http://a/b/c/g?y#s"},
      {u"", u"http://a/b/c/d;p?q"},
      {u".", u"http://a/b/c/"},
      {u"..", u"http://a/b/"},
      {u"../g", u"http://a/b/g"},
      {u"../..", u"http://a/"},
      {u"../../../g", u"http://a/g"},
      {u"/./g", u"http://a/g"},
      {u"g.", u"http://a/b/c/g."},
      {u"g/../h", u"http://a/b/c/h"},
      {u"g;x=1/../y", u"http://a/b/c/y"},
  };
  for (const auto& [reference, expected] : cases) EXPECT_EQ(ResolveWebAddress(base, reference), expected);
}

TEST(ResolveWebAddress, FeedPicturesResolveAgainstTheirItem) {
  const std::u16string item = u"https://news.example/2026/12/story.html?id=3";
  EXPECT_EQ(ResolveWebAddress(item, u"/img/r.png"), u"https://news.example/img/r.png");
  EXPECT_EQ(ResolveWebAddress(item, u"img/r.png"), u"https://news.example/2026/12/img/r.png");
  EXPECT_EQ(ResolveWebAddress(item, u"//cdn.example/x.png"), u"https://cdn.example/x.png");
  EXPECT_EQ(ResolveWebAddress(item, u" http://other.example/y.png "), u"http://other.example/y.png");
  EXPECT_EQ(ResolveWebAddress(u"https://news.example", u"r.png"), u"https://news.example/r.png");
  // Nothing to resolve against: the address stays as written.
  EXPECT_EQ(ResolveWebAddress(u"", u"/img/r.png"), u"/img/r.png");
  EXPECT_EQ(ResolveWebAddress(u"news.example/page", u"img/r.png"), u"img/r.png");
}

}  // namespace
}  // namespace wrenly
