#include "fetcher/node_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "platform/text.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

// Results as UTF-8, so that failures print readably.
std::string Tree(std::u16string_view text, std::u16string_view name, int32_t position = 0) {
  return Utf16ToUtf8(BuildNodeTree(text, name, position));
}

std::string Next(std::u16string_view text, int32_t& position) {
  return Utf16ToUtf8(FindNextTag(text, position));
}

TEST(FindNextTag, PassesOverClosingTagsCommentsAndMeta) {
  const std::u16string page =
      u"</p><!-- <b>bold</b> --><META name=\"x\"><meta/><span class=\"s\">s</span>";
  int32_t p = 0;
  EXPECT_EQ(Next(page, p), "span");
  EXPECT_EQ(p, static_cast<int32_t>(page.find(u"<span")));

  p = 0;
  const std::u16string doc = u"<!DOCTYPE html>\n<HTML>";
  EXPECT_EQ(Next(doc, p), "!DOCTYPE");  // a declaration counts as a tag
  EXPECT_EQ(p, 0);
  p = 2;
  EXPECT_EQ(Next(doc, p), "HTML");  // names come back as written
  EXPECT_EQ(p, 16);
}

TEST(FindNextTag, OddTextAndEnds) {
  int32_t p = 0;
  EXPECT_EQ(Next(u"a --> b <i>", p), "i");  // "-->" outside a comment is text
  EXPECT_EQ(p, 8);
  p = 0;
  EXPECT_EQ(Next(u"x <custom-el", p), "custom-el");  // a name running to the end counts
  EXPECT_EQ(p, 2);
  p = 0;
  EXPECT_EQ(Next(u"a < b>", p), "b");  // a stray "<" opens a tag like any other
  EXPECT_EQ(p, 2);
  p = 0;
  EXPECT_EQ(Next(u"<!-- <i> never closed", p), "");
  EXPECT_EQ(p, -1);
  p = 3;
  EXPECT_EQ(Next(u"<i>", p), "");  // at the end
  EXPECT_EQ(p, -1);
  p = 99;
  EXPECT_EQ(Next(u"<i>", p), "");  // beyond the end
  EXPECT_EQ(p, -1);
  p = -5;
  EXPECT_EQ(Next(u"<i>", p), "i");  // before the start: from the beginning
  EXPECT_EQ(p, 0);
  p = 0;
  EXPECT_EQ(Next(u"", p), "");
  EXPECT_EQ(p, -1);
}

TEST(BuildNodeTree, ChildrenFollowTheirParentInReverseDocumentOrder) {
  const std::u16string page = u"<html><body><p>a</p><div>b</div></body></html>";
  EXPECT_EQ(Tree(page, u"html"), "1,-1,HTML,0,45|2,1,BODY,6,38|4,2,DIV,20,31|3,2,P,12,19");
  EXPECT_EQ(Tree(page, u"HTML"), "");  // case of the root name matters
  EXPECT_EQ(Tree(page, u""), "");
  EXPECT_EQ(Tree(page, u"body"), "");  // the next tag from 0 is html
  // Ids count from the build's own root; the build ends at the root's end.
  EXPECT_EQ(Tree(page, u"body", 1), "1,-1,BODY,6,38|3,1,DIV,20,31|2,1,P,12,19");
  EXPECT_EQ(Tree(page, u"div", 13), "1,-1,DIV,20,31");
  EXPECT_EQ(Tree(u"", u"html"), "");
}

TEST(BuildNodeTree, MetaAndLinkUseAnIdButNeverEnterTheTree) {
  // Had either been pushed, TITLE would keep it as its parent.
  const std::u16string page =
      u"<html><head><meta charset=\"utf-8\"><LINK rel=x><title>T</title><style>s</style>"
      u"</head></html>";
  EXPECT_EQ(Tree(page, u"html"), "1,-1,HTML,0,91|2,1,HEAD,6,84|6,2,STYLE,62,77|5,2,TITLE,46,61");
}

TEST(BuildNodeTree, SelfClosedTagsLeaveTheStackAtTheirSlash) {
  // br and img written with "/>" are pushed and dropped again.
  EXPECT_EQ(Tree(u"<html><body><br/><img src=\"x\" /><p>t</p></body></html>", u"html"),
            "1,-1,HTML,0,53|2,1,BODY,6,46|5,2,P,32,39");
  // An img whose src holds a "/" but that ends in a plain ">" stays open: both
  // paragraphs become its children, then the closing body tag removes it and
  // only the last paragraph is re-attached to the body.
  EXPECT_EQ(Tree(u"<html><body><img src=\"a/b.png\"><p>t</p><p>u</p></body></html>", u"html"),
            "1,-1,HTML,0,60|2,1,BODY,6,53|5,2,P,39,46|4,3,P,31,38");
  // A meta tag ending in "/>" is not pushed, yet takes the head off the stack.
  EXPECT_EQ(Tree(u"<html><head><meta charset=\"x\"/><title>T</title></head></html>", u"html"),
            "1,-1,HTML,0,60|4,1,TITLE,31,46");
  // A stray ">" after a "/>" tag counts as its end once more (and takes DIV);
  // the ">" of a script end tag is not seen.
  EXPECT_EQ(Tree(u"<html><div><b>x</b><br/> a > b</div></html>", u"html"),
            "1,-1,HTML,0,42|3,1,B,11,18");
  EXPECT_EQ(Tree(u"<html><div><b>x</b><br/><script>s</script></div></html>", u"html"),
            "1,-1,HTML,0,54|2,1,DIV,6,47|3,2,B,11,18");
  // "/ >" is not "/>": the br stays open.
  EXPECT_EQ(Tree(u"<html><div><br / ><b>x</b><i>y</i></div></html>", u"html"),
            "1,-1,HTML,0,46|2,1,DIV,6,39|5,2,I,26,33|4,3,B,18,25");
}

TEST(BuildNodeTree, TheBuildEndsAtTheRootsClosingTagOrItsSelfClosedTwin) {
  EXPECT_EQ(Tree(u"<div><p>a</p></div><p>b</p>", u"div"), "1,-1,DIV,0,18|2,1,P,5,12");
  // A nested "<div/>" of the root's name ends the whole build.
  EXPECT_EQ(Tree(u"<div><p>a</p><div/><p>b</p></div>", u"div"), "2,1,P,5,12");
  // An unclosed root runs to the end; what is still open is not in the tree.
  EXPECT_EQ(Tree(u"<html><body><p>a</p><div>b", u"html"), "3,2,P,12,19");
}

TEST(BuildNodeTree, ClosingTagsThatMatchNothingOnlyReparentTheLastRecord) {
  // "</b>" matches nothing open: P, completed last, takes SPAN as its parent.
  EXPECT_EQ(Tree(u"<html><body><p>a</p><span></b>x</span></body></html>", u"html"),
            "1,-1,HTML,0,51|2,1,BODY,6,44|4,2,SPAN,20,37|3,4,P,12,19");
  // Before anything is completed, an unmatched closing tag removes nothing:
  // IMG stays open and the first paragraph keeps it as its parent.
  EXPECT_EQ(Tree(u"<html><div><img></i><p>x</p><p>y</p></div></html>", u"html"),
            "1,-1,HTML,0,48|2,1,DIV,6,41|5,2,P,28,35|4,3,P,20,27");
  // The closing tag's end is the first ">" after its name.
  EXPECT_EQ(Tree(u"<html><b>x</b\n class=y></html>", u"html"), "1,-1,HTML,0,29|2,1,B,6,22");
}

TEST(BuildNodeTree, ScriptsAndCommentsAreNotScannedForTags) {
  EXPECT_EQ(Tree(u"<html><div><script>var s=\"</div>\";</script><p>x</p></div></html>", u"html"),
            "1,-1,HTML,0,63|2,1,DIV,6,56|3,2,P,43,50");
  // A script end tag with a blank before its ">" does not end the script.
  EXPECT_EQ(Tree(u"<html><body><b>k</b><script>x</script ><i>y</i></body></html>", u"html"),
            "3,2,B,12,19");
  // A comment opened inside a script runs across the script end tag; the I
  // element is never seen, so B gets id 3.
  EXPECT_EQ(Tree(u"<html><body><script>a<!-- b</script><i>x</i>--></script><b>y</b></body></html>",
                 u"html"),
            "1,-1,HTML,0,77|2,1,BODY,6,70|3,2,B,56,63");
  // "<!-" is enough to open a comment, and "<script" with any ending opens a script.
  EXPECT_EQ(Tree(u"<html><!-x<b>y</b>--><SCRIPTS>..</ScRiPt><i>z</i></html>", u"html"),
            "1,-1,HTML,0,55|2,1,I,41,48");
}

TEST(BuildNodeTree, LongNamesAreCutToSixteenCharactersAndStillClose) {
  EXPECT_EQ(Tree(u"<html><my-sixteen-chars>x</my-sixteen-chars></html>", u"html"),
            "1,-1,HTML,0,50|2,1,MY-SIXTEEN-CHARS,6,43");
  EXPECT_EQ(Tree(u"<html><my-twenty-characters>x</my-twenty-characters></html>", u"html"),
            "1,-1,HTML,0,58|2,1,MY-TWENTY-CHARAC,6,51");
  // Names that only differ after sixteen characters match each other.
  EXPECT_EQ(Tree(u"<html><abcdefghijklmnopXX>x</abcdefghijklmnopYY></html>", u"html"),
            "1,-1,HTML,0,54|2,1,ABCDEFGHIJKLMNOP,6,47");
}

TEST(BuildNodeTree, NeverReadsPastTheEndOfTheText) {
  // Each text is a prefix of a longer buffer whose continuation would close
  // the root; the build must see only the prefix, whatever skip ends it.
  const std::u16string buffer = u"<html><b>x</b><!--><script></script></html>";
  const std::u16string_view view(buffer);
  EXPECT_EQ(Tree(view.substr(0, 17), u"html"), "2,1,B,6,13");  // ends in "<!-"
  EXPECT_EQ(Tree(view.substr(0, 16), u"html"), "2,1,B,6,13");  // ends in "<!"
  const std::u16string scripts = u"<html><b>x</b><script></script></html>";
  const std::u16string_view scriptView(scripts);
  EXPECT_EQ(Tree(scriptView.substr(0, 21), u"html"), "2,1,B,6,13");  // ends in "<script"
  EXPECT_EQ(Tree(scriptView.substr(0, 29), u"html"), "2,1,B,6,13");  // ends in "</script"
  const std::u16string open = u"<html><b>x</b ></html>";
  EXPECT_EQ(Tree(std::u16string_view(open).substr(0, 14), u"html"), "2,1,B,6,-1");
}

TEST(NodeTreeLimits, TextsOverTheTransferLimitAreRefused) {
  std::u16string huge(kMaxPageTextLength + 1, u'x');
  huge.replace(0, 10, u"<b>t</b><i");
  const std::u16string_view atLimit = std::u16string_view(huge).substr(0, kMaxPageTextLength);
  int32_t p = 0;
  EXPECT_EQ(Next(atLimit, p), "b");
  EXPECT_EQ(p, 0);
  p = 0;
  EXPECT_EQ(Next(huge, p), "");
  EXPECT_EQ(p, -1);
  EXPECT_EQ(Tree(huge, u"b"), "");
  EXPECT_EQ(SliceFromTag(huge, 0, 7), u"");
  EXPECT_EQ(OpeningTagText(huge, 0, 7), u"");
  EXPECT_EQ(ResolveOuterRefs(huge, u"{o,0,7}"), u"");
}

TEST(TextCuts, SliceAndOpeningTagText) {
  const std::u16string page = u"<p>x</p><a href=\"/x\" title='t'>link</a>";
  EXPECT_EQ(SliceFromTag(page, 1, 38), u"<a href=\"/x\" title='t'>link</a>");
  EXPECT_EQ(SliceFromTag(page, 8, 9), u"<a");
  EXPECT_EQ(SliceFromTag(page, 8, 500), u"<a href=\"/x\" title='t'>link</a>");  // cut at the end
  EXPECT_EQ(SliceFromTag(page, 9, 38), u"");  // no opening tag after 9
  EXPECT_EQ(SliceFromTag(page, 1, 7), u"");   // end before the tag
  EXPECT_EQ(SliceFromTag(page, 0, -1), u"");

  EXPECT_EQ(OpeningTagText(page, 1, 38), u"a href=\"/x\" title='t'");
  EXPECT_EQ(OpeningTagText(page, 1, 14), u"a href");  // no further than the end
  EXPECT_EQ(OpeningTagText(page, 1, 500), u"a href=\"/x\" title='t'");
  EXPECT_EQ(OpeningTagText(u"<a x<y>", 0, 9), u"a xy");
  EXPECT_EQ(OpeningTagText(page, 9, 38), u"");
}

TEST(TextCuts, InnerOfOuterKeepsFirstToLastInnerTag) {
  EXPECT_EQ(InnerOfOuter(u"<div>word <b>bold</b> word</div>"), u"<b>bold</b>");
  EXPECT_EQ(InnerOfOuter(u"<div><i>a</i> and <b>b</b>!</div>"), u"<i>a</i> and <b>b</b>");
  EXPECT_EQ(InnerOfOuter(u"<div>only text</div>"), u"");
  EXPECT_EQ(InnerOfOuter(u"no tags at all"), u"");
  EXPECT_EQ(InnerOfOuter(u""), u"");
  EXPECT_EQ(InnerOfOuter(u"<div><br>"), u"");
}

TEST(TextCuts, ResolveOuterRefsJoinsTheNamedSlices) {
  const std::u16string page = u"<p>one</p><b>two</b>";
  EXPECT_EQ(ResolveOuterRefs(page, u"{outerHTML,0,9}"), u"<p>one</p>");
  EXPECT_EQ(ResolveOuterRefs(page, u"x{outerHTML,10,19}y{outerHTML,0,9}z"),
            u"<b>two</b><p>one</p>");
  EXPECT_EQ(ResolveOuterRefs(page, u"{o, 10 ,19}"), u"<b>two</b>");
  EXPECT_EQ(ResolveOuterRefs(page, u"{o,x,5}"), u"<p>one");  // not a number: 0
  EXPECT_EQ(ResolveOuterRefs(page, u"{o,5}"), u"");
  EXPECT_EQ(ResolveOuterRefs(page, u"{o,,}"), u"<");  // both numbers 0
  EXPECT_EQ(ResolveOuterRefs(page, u"}{o,10,99999999999}"), u"<b>two</b>");
  EXPECT_EQ(ResolveOuterRefs(page, u"{o,0,9"), u"");
  EXPECT_EQ(ResolveOuterRefs(u"", u"{o,0,9}"), u"");
}

// Real pages: the tree's records, checked against the page text and the
// serialisation rules.
struct Record {
  int32_t id, parent;
  std::string name;
  int32_t start, end;
};

std::vector<Record> ParseTree(const std::string& tree) {
  std::vector<Record> records;
  std::size_t from = 0;
  while (from < tree.size()) {
    std::size_t to = tree.find('|', from);
    if (to == std::string::npos) to = tree.size();
    const std::string piece = tree.substr(from, to - from);
    Record r{};
    char name[64] = {};
    EXPECT_EQ(std::sscanf(piece.c_str(), "%d,%d,%63[^,],%d,%d", &r.id, &r.parent, name, &r.start,
                          &r.end),
              5)
        << piece;
    r.name = name;
    records.push_back(r);
    from = to + 1;
  }
  return records;
}

std::u16string LoadPage(const std::string& name) {
  const std::string bytes =
      testsupport::ReadFile(std::string(WRENLY_TESTDATA) + "/html-pages/" + name);
  EXPECT_FALSE(bytes.empty()) << name;
  return Utf8ToUtf16(bytes);
}

// The first html tag however it is written, and its position.
std::u16string RootTag(std::u16string_view page, int32_t& position) {
  for (int32_t p = 0;;) {
    std::u16string name = FindNextTag(page, p);
    if (name.empty() || AsciiLower(name) == u"html") {
      position = p;
      return name;
    }
    p += 1;
  }
}

std::string Lower(std::u16string_view text) { return Utf16ToUtf8(AsciiLower(text)); }

std::vector<Record> CheckRealPage(const std::string& file) {
  SCOPED_TRACE(file);
  const std::u16string page = LoadPage(file);
  int32_t rootPos = 0;
  const std::u16string root = RootTag(page, rootPos);
  EXPECT_EQ(AsciiLower(root), u"html");
  const std::vector<Record> records = ParseTree(Utf16ToUtf8(BuildNodeTree(page, root, rootPos)));
  EXPECT_GT(records.size(), 50u);

  std::map<int32_t, std::size_t> indexById;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const Record& r = records[i];
    EXPECT_TRUE(indexById.emplace(r.id, i).second) << "duplicate id " << r.id;
    EXPECT_NE(r.name, "META");
    EXPECT_NE(r.name, "LINK");
    // start is the element's own "<NAME", end the ">" of its closing tag.
    EXPECT_GE(r.start, rootPos);
    EXPECT_GT(r.end, r.start);
    if (r.start < 0 || r.end <= r.start || r.end >= static_cast<int32_t>(page.size())) continue;
    EXPECT_EQ(Lower(page.substr(r.start + 1, r.name.size())), Lower(Utf8ToUtf16(r.name)));
    EXPECT_EQ(page[r.end], u'>');
    const std::size_t closing = page.rfind(u"</", r.end);
    EXPECT_NE(closing, std::u16string::npos);
    if (closing == std::u16string::npos) continue;
    EXPECT_EQ(Lower(page.substr(closing + 2, r.name.size())), Lower(Utf8ToUtf16(r.name)))
        << "element at " << r.start;
  }
  // Ids grow in opening order.
  std::vector<Record> byStart = records;
  std::sort(byStart.begin(), byStart.end(),
            [](const Record& a, const Record& b) { return a.start < b.start; });
  for (std::size_t i = 1; i < byStart.size(); ++i) EXPECT_LT(byStart[i - 1].id, byStart[i].id);
  // A parent is -1, a record standing before its child, or an element that a
  // closing-tag search removed, which carries no record.
  const auto opened = static_cast<int32_t>(std::count(page.begin(), page.end(), u'<'));
  for (std::size_t i = 0; i < records.size(); ++i) {
    const int32_t parent = records[i].parent;
    const auto found = indexById.find(parent);
    if (found != indexById.end()) {
      EXPECT_LT(found->second, i) << "parent " << parent << " after child " << records[i].id;
    } else if (parent != -1) {
      EXPECT_GE(parent, 1);
      EXPECT_LE(parent, opened);
    }
  }
  // Upper-case HTML builds the same tree under the name "HTML".
  std::u16string upper = page;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char16_t c) { return (c >= u'a' && c <= u'z') ? c - 32 : c; });
  EXPECT_EQ(BuildNodeTree(upper, u"HTML", rootPos), BuildNodeTree(page, root, rootPos));
  return records;
}

bool HasName(const std::vector<Record>& records, const std::string& name) {
  return std::any_of(records.begin(), records.end(),
                     [&](const Record& r) { return r.name == name; });
}

TEST(BuildNodeTreeOnRealPages, RecordsAgreeWithThePageAndTheSerialisationRules) {
  for (const char* file : {"001.html", "daringfireball-1.html", "hukumusume.html", "heise.html",
                           "ars-1.html", "nytimes-3.html"}) {
    CheckRealPage(file);
  }
}

TEST(BuildNodeTreeOnRealPages, SelfClosedHeadTagsTakeEnclosingElementsOffTheStack) {
  // Two meta tags written with "/>" take HEAD and then HTML off the stack, so
  // the tree of this page starts at BODY.
  const std::vector<Record> xhtml = CheckRealPage("001.html");
  ASSERT_FALSE(xhtml.empty());
  EXPECT_EQ(xhtml[0].name, "BODY");
  EXPECT_EQ(xhtml[0].parent, -1);
  EXPECT_FALSE(HasName(xhtml, "HTML"));
  EXPECT_FALSE(HasName(xhtml, "HEAD"));

  // One such meta tag after the title takes only HEAD: TITLE, closed before
  // it, is re-attached to HTML, which stays the root.
  const std::u16string page = LoadPage("hukumusume.html");
  const std::vector<Record> records = CheckRealPage("hukumusume.html");
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records[0].name, "HTML");
  EXPECT_EQ(records[0].start, static_cast<int32_t>(page.find(u"<html")));
  EXPECT_EQ(records[0].end, static_cast<int32_t>(page.rfind(u'>')));
  EXPECT_FALSE(HasName(records, "HEAD"));
  const auto title = std::find_if(records.begin(), records.end(),
                                  [](const Record& r) { return r.name == "TITLE"; });
  ASSERT_NE(title, records.end());
  EXPECT_EQ(title->parent, records[0].id);
  // Positions count UTF-16 units: the Japanese title comes before BODY.
  const auto body = std::find_if(records.begin(), records.end(),
                                 [](const Record& r) { return r.name == "BODY"; });
  ASSERT_NE(body, records.end());
  EXPECT_EQ(body->start, static_cast<int32_t>(page.find(u"<body")));
}

}  // namespace
}  // namespace wrenly
