#include "store/picture_addresses.h"

#include <gtest/gtest.h>

namespace wrenly {
namespace {

using Addresses = std::vector<std::u16string>;

TEST(PictureAddresses, ValueEndsInsideItsOwnTag) {
  EXPECT_EQ(PictureAddresses(u"<img src=\"a.png\">text more"), Addresses{u"a.png"});
  EXPECT_EQ(PictureAddresses(u"<img src='a b.png'>x"), Addresses{u"a b.png"});
  EXPECT_EQ(PictureAddresses(u"<img src=a.png>text more"), Addresses{u"a.png"});
  EXPECT_EQ(PictureAddresses(u"<img src=a.png\ralt=x>"), Addresses{u"a.png"});
  EXPECT_EQ(PictureAddresses(u"<IMG\n  SRC = \"b.gif\" width=1/>"), Addresses{u"b.gif"});
  EXPECT_EQ(PictureAddresses(u"<img alt=\"1 > 0\" src=\"c.png\">"), Addresses{u"c.png"});
  EXPECT_EQ(PictureAddresses(u"<img data-src=\"no.png\" src=\"yes.png\">"), Addresses{u"yes.png"});
}

TEST(PictureAddresses, TagsWithoutAnAddressAreSkipped) {
  EXPECT_EQ(PictureAddresses(u"<img alt=x> <p src=\"p.png\"> <image src=i.png>"
                             u" <img src=\"\"> <img src=\"d.png\"> <img src=d.png>"),
            (Addresses{u"d.png", u"d.png"}));
  EXPECT_EQ(PictureAddresses(u"<img src=\"unclosed.png>more text"), Addresses{});
  EXPECT_EQ(PictureAddresses(u"text <img"), Addresses{});
  EXPECT_EQ(PictureAddresses(u""), Addresses{});
}

TEST(PictureAddresses, ValuePositionIncludesTheQuotes) {
  const std::u16string html = u"x<img src='q.png'>";
  size_t pos = 0;
  PictureAddress found;
  ASSERT_TRUE(NextPictureAddress(html, pos, found));
  EXPECT_EQ(html.substr(found.valueBegin, found.valueEnd - found.valueBegin), u"'q.png'");
  EXPECT_EQ(pos, found.valueEnd);
  EXPECT_FALSE(NextPictureAddress(html, pos, found));
}

}  // namespace
}  // namespace wrenly
