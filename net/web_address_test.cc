#include "net/web_address.h"

#include <gtest/gtest.h>

namespace wrenly {
namespace {

TEST(ResolveWebAddress, FollowsTheStandardExamplesAsABrowserWritesThem) {
  const std::string base = "http://a/b/c/d;p?q";
  // The reference resolution examples of RFC 3986, section 5.4; a host with
  // no path gets "/", as in a browser.
  const std::pair<const char*, const char*> cases[] = {
      {"g:h", "g:h"},
      {"g", "http://a/b/c/g"},
      {"./g", "http://a/b/c/g"},
      {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},
      {"//g", "http://g/"},
      {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},
      {"#s", "http://a/b/c/d;p?q#s"},
      {"g#s", "http://a/b/c/g#s"},
      {"g?y#s", "http://a/b/c/g?y#s"},
      {"", "http://a/b/c/d;p?q"},
      {".", "http://a/b/c/"},
      {"..", "http://a/b/"},
      {"../g", "http://a/b/g"},
      {"../..", "http://a/"},
      {"../../../g", "http://a/g"},
      {"/./g", "http://a/g"},
      {"g.", "http://a/b/c/g."},
      {"g/../h", "http://a/b/c/h"},
      {"g;x=1/../y", "http://a/b/c/y"},
      {"  g\n", "http://a/b/c/g"},
      {"g\\h", "http://a/b/c/g/h"},
  };
  for (const auto& [reference, expected] : cases) EXPECT_EQ(ResolveWebAddress(base, reference), expected) << reference;
  EXPECT_EQ(ResolveWebAddress("https://host.example", "x.png"), "https://host.example/x.png");
}

TEST(ResolveWebAddress, AbsoluteReferencesAndCharactersThatMayNotStand) {
  EXPECT_EQ(ResolveWebAddress("http://a.example/", "HTTPS://other.example/x"), "HTTPS://other.example/x");
  EXPECT_EQ(ResolveWebAddress("http://a.example/", "mailto:me@example.org"), "mailto:me@example.org");
  EXPECT_EQ(ResolveWebAddress("http://a.example/", "http:\\\\b.example\\x?a\\b"), "http://b.example/x?a%5Cb");
  EXPECT_EQ(ResolveWebAddress("http://a.example/", "a b\"<c>.png"), "http://a.example/a%20b%22%3Cc%3E.png");
  EXPECT_EQ(ResolveWebAddress("http://a.example/", "caf\xC3\xA9.jpg"), "http://a.example/caf%C3%A9.jpg");
  EXPECT_EQ(ResolveWebAddress("http://a.example/", "x%20y.jpg"), "http://a.example/x%20y.jpg");
  EXPECT_EQ(UrlScheme("JavaScript:void(0)"), "javascript");
  EXPECT_EQ(UrlScheme("/path:x"), "");
}

TEST(ResolveWebAddress, AHostThatIsNotAHostIsRefused) {
  const std::string base = "http://a.example/page.html";
  for (const char* reference : {"http://a\"onmouseover=x<b>/p.png", "//x<y>/p.png", "https://a b/", "http://a'b/",
                                "http:///p.png", "https://[::1/x", "http://a.example:8o/", "http://u<s@h/"})
    EXPECT_EQ(ResolveWebAddress(base, reference), "") << reference;
  EXPECT_EQ(ResolveWebAddress(base, "http://user:pw@b.example:8080/x"), "http://user:pw@b.example:8080/x");
  EXPECT_EQ(ResolveWebAddress(base, "http://[2001:db8::1]:81/x"), "http://[2001:db8::1]:81/x");
  EXPECT_EQ(ResolveWebAddress(base, "http://b\xC3\xBC" "cher.example/x"), "http://b\xC3\xBC" "cher.example/x");
  EXPECT_EQ(ResolveWebAddress(base, "//10.0.0.1/x"), "http://10.0.0.1/x");
  EXPECT_EQ(ResolveWebAddress("file:///home/page.html", "x.png"), "file:///home/x.png");
}

TEST(ResolveWebAddress, FeedPicturesResolveAgainstTheirItem) {
  const std::u16string item = u"https://news.example/2026/12/story.html?id=3";
  EXPECT_EQ(ResolveWebAddress(item, u"/img/r.png"), u"https://news.example/img/r.png");
  EXPECT_EQ(ResolveWebAddress(item, u"img/r.png"), u"https://news.example/2026/12/img/r.png");
  EXPECT_EQ(ResolveWebAddress(item, u"//cdn.example/x.png"), u"https://cdn.example/x.png");
  EXPECT_EQ(ResolveWebAddress(item, u" http://other.example/y.png "), u"http://other.example/y.png");
  EXPECT_EQ(ResolveWebAddress(item, u"caf\u00e9 1.png"), u"https://news.example/2026/12/caf%C3%A9%201.png");
  EXPECT_EQ(ResolveWebAddress(u"https://news.example", u"r.png"), u"https://news.example/r.png");
  // Without an absolute base a relative reference has nowhere to go.
  EXPECT_EQ(ResolveWebAddress(u"", u"/img/r.png"), u"");
  EXPECT_EQ(ResolveWebAddress(u"news.example/page", u"img/r.png"), u"");
  EXPECT_EQ(ResolveWebAddress(u"mailto:me@example.org", u"img/r.png"), u"");
}

}  // namespace
}  // namespace wrenly
