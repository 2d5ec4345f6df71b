#include "fetcher/article_extractor.h"

#include "fetcher/article_cleaning.h"
#include "fetcher/article_preparation.h"
#include "fetcher/article_scoring.h"
#include "fetcher/article_writer.h"
#include "fetcher/html_tree.h"
#include "fetcher/script_bodies.h"
#include "net/web_address.h"

namespace wrenly {
namespace {

struct Attempt {
  std::string html;
  std::uint32_t length = 0;
};

Attempt Extract(HtmlTree& tree, const ExtractionRules& rules, const std::string& title, const std::string& base) {
  PrepareBody(tree, rules);
  const std::vector<HtmlNode*> parts = SelectArticle(tree, rules);
  CleanArticle(parts, rules, title);
  return {WriteArticle(parts, base), ArticleTextLength(parts)};
}

// The rules of each attempt, strictest first.
constexpr ExtractionRules kAttempts[] = {
    {true, true, true}, {false, true, true}, {false, false, true}, {false, false, false}};

}  // namespace

ArticleExtraction ExtractArticle(std::string_view page, std::string_view pageUrl) {
  HtmlTree tree(WithoutScriptBodies(page));
  if (!tree.parsed()) return {{}, true};
  const std::string title = tree.Title();
  const std::string baseHref = tree.BaseHref();
  std::string base = baseHref.empty() ? std::string(pageUrl) : ResolveWebAddress(pageUrl, baseHref);
  if (base.empty()) base = pageUrl;
  Attempt best;
  bool first = true;
  for (const ExtractionRules& rules : kAttempts) {
    if (!first) tree.Rebuild();
    first = false;
    Attempt attempt = Extract(tree, rules, title, base);
    if (attempt.length > best.length) best = std::move(attempt);
    if (best.length >= kRetryBelowChars) break;
  }
  if (best.length < kMinArticleChars) return {};
  return {std::move(best.html)};
}

}  // namespace wrenly
