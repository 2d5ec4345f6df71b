#include "store/template_document.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

std::vector<std::string> Reports(const std::string& xml) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir.path() + "/t.xml", xml);
  std::vector<std::string> seen;
  CTemplateDocument doc([&](const std::u16string& e, const std::u16string& a, const std::u16string& b) {
    seen.push_back(Utf16ToUtf8(e + u"|" + a + u"|" + b));
  });
  if (doc.LoadAndReport(dir.path() + "/t.xml") != 1) seen.push_back("load failed");
  return seen;
}

TEST(TemplateDocument, ReportsRootChildrenIgnoringCase) {
  EXPECT_EQ(Reports("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                    "<Template NAME=\"News\" version=\"2\">"
                    "<channel><name>A</name><URL>http://a</URL><extra>x</extra></channel>"
                    "<CHANNEL><name>B</name><name>B2</name></CHANNEL>"
                    "<Parse_Article><![CDATA[article.body = 'p';]]></Parse_Article>"
                    "<parse_channel>ignored</parse_channel>"
                    "<group><channel><name>deep</name></channel></group>"
                    "</Template>"),
            (std::vector<std::string>{"template|name|News", "channel|A|http://a", "channel|B2|",
                                      "parse_article|Parse_Article|article.body = 'p';"}));
  // Without a name the root reports nothing of itself; a broken file loads nothing.
  EXPECT_EQ(Reports("<template><channel><name>C</name><url>u</url></channel></template>"),
            (std::vector<std::string>{"channel|C|u"}));
  EXPECT_EQ(Reports("<template name=\"x\"><channel>"), (std::vector<std::string>{"load failed"}));
}

}  // namespace
}  // namespace wrenly
