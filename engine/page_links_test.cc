// The tag pass behind feed discovery: what counts as a <link> or <base> tag,
// and what does not.
#include "engine/page_links.h"

#include <gtest/gtest.h>

namespace wrenly {
namespace {

TEST(PageLinks, TagsAndAttributesAreReadAsABrowserWouldSplitThem) {
  const std::vector<PageTag> tags = LinkAndBaseTags(
      "<HTML><head><BASE HREF=/b/><Link REL=alternate type='application/rss+xml' "
      "href=\"feed?a=1&amp;b=2\" title=\"Caf&#233; &quot;news&quot;\"/>"
      "<link rel=\"alternate\" href=x href=y><link\n\trel=alternate\nhref=last");
  ASSERT_EQ(tags.size(), 4u);
  EXPECT_EQ(tags[0].name, "base");
  EXPECT_EQ(tags[0].attributes.at("href"), "/b/");
  EXPECT_EQ(tags[1].name, "link");
  EXPECT_EQ(tags[1].attributes.at("rel"), "alternate");
  EXPECT_EQ(tags[1].attributes.at("type"), "application/rss+xml");
  EXPECT_EQ(tags[1].attributes.at("href"), "feed?a=1&b=2");
  EXPECT_EQ(tags[1].attributes.at("title"), "Caf\xC3\xA9 \"news\"");
  EXPECT_EQ(tags[2].attributes.at("href"), "x");  // the first of a repeated attribute
  EXPECT_EQ(tags[3].attributes.at("href"), "last");  // a tag cut off by the end of the page
}

TEST(PageLinks, CommentsScriptsAndTextAreNotTags) {
  const std::vector<PageTag> tags = LinkAndBaseTags(
      "<!-- <link rel=alternate href=/commented> --><title>a <link> in a title</title>"
      "<script>document.write('<link rel=alternate href=/scripted>')</SCRIPT>"
      "<style>x{}</style>< link href=/spaced> a < b <p title=\"<link href=/quoted>\">"
      "<linked href=/other><link href=/real>");
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags[0].attributes.at("href"), "/real");
}

TEST(PageLinks, AHostilePageIsReadInOnePass) {
  std::string page;
  for (int i = 0; i < 200000; ++i) page += "<div><script>";
  page += "<link href=/deep>";
  EXPECT_TRUE(LinkAndBaseTags(page).empty());  // inside an unended script
  page.clear();
  for (int i = 0; i < 200000; ++i) page += "<div class='a'>";
  page += "<link href=/deep>";
  ASSERT_EQ(LinkAndBaseTags(page).size(), 1u);
}

}  // namespace
}  // namespace wrenly
