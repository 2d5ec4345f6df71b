#include "fetcher/script_bodies.h"

#include <gtest/gtest.h>

namespace wrenly {
namespace {

TEST(ScriptBodiesTest, BodiesGoAndEverythingElseStays) {
  EXPECT_EQ(WithoutScriptBodies("<p>a</p><script type=\"x\">if (a < b) {}</script><p>b</p>"),
            "<p>a</p><script type=\"x\"></script><p>b</p>");
  EXPECT_EQ(WithoutScriptBodies("<STYLE>p{}</STYLE ><Script>x</sCRIPT>"), "<STYLE></STYLE ><Script></sCRIPT>");
  // Only the script's own end tag ends it, not a longer name or a string.
  EXPECT_EQ(WithoutScriptBodies("<script>var s = '</scripts>';</script>t"), "<script></script>t");
  // A script that never ends runs to the end of the page.
  EXPECT_EQ(WithoutScriptBodies("<p>a</p><script>forever"), "<p>a</p><script>");
}

TEST(ScriptBodiesTest, OnlyRealStartTagsStartAScript) {
  for (const char* kept : {
           "<div title=\"<script>\">text</div><p>more</p></script>",
           "<div title = '<script>x'>text</div>",
           "<!-- <script> -->text<p>more</p>",
           "<title>About <script> tags</title><p>text</p>",
           "<textarea><style></textarea><p>text</p>",
           "a <scripted> b < script",
       })
    EXPECT_EQ(WithoutScriptBodies(kept), kept);
}

}  // namespace
}  // namespace wrenly
