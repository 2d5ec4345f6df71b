#include "fetcher/script_host.h"

#include <gtest/gtest.h>

#include "fetcher/script_test_support.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace wrenly {
namespace {

using testsupport::ReadFile;

using ScriptHostTest = ScriptRunTest;

TEST_F(ScriptHostTest, ArticleUrlAndBody) {
  EXPECT_EQ(Run("article.body = article.url + '|' + GetArticleUrl(42) + '|' + GetArticleUrl();"),
            kNoFile);  // GetArticleUrl takes exactly one argument
  EXPECT_FALSE(entryRan_);
  const std::string url = server_.Url("/article");
  EXPECT_EQ(Run("article.body = article.url + '|' + GetArticleUrl(42);"), url + "|" + url);
  EXPECT_TRUE(entryRan_);
}

TEST_F(ScriptHostTest, EmptyOrUndefinedBodyDeletesTheOldFile) {
  testsupport::WriteFile(output_, "old");
  EXPECT_EQ(Run(""), kNoFile);
  testsupport::WriteFile(output_, "old");
  EXPECT_EQ(Run("article.body = '';"), kNoFile);
}

TEST_F(ScriptHostTest, ScriptErrorsEndTheRun) {
  EXPECT_EQ(Run("article.body = 'x'; }{ syntax"), kNoFile);
  EXPECT_FALSE(entryRan_);
  EXPECT_EQ(Run("article.body = 'x'; undefinedFunction();"), kNoFile);
  EXPECT_FALSE(entryRan_);
  EXPECT_EQ(Run("article.body = 'x'; throw 'stop';"), kNoFile);
}

TEST_F(ScriptHostTest, MemoryLimitEndsAGreedyScript) {
  memoryLimit_ = 16u << 20;
  EXPECT_EQ(Run("var s = 'x'; var all = []; while (true) { s += s; all.push(s + '.'); } article.body = 'x';"),
            kNoFile);
  EXPECT_FALSE(entryRan_);
  EXPECT_EQ(Run("var a = []; for (var i = 0; i < 10000; i++) a.push('item' + i); article.body = a.length;"),
            "10000");
}

TEST_F(ScriptHostTest, IntArgumentsConvertLikeVariants) {
  Serve("/p", "0123456789<b>x</b>");
  const char* tpl = R"JS(
    URLDownload(GetArticleUrl(0).replace('/article', '/p'), '');
    article.body = [GetNodeStartPos(0), GetNodeStartPos('10'), GetNodeStartPos(' 10 '),
                    GetNodeStartPos(10.5), GetNodeStartPos(true), GetNodeStartPos(undefined),
                    GetNodeStartPos(11), GetNodeName('1e1')].join(',');
  )JS";
  // 10.5 rounds half to even (10); true is -1, which starts at the beginning.
  EXPECT_EQ(Run(tpl), "10,10,10,10,10,10,-1,b");
}

TEST_F(ScriptHostTest, UnconvertibleOrMissingArgumentsAreScriptErrors) {
  for (const char* call : {"GetNodeStartPos('abc')", "GetNodeStartPos(null)", "GetNodeStartPos('')",
                           "GetNodeStartPos('0x10')", "GetNodeStartPos(1e10)", "GetNodeStartPos(NaN)",
                           "GetNodeStartPos()", "GetNodeStartPos(1, 2)", "URLDownload('x')",
                           "Outer2InnerHTML(null)", "SetArticleBody('a', 'b')"}) {
    EXPECT_EQ(Run(std::string("article.body = 'x'; ") + call + ";"), kNoFile) << call;
  }
}

TEST_F(ScriptHostTest, TextArgumentsTakeTheirStringForm) {
  EXPECT_EQ(Run("article.body = Outer2InnerHTML(undefined) + Outer2InnerHTML(12) + "
                "Outer2InnerHTML({toString: function () { return '<p><b>y</b></p>'; }});"),
            "<b>y</b>");
}

TEST_F(ScriptHostTest, PositionsAgreeWithScriptStringIndices) {
  // Characters beyond U+FFFF count as two units on both sides.
  Serve("/p", "\xF0\x9F\x98\x80 \xC3\xA9<div class=a>\xE4\xB8\xAD\xF0\x9F\x98\x80</div>");
  const char* tpl = R"JS(
    var page = URLDownload(GetArticleUrl(0).replace('/article', '/p'), 'utf-8');
    var s = GetNodeStartPos(0);
    var e = page.indexOf('</div>') + 5;
    article.body = page.length + ',' + s + ',' + page.indexOf('<div') + ',' +
                   GetNodeOuterHTML(s, e) + ',' + GetNodeAttr(s, e);
  )JS";
  EXPECT_EQ(Run(tpl), "26,4,4,<div class=a>\xE4\xB8\xAD\xF0\x9F\x98\x80</div>,div class=a");
}

TEST_F(ScriptHostTest, ScriptTextKeepsCharactersBeyondTheBasicPlane) {
  EXPECT_EQ(Run(u"article.body = '\U0001F600\u00e9'.length + '\U0001F600\u00e9';"),
            "3\xF0\x9F\x98\x80\xC3\xA9");
}

TEST_F(ScriptHostTest, URLDownloadEncodings) {
  Serve("/gb", "\xD6\xD0");                          // U+4E2D in GB2312
  Serve("/bom", "\xEF\xBB\xBF\xC3\xA9");             // UTF-8 with mark
  Serve("/latin", "\xE9");
  Serve("/le", std::string("\xFF\xFE\x2D\x4E", 4));  // UTF-16LE with mark
  SetSystemCodePageForTesting(1252);
  const char* tpl = R"JS(
    function Get(path, encoding) {
      return URLDownload(GetArticleUrl(0).replace('/article', path), encoding);
    }
    article.body = [Get('/gb', '936'), Get('/gb', 'GB2312'), Get('/bom', '936'),
                    Get('/latin', ''), Get('/latin', 'no-such-charset'), Get('/le', 'utf-8'),
                    Get('/latin', 'UTF-8').charCodeAt(0).toString(16)].join(',');
  )JS";
  EXPECT_EQ(Run(tpl), "\xE4\xB8\xAD,\xE4\xB8\xAD,\xC3\xA9,\xC3\xA9,\xC3\xA9,\xE4\xB8\xAD,fffd");
  SetSystemCodePageForTesting(0);
}

TEST_F(ScriptHostTest, NodeFunctionsSeeTheLastPageThatArrived) {
  Serve("/one", "<p>one</p>");
  Serve("/two", "<html><body><div>two</div></body></html>");
  server_.server().Get("/missing", [](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content("<b>error page</b>", "text/html");
  });
  const char* tpl = R"JS(
    var base = GetArticleUrl(0).replace('/article', '');
    var empty = GetNodeName(0);
    URLDownload(base + '/one', '');
    var first = GetNodeName(0);
    URLDownload(base + '/two', '');
    var failed = URLDownload(base + '/missing', '') === '';
    article.body = [empty, first, GetNodeName(0), failed, GetNodeTree('html', 0) === '',
                    GetNodeTree('HTML', 0) === '', GetHTML('{outerHTML,12,25}')].join(',');
  )JS";
  EXPECT_EQ(Run(tpl), "<END>,p,html,true,false,true,<div>two</div>");
}

TEST_F(ScriptHostTest, LogPrintGoesToTheTraceSink) {
  const std::string log = dir_.path() + "/trace.log";
  testsupport::ScopedEnv trace("WRENLY_TRACE", log);
  ReloadTraceSetting();
  Run("LogPrint('found the article'); LogPrint(7);");
  const std::string lines = ReadFile(log);
  EXPECT_NE(lines.find("found the article\n"), std::string::npos);
  EXPECT_NE(lines.find("7\n"), std::string::npos);
  unsetenv("WRENLY_TRACE");
  ReloadTraceSetting();
}

}  // namespace
}  // namespace wrenly
