// The nesting limit before the parse: real pages pass unchanged, deep ones
// keep their text with the elements past the limit left out.
#include "fetcher/html_nesting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::string Repeat(const std::string& part, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += part;
  return text;
}

TEST(HtmlNestingTest, SavedPagesPassUnchanged) {
  int pages = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(WRENLY_TESTDATA) + "/html-pages")) {
    if (entry.path().extension() != ".html") continue;
    const std::string page = testsupport::ReadFile(entry.path().string());
    EXPECT_EQ(WithNestingLimit(page), page) << entry.path();
    ++pages;
  }
  EXPECT_GT(pages, 3);
}

TEST(HtmlNestingTest, ImpliedEndsKeepSloppyPagesShallow) {
  // Unclosed paragraphs, list items, cells, options and links, a heading
  // left open, end tags that close nothing, text elements holding tags.
  const std::string sloppy =
      Repeat("<p><b>bold", 50) + Repeat("<ul><li>a<li>b</ul>", 50) + Repeat("<li>item", 50) +
      "<table>" + Repeat("<tr><td>cell<td>cell", 50) + "</table>" + Repeat("<select><option>o", 50) +
      Repeat("<a href=x>link", 50) + Repeat("<h2>title", 50) + Repeat("</span></em>", 50) +
      "<title>" + Repeat("<div>", 50) + "</title><textarea>" + Repeat("<div>", 50) + "</textarea>" +
      "<!-- " + Repeat("<div>", 50) + " -->" + "<svg>" + Repeat("<path d='M0'/>", 50) + "</svg>" +
      Repeat("<br><img src=x><input>", 50);
  EXPECT_EQ(WithNestingLimit(sloppy, 8), sloppy);
}

TEST(HtmlNestingTest, DeepNestingIsCutAtTheLimitWithItsText) {
  const std::string deep = Repeat("<div class=\"x\">", 1000) + "deep text" + Repeat("</div>", 1000) + "after";
  const std::string limited = WithNestingLimit(deep, 100);
  EXPECT_EQ(Count(limited, "<div"), 100u);
  EXPECT_EQ(Count(limited, "</div>"), 100u);
  EXPECT_NE(limited.find("deep text</div>"), std::string::npos);
  EXPECT_NE(limited.find("</div>after"), std::string::npos);

  // End tags that would let the parser stack elements again: a </div> that
  // a table cell keeps from closing anything, an unknown end tag that a
  // block keeps from closing its unknown parent, a self-closed <div/>, and
  // links and bold text whose end moves a block out of them, which stays open.
  for (const std::string& step : {std::string("<div><table><td></div>"), std::string("<x><div></y>"),
                                  std::string("<div/>"), std::string("<a><div>"), std::string("<b><div></b>")}) {
    const std::string page = Repeat(step, 1000);
    EXPECT_LT(WithNestingLimit(page, 100).size(), page.size() / 2) << step;
  }
  // A select inside a select only ends the first; option groups then pile up outside it.
  const std::string groups = Repeat("<select><option><optgroup>", 1000);
  EXPECT_NE(WithNestingLimit(groups, 100), groups);
}

}  // namespace
}  // namespace wrenly
