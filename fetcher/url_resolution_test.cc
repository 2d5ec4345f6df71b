#include "fetcher/url_resolution.h"

#include <gtest/gtest.h>

namespace wrenly {
namespace {

TEST(UrlResolutionTest, ReferenceFormsResolveAgainstTheBase) {
  const char* base = "http://a.example/b/c/d;p?q";
  // The reference resolution examples of RFC 3986, section 5.4.
  const std::pair<const char*, const char*> cases[] = {
      {"g", "http://a.example/b/c/g"},          {"./g", "http://a.example/b/c/g"},
      {"g/", "http://a.example/b/c/g/"},        {"/g", "http://a.example/g"},
      {"//g.example", "http://g.example/"},     {"?y", "http://a.example/b/c/d;p?y"},
      {"g?y", "http://a.example/b/c/g?y"},      {"#s", "http://a.example/b/c/d;p?q#s"},
      {"g#s", "http://a.example/b/c/g#s"},      {"", "http://a.example/b/c/d;p?q"},
      {".", "http://a.example/b/c/"},           {"..", "http://a.example/b/"},
      {"../g", "http://a.example/b/g"},         {"../..", "http://a.example/"},
      {"../../../g", "http://a.example/g"},     {"/./g", "http://a.example/g"},
      {"g;x=1/../y", "http://a.example/b/c/y"}, {"  g\n", "http://a.example/b/c/g"},
  };
  for (const auto& [reference, expected] : cases) EXPECT_EQ(ResolveUrl(base, reference), expected) << reference;
  EXPECT_EQ(ResolveUrl("https://host.example", "x.png"), "https://host.example/x.png");
}

TEST(UrlResolutionTest, AbsoluteReferencesAndCharactersThatMayNotStand) {
  EXPECT_EQ(ResolveUrl("http://a.example/", "HTTPS://other.example/x"), "HTTPS://other.example/x");
  EXPECT_EQ(ResolveUrl("http://a.example/", "mailto:me@example.org"), "mailto:me@example.org");
  EXPECT_EQ(ResolveUrl("http://a.example/", "http:\\\\b.example\\x"), "http://b.example/x");
  EXPECT_EQ(ResolveUrl("http://a.example/", "a b\"<c>.png"), "http://a.example/a%20b%22%3Cc%3E.png");
  EXPECT_EQ(ResolveUrl("http://a.example/", "caf\xC3\xA9.jpg"), "http://a.example/caf%C3%A9.jpg");
  EXPECT_EQ(ResolveUrl("http://a.example/", "x%20y.jpg"), "http://a.example/x%20y.jpg");
  // Without an absolute base a relative reference has nowhere to go.
  EXPECT_EQ(ResolveUrl("", "x.png"), "");
  EXPECT_EQ(ResolveUrl("page.html", "x.png"), "");
  EXPECT_EQ(UrlScheme("JavaScript:void(0)"), "javascript");
  EXPECT_EQ(UrlScheme("/path:x"), "");
}

}  // namespace
}  // namespace wrenly
