#include "store/html_entities.h"

#include <gtest/gtest.h>

namespace wrenly {
namespace {

TEST(HtmlEntities, NamedEntitiesRunInOrderBeforeNumericReferences) {
  EXPECT_EQ(UnescapeHtmlEntities(u"&lt;b&gt; &apos;q&apos; &quot;d&quot; a&amp;b"),
            u"<b> 'q' \"d\" a&b");
  // One pass per entity: an escaped ampersand before "lt;" ends as "&lt;".
  EXPECT_EQ(UnescapeHtmlEntities(u"&amp;lt;"), u"&lt;");
  // ...but the numeric step comes after, so an escaped "&#65;" is an A.
  EXPECT_EQ(UnescapeHtmlEntities(u"&amp;#65;"), u"A");
  EXPECT_EQ(UnescapeHtmlEntities(u"&#65;&#66; &#65;"), u"AB A");
}

TEST(HtmlEntities, OnlyPlainDecimalReferencesToRealCharacters) {
  EXPECT_EQ(UnescapeHtmlEntities(u"&#039; &#x41; &#+65; &#; &#0; &#55357; &#1114112;"),
            u"&#039; &#x41; &#+65; &#; &#0; &#55357; &#1114112;");
  EXPECT_EQ(UnescapeHtmlEntities(u"&#99999999999999999999;"), u"&#99999999999999999999;");
  EXPECT_EQ(UnescapeHtmlEntities(u"&#&#65;"), u"&#A");
  EXPECT_EQ(UnescapeHtmlEntities(u"&#65 no semicolon"), u"&#65 no semicolon");
  // Above U+FFFF: a surrogate pair.
  EXPECT_EQ(UnescapeHtmlEntities(u"&#128512;"), u"\U0001F600");
  EXPECT_EQ(UnescapeHtmlEntities(u"&#1114111;"), u"\U0010FFFF");
  EXPECT_EQ(UnescapeHtmlEntities(u"&#20013;&#38;"), u"\u4E2D&");
}

// Text between entities is moved in runs: entities at every offset in a
// long text, and text that has none, come out right.
TEST(HtmlEntities, EntitiesAtEveryOffsetOfALongText) {
  for (size_t n = 0; n < 40; ++n) {
    const std::u16string run(n, u'x');
    EXPECT_EQ(UnescapeHtmlEntities(run + u"&lt;" + run + u"&#65;" + run + u"&amp;"),
              run + u"<" + run + u"A" + run + u"&")
        << n;
    EXPECT_EQ(UnescapeHtmlEntities(run + u"&" + run), run + u"&" + run) << n;
    EXPECT_EQ(UnescapeHtmlEntities(run), run) << n;
  }
}

TEST(HtmlEntities, LargeTextsStayLinear) {
  std::u16string refs;
  for (int i = 0; i < 200000; ++i) refs += u"&#" + std::u16string(1, u'1' + i % 9) + u"0;";
  const std::u16string out = UnescapeHtmlEntities(refs);
  ASSERT_EQ(out.size(), 200000u);
  EXPECT_EQ(out[0], u'\n');  // &#10;
  const std::u16string noSemicolon(1000000, u'&');
  EXPECT_EQ(UnescapeHtmlEntities(u"&#" + noSemicolon), u"&#" + noSemicolon);
}

TEST(HtmlEntities, EscapeShowsTextAsWritten) {
  EXPECT_EQ(EscapeHtmlText(u"a < b && c > d"), u"a &lt; b &amp;&amp; c &gt; d");
  EXPECT_EQ(UnescapeHtmlEntities(EscapeHtmlText(u"x &lt; <y>")), u"x &lt; <y>");
}

}  // namespace
}  // namespace wrenly
