// Automatic extraction on small hand-written pages: what reaches the article
// and what does not.
#include "fetcher/article_extractor.h"

#include <gtest/gtest.h>

#include <string>

#include "fetcher/article_images.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

constexpr const char* kUrl = "https://news.example.com/2024/05/story.html";

// Paragraphs that read like an article: long, with commas and full stops.
std::string Paragraphs(const std::string& tag, int count) {
  std::string html;
  for (int i = 1; i <= count; ++i) {
    html += "<p>" + tag + " paragraph " + std::to_string(i) +
            " tells the story, with details, quotes and figures, in sentences that run long enough "
            "to read like the body of an article. It goes on, and on, as articles do.</p>\n";
  }
  return html;
}

std::string Page(const std::string& head, const std::string& body) {
  return "<!DOCTYPE html><html><head><title>The story - Example News</title>" + head + "</head><body>" + body +
         "</body></html>";
}

std::string LinkList(const std::string& word, int count) {
  std::string html = "<ul>";
  for (int i = 0; i < count; ++i)
    html += "<li><a href=\"/" + word + std::to_string(i) + "\">" + word + " link " + std::to_string(i) + "</a></li>";
  return html + "</ul>";
}

std::string Article(std::string_view page, std::string_view url) { return ExtractArticle(page, url).html; }

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ArticleExtractorTest, NavigationHeavyPageGivesOnlyTheArticle) {
  const std::string body =
      "<header class=\"site-header\"><a href=\"/\">Example News</a>" + LinkList("section", 30) + "</header>"
      "<nav>" + LinkList("menu", 40) + "</nav>"
      "<div class=\"layout\"><div class=\"sidebar\"><h3>Most read</h3>" + LinkList("popular", 15) + "</div>"
      "<div class=\"story\"><h1>The story</h1>"
      "<div class=\"share-tools\"><a href=\"#\">Share on a network</a> <a href=\"#\">Mail this</a></div>" +
      Paragraphs("Body", 5) +
      "<h2>A subheading</h2><blockquote><p>A quoted line from someone who was there, saying something "
      "quotable.</p></blockquote><pre><code>int answer = 42;</code></pre>"
      "<table><caption>Results</caption><tr><th>Team</th><th>Points</th></tr><tr><td>Red</td><td>3</td></tr>"
      "</table><ol><li>First point of a numbered list in the text</li><li>Second point</li></ol>"
      "<div id=\"comments\"><h3>12 comments</h3><p>A reader wrote a comment, with opinions, that nobody "
      "asked for, at length, as readers do.</p></div></div></div>"
      "<footer>" + LinkList("footer", 20) + "<p>Copyright Example News, all rights reserved.</p></footer>";
  const std::string article = Article(Page("", body), kUrl);
  for (int i = 1; i <= 5; ++i) EXPECT_TRUE(Has(article, "Body paragraph " + std::to_string(i))) << i;
  for (const char* kept : {"<h2>A subheading</h2>", "<blockquote>", "<code>int answer = 42;</code>",
                           "<caption>Results</caption>", "<th>Team</th>", "<li>Second point</li>"})
    EXPECT_TRUE(Has(article, kept)) << kept;
  for (const char* dropped : {"menu link", "section link", "popular link", "footer link", "Copyright",
                              "Share on a network", "A reader wrote", "Most read", "12 comments"})
    EXPECT_FALSE(Has(article, dropped)) << dropped;
  // The heading that repeats the page title is left to the headline.
  EXPECT_FALSE(Has(article, "<h1>"));
}

TEST(ArticleExtractorTest, ArticleSplitByAnAdvertisementIsTakenWhole) {
  const std::string body =
      "<div class=\"page\"><div class=\"article-body\">" + Paragraphs("First half", 4) +
      "</div><div class=\"ad-slot\"><span>Advertisement</span><a href=\"https://ads.example.net/x\">"
      "<img src=\"https://ads.example.net/banner.gif\"></a></div>"
      "<div class=\"article-body\">" + Paragraphs("Second half", 4) + "</div>"
      "<div class=\"related\"><h3>Related</h3>" + LinkList("related", 6) + "</div></div>";
  const std::string article = Article(Page("", body), kUrl);
  EXPECT_TRUE(Has(article, "First half paragraph 1"));
  EXPECT_TRUE(Has(article, "Second half paragraph 4"));
  EXPECT_FALSE(Has(article, "Advertisement"));
  EXPECT_FALSE(Has(article, "banner.gif"));
  EXPECT_FALSE(Has(article, "related link"));
}

TEST(ArticleExtractorTest, TextWithoutParagraphTagsAndHiddenPartsAndForms) {
  // Text kept in <div>s and split by line breaks scores like paragraphs;
  // hidden blocks and forms never reach the article.
  std::string loose;
  for (int i = 1; i <= 4; ++i)
    loose += "Loose text " + std::to_string(i) +
             " sits in a div, with commas, and clauses, long enough for a paragraph of an article.<br><br>";
  const std::string body = "<div class=\"content\">" + loose +
                           "<div style=\"display: none\">Hidden teaser text that nobody sees on the page, "
                           "with commas, and length.</div>"
                           "<form action=\"/subscribe\"><label>Your mail</label><input name=\"m\">"
                           "<button>Subscribe now</button></form></div>";
  const std::string article = Article(Page("", body), kUrl);
  EXPECT_TRUE(Has(article, "Loose text 1"));
  EXPECT_TRUE(Has(article, "Loose text 4"));
  EXPECT_FALSE(Has(article, "Hidden teaser"));
  EXPECT_FALSE(Has(article, "Subscribe now"));
  EXPECT_FALSE(Has(article, "Your mail"));
}

TEST(ArticleExtractorTest, LazyPicturesGetTheirRealAddress) {
  const std::string body =
      "<article>" + Paragraphs("Text", 3) +
      "<figure><img src=\"data:image/gif;base64,R0lGODlhAQABAAAAACw=\" data-src=\"/img/lazy.jpg\" alt=\"Lazy\">"
      "<figcaption>A caption</figcaption></figure>"
      "<p><img class=\"lazyload\" data-srcset=\"/img/small.jpg 320w, /img/large.jpg 1024w\"> A picture with its "
      "text, long enough, with a comma.</p>"
      "<p><img src=\"/img/placeholder.gif\"><noscript><img src=\"/img/real.jpg\"></noscript> Another picture, "
      "with text, and commas.</p>"
      "<p><picture><source srcset=\"/img/wide.webp 2x\"><img alt=\"none\"></picture> A picture element, with "
      "text.</p>"
      "<p><img src=\"data:image/png;base64,iVBORw0KGgo=\"> A picture that only exists inline.</p>" +
      Paragraphs("More", 2) + "</article>";
  const std::string article = Article(Page("", body), kUrl);
  EXPECT_TRUE(Has(article, "<img src=\"https://news.example.com/img/lazy.jpg\" alt=\"Lazy\">"));
  EXPECT_TRUE(Has(article, "<img src=\"https://news.example.com/img/large.jpg\""));
  EXPECT_TRUE(Has(article, "<img src=\"https://news.example.com/img/real.jpg\""));
  EXPECT_TRUE(Has(article, "<img src=\"https://news.example.com/img/wide.webp\""));
  EXPECT_FALSE(Has(article, "placeholder.gif"));
  EXPECT_FALSE(Has(article, "data:"));
  EXPECT_TRUE(Has(article, "<figcaption>A caption</figcaption>"));
}

TEST(ArticleExtractorTest, BestSrcsetCandidateTakesTheLargest) {
  EXPECT_EQ(BestSrcsetCandidate("a.jpg 320w, b.jpg 1024w, c.jpg 640w"), "b.jpg");
  EXPECT_EQ(BestSrcsetCandidate("a.jpg, b.jpg 2x"), "b.jpg");
  EXPECT_EQ(BestSrcsetCandidate("https://x.example/a,b.jpg 1x"), "https://x.example/a,b.jpg");
  EXPECT_EQ(BestSrcsetCandidate("  "), "");
}

TEST(ArticleExtractorTest, AddressesBecomeAbsoluteAndScriptLinksPlainText) {
  const std::string body = "<div class=\"post\">" + Paragraphs("Intro", 3) +
                           "<p>See <a href=\"../other.html?a=1&amp;b=2\">the other story</a>, the "
                           "<a href=\"//cdn.example.org/file.pdf\">file</a>, a "
                           "<a href=\"javascript:void(0)\">script link</a> and "
                           "<a href=\"#notes\">the notes</a>, all in one long sentence.</p>"
                           "<p><img src=\"pics/a b.png\" alt='Say \"cheese\"'> A picture with a blank in "
                           "its name, and text.</p></div>";
  const std::string article = Article(Page("", body), kUrl);
  EXPECT_TRUE(Has(article, "<a href=\"https://news.example.com/2024/other.html?a=1&amp;b=2\">the other story</a>"));
  EXPECT_TRUE(Has(article, "<a href=\"https://cdn.example.org/file.pdf\">file</a>"));
  EXPECT_TRUE(Has(article, " a script link and "));
  EXPECT_TRUE(Has(article, "<a href=\"https://news.example.com/2024/05/story.html#notes\">"));
  EXPECT_TRUE(Has(article, "<img src=\"https://news.example.com/2024/05/pics/a%20b.png\" "
                           "alt=\"Say &quot;cheese&quot;\">"));
  // A <base> in the head moves every relative address.
  const std::string based = Article(Page("<base href=\"https://static.example.net/base/\">", body), kUrl);
  EXPECT_TRUE(Has(based, "<img src=\"https://static.example.net/base/pics/a%20b.png\""));
}

TEST(ArticleExtractorTest, PageWithoutAnArticleGivesNothing) {
  EXPECT_EQ(Article(Page("", "<nav>" + LinkList("menu", 50) + "</nav><div class=\"grid\">" +
                                        LinkList("teaser", 40) + "</div>"),
                           kUrl),
            "");
  EXPECT_EQ(Article(Page("", "<p>Page not found.</p>"), kUrl), "");
  EXPECT_EQ(Article("", kUrl), "");
}

TEST(ArticleExtractorTest, HostilePagesEndNormally) {
  // Nesting far deeper than any real page, unclosed tags and stray bytes.
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "<div>";
  deep += Paragraphs("Deep", 3);
  EXPECT_TRUE(Has(Article(deep, kUrl), "Deep paragraph 3"));
  std::string broken = "<p>" + Paragraphs("Broken", 4) + "<table><td><b><i>\xFF\xFE\x80 <a href=\"";
  EXPECT_TRUE(Has(Article(broken, kUrl), "Broken paragraph 4"));
}

std::string Repeat(const std::string& part, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += part;
  return text;
}

// Pages built to defeat the parser, each at most a few MB: the parse ends
// in time proportional to the page, and the program keeps running.
TEST(ArticleExtractorTest, PagesBuiltAgainstTheParserEndWithTheirTextOrARefusal) {
  // Deep nesting: cut at a depth no article reaches, the text stays.
  for (const auto& [open, times] : {std::pair<std::string, int>{"<span>", 500000}, {"<div>", 100000},
                                    {"<div><table><td></div>", 50000}}) {
    const ArticleExtraction deep = ExtractArticle(Repeat(open, times) + Paragraphs("Deep", 3), kUrl);
    EXPECT_FALSE(deep.refused) << open;
    EXPECT_TRUE(Has(deep.html, "Deep paragraph 3")) << open;
  }
  // Links that each move a block out of the one before: the text ends up
  // inside links, no article.
  EXPECT_FALSE(ExtractArticle(Repeat("<a><div>", 100000) + Paragraphs("Deep", 3), kUrl).refused);
  // Many siblings taken out one by one.
  EXPECT_TRUE(Has(Article("<div>" + Repeat("<input><noscript><img src=a.png></noscript>", 10000) +
                              Paragraphs("Wide", 3) + "</div>", kUrl),
                  "Wide paragraph 3"));
  // Formatting elements the parser opens again in every paragraph, more of
  // them each time: its work grows with the square of the page.
  std::string reopened;
  for (int i = 0; i < 20000; ++i) reopened += "<p><b id=" + std::to_string(i) + ">x";
  EXPECT_TRUE(ExtractArticle(reopened, kUrl).refused);
}

TEST(ArticleExtractorTest, PictureAddressesCarryNoMarkup) {
  const std::string body = "<article>" + Paragraphs("Body", 3) +
                           "<img src='http://a\"onmouseover=x&lt;b&gt;/p.png'>"
                           "<img src='/pics/a\"b&lt;c&gt;.png?w=1&amp;h=2' alt='\"&lt;'></article>";
  const std::string article = Article(Page("", body), kUrl);
  EXPECT_FALSE(Has(article, "onmouseover")) << article;
  EXPECT_TRUE(Has(article, "<img src=\"https://news.example.com/pics/a%22b%3Cc%3E.png?w=1&h=2\" alt=\"&quot;&lt;\">"))
      << article;
}

TEST(ArticleExtractorTest, SavedNewsPagesGiveTheirArticleFromFirstToLastParagraph) {
  struct Case {
    const char* page;
    const char* first;
    const char* last;
    const char* furniture;
  };
  for (const Case& c : {
           Case{"ars-1", "A flaw in the wildly popular online game", "update this post if company officials respond.",
                "Subscribe"},
           Case{"heise", "Das in der iOS-Version bereits enthaltene TOTP-Feature",
                "mindestens OS X 10.10 voraus.", "Kommentare lesen"},
           Case{"nytimes-3", "aging below-street infrastructure is tough to maintain",
                "A Battle Against Winter", "Skip to content"},
       }) {
    const std::string page = testsupport::ReadFile(std::string(WRENLY_TESTDATA) + "/html-pages/" + c.page + ".html");
    ASSERT_FALSE(page.empty()) << c.page;
    const std::string article = Article(page, "https://example.com/story.html");
    EXPECT_TRUE(Has(article, c.first)) << c.page;
    EXPECT_TRUE(Has(article, c.last)) << c.page;
    EXPECT_FALSE(Has(article, c.furniture)) << c.page;
    EXPECT_LT(article.size(), page.size() / 4) << c.page;
  }
}

}  // namespace
}  // namespace wrenly
