#include "fetcher/html_page_bytes.h"

#include <gtest/gtest.h>

#include <string>

namespace wrenly {
namespace {

using namespace std::string_literals;

TEST(HtmlPageBytesTest, OnlyHtmlDocumentsCountAsPages) {
  EXPECT_TRUE(LooksLikeHtml("<!DOCTYPE html><html><body><p>Hi</p></body></html>"));
  EXPECT_TRUE(LooksLikeHtml("\xEF\xBB\xBF<html><p>Hi</p>"));
  EXPECT_TRUE(LooksLikeHtml("\xFF\xFE<\0p\0>\0H\0i\0"s));
  EXPECT_FALSE(LooksLikeHtml("%PDF-1.7\n<< /Type /Catalog >> <p>"));
  EXPECT_FALSE(LooksLikeHtml("\x89PNG\r\n\x1A\n\0\0\0\rIHDR"s));
  EXPECT_FALSE(LooksLikeHtml("\xFF\xD8\xFF\xE0\0\x10JFIF"s));
  EXPECT_FALSE(LooksLikeHtml("GIF89a\x01\0\x01\0"s));
  // Binary data with markup-like bytes in it is still binary.
  EXPECT_FALSE(LooksLikeHtml("\x01\x02\x03<html><body>"));
  EXPECT_FALSE(LooksLikeHtml("Just plain text, no markup at all."));
  EXPECT_FALSE(LooksLikeHtml(""));
}

TEST(HtmlPageBytesTest, TextComesOutAsUtf8) {
  EXPECT_EQ(HtmlPageToUtf8("\xEF\xBB\xBF<p>caf\xC3\xA9</p>"), "<p>caf\xC3\xA9</p>");
  EXPECT_EQ(HtmlPageToUtf8("\xFF\xFE<\0\xE9\0"s), "<\xC3\xA9");
  EXPECT_EQ(HtmlPageToUtf8("\xFE\xFF\0<\0\xE9"s), "<\xC3\xA9");
  // Valid UTF-8 wins over a declaration that says otherwise.
  EXPECT_EQ(HtmlPageToUtf8("<meta charset=\"gb2312\"><p>caf\xC3\xA9</p>"), "<meta charset=\"gb2312\"><p>caf\xC3\xA9</p>");
  // Otherwise the declared charset decodes, in either form of <meta>.
  EXPECT_EQ(HtmlPageToUtf8("<meta charset=iso-8859-1><p>caf\xE9</p>"), "<meta charset=iso-8859-1><p>caf\xC3\xA9</p>");
  EXPECT_EQ(HtmlPageToUtf8("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\xE4"),
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\xD0\xB4");
  // Without a declaration, windows-1252.
  EXPECT_EQ(HtmlPageToUtf8("<p>\x93quoted\x94</p>"), "<p>\xE2\x80\x9Cquoted\xE2\x80\x9D</p>");
}

}  // namespace
}  // namespace wrenly
