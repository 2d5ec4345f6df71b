// Automatic article extraction: cuts the article out of a web page without a
// template, the way reader modes do (prepare, score, pick, clean, write; see
// the article_* files), and answers "" for a page that has no article.
// Any page ends in time proportional to its size: nesting is limited before
// the parse, and a page that still makes the parser run away is refused.
// Fetches nothing: pictures and links are only written as addresses.
// Pure function; safe for concurrent use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wrenly {

// An article shorter than this (in characters of text outside links) makes
// the extraction try again with fewer rules, keeping the longest result.
constexpr std::uint32_t kRetryBelowChars = 500;
// Less text than this outside links is no article.
constexpr std::uint32_t kMinArticleChars = 140;

struct ArticleExtraction {
  std::string html;      // the article (UTF-8); "" when the page holds none
  bool refused = false;  // the page is too costly to parse: it is built to defeat the parser
};

// page: the page's text in UTF-8. pageUrl: the address it came from, for
// relative addresses (a <base> in the page comes first).
ArticleExtraction ExtractArticle(std::string_view page, std::string_view pageUrl);

}  // namespace wrenly
