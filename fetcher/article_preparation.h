// Readies a page's body for article scoring: drops what a reader never sees
// or that cannot be part of an article (scripts, styles, form controls,
// hidden elements, navigation and, when the rules say so, the elements whose
// class or id names furniture), resolves lazy pictures, and turns blocks of
// loose text into paragraphs, so that text written without <p> scores too.
// REQUIRES: external synchronization (works on one tree).
#pragma once

#include "fetcher/extraction_rules.h"
#include "fetcher/html_tree.h"

namespace wrenly {

void PrepareBody(HtmlTree& tree, const ExtractionRules& rules);

// True for the elements that make a block of their own (a <div> holding none
// of them reads as a paragraph).
bool IsBlockTag(GumboTag tag);

}  // namespace wrenly
