// Writes an extracted article as plain HTML: headings, paragraphs, lists,
// quotes, code, tables, figures, pictures and links, with absolute link and
// picture addresses and no classes, styles or scripts. Each picture is
// written as <img src="ADDRESS" alt="..."> with the address unescaped, so
// the picture scan after a full-text run reads exactly the address to fetch.
// Pure function of the tree; safe for concurrent use on different trees.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "fetcher/html_tree.h"

namespace wrenly {

// The article made of parts (in order), addresses resolved against base.
std::string WriteArticle(const std::vector<HtmlNode*>& parts, std::string_view base);

// The number of characters of text an article has outside links (white
// space runs count once).
std::uint32_t ArticleTextLength(const std::vector<HtmlNode*>& parts);

}  // namespace wrenly
