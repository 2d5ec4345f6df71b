// Finding the article in a prepared body. Every paragraph of some length
// scores by its length and commas; the score flows to its parent in full,
// to its grandparent in half and less to the ancestors above. Containers
// start from a score for their tag and their class and id hints, and lose
// the share of their text that sits in links. The best container wins,
// together with the siblings that score near it or read like paragraphs.
// REQUIRES: external synchronization (works on one tree).
#pragma once

#include <vector>

#include "fetcher/extraction_rules.h"
#include "fetcher/html_tree.h"

namespace wrenly {

// The nodes that make up the article, in page order; each is a child of the
// same parent. The body alone when no paragraph scored.
std::vector<HtmlNode*> SelectArticle(HtmlTree& tree, const ExtractionRules& rules);

// A paragraph's own score: 1, plus one per comma, plus one per 100
// characters (at most 3).
double ParagraphScore(const HtmlNode* paragraph);

}  // namespace wrenly
