// A cheap pass over a page's tags, before the HTML5 parse, that keeps its
// elements from nesting deeper than a limit: the parser's work per tag grows
// with the depth of its open elements, and a hostile page nested a hundred
// thousand deep would take minutes. Tags are followed with the parser's main
// closing rules (implied ends of paragraphs, list items, cells, headings,
// links; end tags that close nothing), so a real page's depth is estimated
// closely. Pure function; safe anywhere.
#pragma once

#include <cstddef>
#include <string>

namespace wrenly {

// Elements of an article are never nested deeper than this in practice.
constexpr size_t kMaxPageNesting = 192;

// The page with the start tags that would open an element deeper than
// maxDepth left out, together with the end tags that close nothing. A page
// that stays within the limit comes back unchanged; otherwise the text of
// the elements too deep joins the element at the limit.
std::string WithNestingLimit(std::string page, size_t maxDepth = kMaxPageNesting);

}  // namespace wrenly
