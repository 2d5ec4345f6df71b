// The extraction tree: taking nodes out and unwrapping them in any order
// leaves every list of children as a tree built so from the start would be.
#include "fetcher/html_tree.h"

#include <gtest/gtest.h>

#include <string>

namespace wrenly {
namespace {

// The element children's tag names, and text as itself.
std::string Shape(const HtmlNode* node) {
  std::string shape;
  for (const HtmlNode* child : node->Children()) {
    shape += child->isText ? std::string(child->text) : "<" + TagName(child) + ">";
    if (child->parent != node) shape += "(stray)";
  }
  return shape;
}

TEST(HtmlTreeTest, DetachAndUnwrapInAnyOrderKeepTheOrderOfWhatStays) {
  HtmlTree tree("<body><a>1</a><b>2<i>3</i><u>4<s>5</s></u></b><em>6</em><q>7</q></body>");
  HtmlNode* body = tree.body();
  ASSERT_EQ(Shape(body), "<a><b><em><q>");
  HtmlNode* b = body->Children()[1];
  HtmlNode* u = b->Children()[2];
  HtmlTree::Detach(body->Children()[0]);
  HtmlTree::Unwrap(u);  // inside b, which is unwrapped next
  HtmlTree::Unwrap(b);
  HtmlTree::Detach(body->Children()[body->Children().size() - 1]);
  EXPECT_EQ(Shape(body), "2<i>4<s><em>");
  HtmlNode* em = body->Children()[4];
  HtmlTree::Detach(em);
  HtmlTree::Append(body, em);  // back in the same parent, once
  HtmlTree::Append(body->Children()[1], body->Children()[3]);  // <s> into <i>
  EXPECT_EQ(Shape(body), "2<i>4<em>");
  EXPECT_EQ(Shape(body->Children()[1]), "3<s>");
  EXPECT_EQ(HtmlTree::TextOf(body), "23546");
}

TEST(HtmlTreeTest, ManySiblingsTakenOutOneByOne) {
  std::string page = "<body>";
  for (int i = 0; i < 20000; ++i) page += "<i>x</i><b>y</b>";
  HtmlTree tree(page);
  std::vector<HtmlNode*> italics;
  for (HtmlNode* child : tree.body()->Children())
    if (child->Is(GUMBO_TAG_I)) italics.push_back(child);
  for (HtmlNode* italic : italics) HtmlTree::Detach(italic);
  EXPECT_EQ(tree.body()->Children().size(), 20000u);
  EXPECT_EQ(HtmlTree::TextOf(tree.body()).find('x'), std::string::npos);
}

}  // namespace
}  // namespace wrenly
