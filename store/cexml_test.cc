#include "store/cexml.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "platform/trace.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

// Records every visit as "parent>element" with the element's text.
class RecordingXml : public CEXML {
 public:
  void Visit(const tinyxml2::XMLElement* parent, const tinyxml2::XMLElement* element) override {
    visits.push_back(Utf16ToUtf8((parent ? ElementName(parent) : u"-") + u">" +
                                 ElementName(element) + u":" + ElementText(element)));
  }
  std::vector<std::string> visits;
};

class CexmlTest : public ::testing::Test {
 protected:
  void TearDown() override { SetSystemCodePageForTesting(0); }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.path() + "/" + name;
    WriteFile(path, bytes);
    return path;
  }
  testsupport::TempDir dir_;
};

TEST_F(CexmlTest, EncodingSniffFollowsTheDeclarationInTheFirst127Bytes) {
  RecordingXml xml;
  EXPECT_EQ(xml.EncodingMode(), 1);
  ASSERT_EQ(xml.LoadFile(Write("gb.xml", "<?xml version=\"1.0\" encoding=\"gb2312\"?><a/>"), false), 1);
  EXPECT_EQ(xml.EncodingMode(), 2);
  // No declaration: the previous load's mode stays.
  ASSERT_EQ(xml.LoadFile(Write("none.xml", "<a/>"), false), 1);
  EXPECT_EQ(xml.EncodingMode(), 2);
  ASSERT_EQ(xml.LoadFile(Write("u8.xml", "<?xml version=\"1.0\" encoding=\"utf-8\"?><a/>"), false), 1);
  EXPECT_EQ(xml.EncodingMode(), 1);
  ASSERT_EQ(xml.LoadFile(Write("u8b.xml", "<?xml version=\"1.0\" encoding=\"UTF8\"?><a/>"), false), 1);
  EXPECT_EQ(xml.EncodingMode(), 1);
  // Single quotes are not recognised as quotes: mode 2.
  ASSERT_EQ(xml.LoadFile(Write("sq.xml", "<?xml version='1.0' encoding='utf-8'?><a/>"), false), 1);
  EXPECT_EQ(xml.EncodingMode(), 2);
  // A declaration pushed beyond byte 127 is not seen.
  RecordingXml fresh;
  const std::string late = "<?xml version=\"1.0\"" + std::string(120, ' ') + "encoding=\"gb2312\"?><a/>";
  ASSERT_EQ(fresh.LoadFile(Write("late.xml", late), false), 1);
  EXPECT_EQ(fresh.EncodingMode(), 1);
}

TEST_F(CexmlTest, ModeTwoUsesTheDeclaredCharsetAndTheSystemCodePageOnlyForUnknownOnes) {
  SetSystemCodePageForTesting(1252);
  RecordingXml xml;
  // "中文" in GB2312 must not be read as Windows-1252 text.
  ASSERT_EQ(xml.LoadFile(Write("gb.opml", "<?xml version=\"1.0\" encoding=\"gb2312\"?>"
                                          "<t n=\"\xD6\xD0\xCE\xC4\">\xD6\xD0</t>"),
                         true),
            1);
  EXPECT_EQ(xml.Charset(), "gb2312");
  EXPECT_EQ(xml.visits, (std::vector<std::string>{"->t:\xE4\xB8\xAD"}));
  EXPECT_EQ(xml.Attributes(xml.Document()->RootElement())[0].second, u"\u4E2D\u6587");
  EXPECT_EQ(xml.EncodeText(u"\u6587x\U0001F600"), "\xCE\xC4x?");

  // Single-quoted: mode 2, but still decoded with the charset it names.
  ASSERT_EQ(xml.LoadFile(Write("sq.xml", "<?xml version='1.0' encoding='gb2312'?><t>\xD6\xD0</t>"), false), 1);
  EXPECT_EQ(xml.ElementText(xml.Document()->RootElement()), u"\u4E2D");

  // Unknown names and wide charsets fall back to the system code page.
  for (const char* declared : {"x-no-such-charset", "UTF-16"}) {
    const std::string text =
        std::string("<?xml version=\"1.0\" encoding=\"") + declared + "\"?><t>caf\xE9</t>";
    ASSERT_EQ(xml.LoadFile(Write("other.xml", text), false), 1) << declared;
    EXPECT_EQ(xml.Charset(), "") << declared;
    EXPECT_EQ(xml.ElementText(xml.Document()->RootElement()), u"caf\u00E9") << declared;
  }
}

TEST(Utf8Lenient, DecodesAsTheDocumentFormRequires) {
  EXPECT_EQ(DecodeUtf8Lenient("\xE4\xB8\xAD"), u"\u4E2D");
  EXPECT_EQ(DecodeUtf8Lenient("Caf\xE9s"), u"Caf");          // Latin-1 byte: cut short
  EXPECT_EQ(DecodeUtf8Lenient("ab\x80zz"), u"ab");           // stray continuation byte
  EXPECT_EQ(DecodeUtf8Lenient("a\xFE" "b"), u"a");
  EXPECT_EQ(DecodeUtf8Lenient("x\xF0\x9F\x98"), u"x");       // cut off by the end
  EXPECT_EQ(DecodeUtf8Lenient("\xC3" "A"), u"\u00C1");      // continuation not checked
  EXPECT_EQ(DecodeUtf8Lenient("\xF0\x9F\x98\x80!"), u"\U0001F600!");
  EXPECT_EQ(DecodeUtf8Lenient("\xF8\x88\x80\x80\x80"), std::u16string(1, 0x0000));  // 0x200000, low 16 bits
}

// Long ASCII runs are widened in blocks: what follows a run decodes the same
// wherever the block edges fall.
TEST(Utf8Lenient, LongAsciiRunsAroundOtherSequences) {
  for (size_t n = 0; n < 40; ++n) {
    const std::string run(n, 'a');
    const std::u16string wide(n, u'a');
    EXPECT_EQ(DecodeUtf8Lenient(run + "\xE4\xB8\xAD" + run), wide + u"\u4E2D" + wide) << n;
    EXPECT_EQ(DecodeUtf8Lenient(run + "\xF0\x9F\x98\x80" + run + "b"), wide + u"\U0001F600" + wide + u"b")
        << n;
    EXPECT_EQ(DecodeUtf8Lenient(run + "\x80" + run), wide) << n;
    EXPECT_EQ(DecodeUtf8Lenient(run + "\xC3"), wide) << n;
  }
}

TEST(Utf8Lenient, EncodesPairsAsOneSequenceAndRoundTrips) {
  EXPECT_EQ(EncodeUtf8Lenient(u"\u4E2D"), "\xE4\xB8\xAD");
  EXPECT_EQ(EncodeUtf8Lenient(u"A\u00E9\U0001F600"), "A\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(EncodeUtf8Lenient(std::u16string(1, 0xD800)), "\xED\xA0\x80");
  const std::u16string mixed = u"\U00020BB7\u9AD8 \U0001F44D";
  EXPECT_EQ(DecodeUtf8Lenient(EncodeUtf8Lenient(mixed)), mixed);
}

TEST_F(CexmlTest, TraverseVisitsParentsBeforeChildrenInDocumentOrder) {
  RecordingXml xml;
  ASSERT_EQ(xml.LoadFile(Write("t.xml", "<r><a>one<b/></a><c><![CDATA[x<y]]></c><d><e>in</e>after</d></r>"), true), 1);
  EXPECT_EQ(xml.visits, (std::vector<std::string>{"->r:", "r>a:one", "a>b:", "r>c:x<y", "r>d:",
                                                  "d>e:in"}));
}

TEST_F(CexmlTest, AttributesComeDecodedWholeInDocumentOrder) {
  RecordingXml xml;
  ASSERT_EQ(xml.LoadFile(Write("a.xml", "<o z=\"1\" text=\"a, b: &quot;c&quot; &amp; &#x4E2D;\" a=\"\"/>"), false), 1);
  const auto attributes = xml.Attributes(xml.Document()->RootElement());
  ASSERT_EQ(attributes.size(), 3u);
  EXPECT_EQ(attributes[0], std::make_pair(std::u16string(u"z"), std::u16string(u"1")));
  EXPECT_EQ(attributes[1].second, u"a, b: \"c\" & \u4E2D");
  EXPECT_EQ(attributes[2].second, u"");
  EXPECT_EQ(xml.Attribute(xml.Document()->RootElement(), "missing"), std::nullopt);
}

TEST_F(CexmlTest, BadInputFailsCleanlyAndLeavesAnEmptyDocument) {
  testsupport::TempDir traceDir;
  testsupport::ScopedEnv trace("WRENLY_TRACE", traceDir.path() + "/trace.txt");
  ReloadTraceSetting();
  const std::string deep = std::string(5000, '<') + "a";  // nesting attack, truncated
  std::string nested;
  for (int i = 0; i < 200; ++i) nested += "<a>";
  for (int i = 0; i < 200; ++i) nested += "</a>";
  for (const std::string& bad : {std::string(), std::string("<a><b></a>"), std::string("<a x=\"1></a>"),
                                 std::string("<a>"), deep, nested, std::string("plain text")}) {
    RecordingXml xml;
    EXPECT_EQ(xml.LoadFile(Write("bad.xml", bad), true), 0) << bad.substr(0, 40);
    EXPECT_TRUE(xml.visits.empty());
    EXPECT_EQ(xml.Document()->RootElement(), nullptr);
    EXPECT_FALSE(xml.LastError().empty());
  }
  RecordingXml missing;
  EXPECT_EQ(missing.LoadFile(traceDir.path() + "/missing.xml", true), 0);
  EXPECT_EQ(missing.GetPath(), traceDir.path() + "/missing.xml");
  ReloadTraceSetting();
  EXPECT_NE(ReadFile(traceDir.path() + "/trace.txt").find("CEXML: Cannot load XML.\n"), std::string::npos);
}

TEST_F(CexmlTest, SavingKeepsTheBytesAndTheByteOrderMark) {
  RecordingXml xml;
  const std::string original = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<t n=\"\xD6\xD0\"/>\n";
  ASSERT_EQ(xml.LoadFile(Write("bom.xml", original), false), 1);
  xml.SetAttribute(xml.Document()->RootElement(), "m", u"\u6587");
  ASSERT_EQ(xml.SaveFile(), 1);
  EXPECT_EQ(ReadFile(xml.GetPath()),
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<t n=\"\xD6\xD0\" m=\"\xCE\xC4\"/>\n");

  RecordingXml built;
  built.SetPath(dir_.path() + "/built.xml");
  ASSERT_EQ(built.ParseText("<a><b>x</b></a>"), 1);
  ASSERT_EQ(built.SaveFile(), 1);
  EXPECT_EQ(ReadFile(built.GetPath()), "<a>\n    <b>x</b>\n</a>\n");
  built.SetPath(dir_.path() + "/no/such/folder/x.xml");
  EXPECT_EQ(built.SaveFile(), 0);
  EXPECT_FALSE(built.LastError().empty());
}

}  // namespace
}  // namespace wrenly
