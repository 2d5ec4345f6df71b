#include "fetcher/template_runtime.h"

#include <gtest/gtest.h>

#include "fetcher/script_test_support.h"

namespace wrenly {
namespace {

using TemplateRuntime = ScriptRunTest;

// Tree order of "all": HTML, BODY, DIV(two words), DIV(content), P(second),
// P(first), DIV(nav), HEAD, TITLE.
constexpr const char* kPage =
    "<!DOCTYPE html>\n<HTML>\n<HEAD><TITLE>t</TITLE></HEAD>\n<BODY>\n"
    "<DIV class=\"nav\">nav</DIV>\n"
    "<DIV class=\"content\" id=main><P>first</P><P>second</P></DIV>\n"
    "<DIV class='two words'>x</DIV>\n</BODY>\n</HTML>\n";

TEST(TemplateRuntimeText, WrapsTheTemplateInScriptEntry) {
  EXPECT_EQ(TemplatePrologue().substr(0, 19), "function Article() ");
  EXPECT_TRUE(TemplatePrologue().ends_with(
      "    // The following is the body of the template\n    //\n"));
  EXPECT_TRUE(TemplateEpilogue().starts_with("    //\n    // Template end here.\n    // ---"));
  EXPECT_TRUE(TemplateEpilogue().ends_with("SetArticleBody(article.body);\n}\n"));
  const std::u16string script = BuildScriptText(u"X");
  EXPECT_EQ(script.size(), TemplatePrologue().size() + 1 + TemplateEpilogue().size());
  EXPECT_EQ(script[TemplatePrologue().size()], u'X');
}

TEST_F(TemplateRuntime, DocumentWalksTheTreeFromTheHtmlElement) {
  Serve("/page", kPage);
  const char* tpl = R"JS(
    var doc = new Document(article.url.replace('/article', '/page'), '');
    var head = doc.GetFirstChild();
    var body = head.GetNextSibling();
    var last = body.GetLastChild();
    article.body = [GetNodeName(0).charAt(0), doc.nodeName, doc.all.length,
                    doc.body.length, head.nodeName, body.nodeName,
                    head.GetPreviousSibling() === undefined, body.GetNextSibling() === undefined,
                    last.GetPreviousSibling().GetFirstChild().GetOuterHTML(),
                    last.GetParentNode().nodeName, doc.GetParentNode() === undefined,
                    head.GetFirstChild().GetFirstChild() === undefined].join(',');
  )JS";
  EXPECT_EQ(Run(tpl), "!,HTML,9," + std::to_string(std::string(kPage).size()) +
                          ",HEAD,BODY,true,true,<P>first</P>,BODY,true,true");
}

TEST_F(TemplateRuntime, AttributeMatching) {
  Serve("/page", kPage);
  const char* tpl = R"JS(
    var doc = new Document(article.url.replace('/article', '/page'), '');
    var content = doc.getElementsByAttr('div', 'class', 'content');
    var byId = doc.getElementsByAttr('DIV', 'id', 'main');
    var node = content[0];
    article.body = [content.length, node.GetFirstChild().GetOuterHTML(), byId.length,
                    byId[0] === node, node.attributes['id'],
                    doc.getElementsByAttr('div', 'class', 'two words').length,
                    doc.getElementsByAttr('div', 'class', 'two').length,
                    doc.getElementsByAttr('p', 'class', 'content').length,
                    doc.getElementsByAttr('div', 'class', 'missing').length,
                    node.hasAttrOrNot('div', 'toString', 'x')].join(',');
  )JS";
  EXPECT_EQ(Run(tpl), "1,<P>first</P>,1,true,main,0,1,0,0,false");
}

TEST_F(TemplateRuntime, DocumentWithoutUpperCaseHtmlHasNoNodes) {
  Serve("/lower", "<html><body><div class=a>x</div></body></html>");
  const char* tpl = R"JS(
    var doc = new Document(article.url.replace('/article', '/lower'), '');
    var failed = new Document(article.url.replace('/article', '/nothing-here'), '');
    article.body = [doc.nodeName === '', doc.all.length, doc.body === undefined,
                    doc.getElementsByAttr('div', 'class', 'a').length, failed.all.length,
                    new Node().getElementsByAttr('div', 'class', 'a').length].join(',');
  )JS";
  EXPECT_EQ(Run(tpl), "true,0,true,0,0,0");
}

// Saved pages with scripts, comments and non-ASCII text (one in Japanese):
// the text the host cuts for every record of the tree is the text the script
// cuts from the page at the record's positions.
TEST_F(TemplateRuntime, TreePositionsAgreeWithScriptIndicesOnRealPages) {
  for (const std::string name : {"ars-1", "hukumusume", "heise", "daringfireball-1"}) {
    Serve("/" + name, testsupport::ReadFile(std::string(WRENLY_TESTDATA) + "/html-pages/" + name + ".html"));
    const std::string tpl = "var page = URLDownload(article.url.replace('/article', '/" + name + "'), 'utf-8');" +
                            R"JS(
      var p = 0;
      var name = GetNodeName(p);
      while (name.toUpperCase() != 'HTML' && name != '<END>') {
        p = GetNodeStartPos(p) + name.length + 1;
        name = GetNodeName(p);
      }
      var records = GetNodeTree(name, p).split('|');
      var wrong = 0;
      for (var i = 0; i < records.length; i++) {
        var f = records[i].split(',');
        var cut = page.substring(Number(f[3]), Number(f[4]) + 1);
        var fromHost = GetHTML('{outerHTML,' + f[3] + ',' + f[4] + '}');
        if (fromHost != cut || cut.charAt(0) != '<' || cut.charAt(cut.length - 1) != '>')
          wrong++;
      }
      article.body = (records.length > 20) + ',' + wrong;
    )JS";
    EXPECT_EQ(Run(tpl), "true,0") << name;
  }
}

}  // namespace
}  // namespace wrenly
