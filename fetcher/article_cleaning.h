// Cleans the chosen parts of an article: share widgets, headings that only
// repeat the page title or carry furniture names, blocks that look like
// furniture (mostly links, pictures without text, short lists of links, form
// remains) and empty paragraphs go. Data tables, figures and lists of text
// stay. The parts themselves are never removed.
// REQUIRES: external synchronization (works on one tree).
#pragma once

#include <string_view>
#include <vector>

#include "fetcher/extraction_rules.h"
#include "fetcher/html_tree.h"

namespace wrenly {

void CleanArticle(const std::vector<HtmlNode*>& parts, const ExtractionRules& rules, std::string_view title);

}  // namespace wrenly
