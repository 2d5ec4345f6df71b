#include "fetcher/article_scoring.h"

#include <algorithm>

#include "fetcher/class_hints.h"

namespace wrenly {
namespace {

constexpr std::uint32_t kMinParagraphChars = 25;
constexpr int kAncestorLevels = 5;
constexpr size_t kTopCandidates = 5;
// Share of the best score that other candidates need to count as rivals.
constexpr double kRivalShare = 0.75;
constexpr int kMinRivalsForCommonAncestor = 3;

double TagScore(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_DIV: case GUMBO_TAG_ARTICLE: case GUMBO_TAG_MAIN:
      return 5;
    case GUMBO_TAG_PRE: case GUMBO_TAG_TD: case GUMBO_TAG_BLOCKQUOTE: case GUMBO_TAG_SECTION:
      return 3;
    case GUMBO_TAG_ADDRESS: case GUMBO_TAG_OL: case GUMBO_TAG_UL: case GUMBO_TAG_DL: case GUMBO_TAG_DD:
    case GUMBO_TAG_DT: case GUMBO_TAG_LI: case GUMBO_TAG_FORM:
      return -3;
    case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3: case GUMBO_TAG_H4: case GUMBO_TAG_H5:
    case GUMBO_TAG_H6: case GUMBO_TAG_TH:
      return -5;
    default:
      return 0;
  }
}

bool IsScoredBlock(const HtmlNode* node) {
  switch (node->tag) {
    case GUMBO_TAG_P: case GUMBO_TAG_PRE: case GUMBO_TAG_TD: case GUMBO_TAG_H2: case GUMBO_TAG_H3:
    case GUMBO_TAG_H4: case GUMBO_TAG_H5: case GUMBO_TAG_H6:
      return true;
    default:
      return false;
  }
}

bool HasParagraphInside(const HtmlNode* node) {
  std::vector<const HtmlNode*> stack{node};
  while (!stack.empty()) {
    const HtmlNode* current = stack.back();
    stack.pop_back();
    if (current != node && (current->Is(GUMBO_TAG_P) || current->Is(GUMBO_TAG_PRE))) return true;
    for (const HtmlNode* child : current->Children()) stack.push_back(child);
  }
  return false;
}

// The blocks whose text is scored, in page order. A table cell that holds
// paragraphs is not one itself: its paragraphs score.
std::vector<HtmlNode*> ScoredBlocks(HtmlNode* body) {
  std::vector<HtmlNode*> blocks;
  std::vector<HtmlNode*> stack{body};
  while (!stack.empty()) {
    HtmlNode* node = stack.back();
    stack.pop_back();
    if (node->isText) continue;
    if (IsScoredBlock(node) && node->chars >= kMinParagraphChars &&
        !(node->Is(GUMBO_TAG_TD) && HasParagraphInside(node))) {
      blocks.push_back(node);
      if (!node->Is(GUMBO_TAG_TD)) continue;
    }
    for (size_t i = node->Children().size(); i-- > 0;) stack.push_back(node->Children()[i]);
  }
  return blocks;
}

// Scores every ancestor of the scored blocks; returns them in the order they
// were first reached.
std::vector<HtmlNode*> ScoreCandidates(HtmlNode* body, const ExtractionRules& rules) {
  std::vector<HtmlNode*> candidates;
  for (HtmlNode* block : ScoredBlocks(body)) {
    const double score = ParagraphScore(block);
    HtmlNode* ancestor = block->parent;
    for (int level = 0; level < kAncestorLevels && ancestor != nullptr && !ancestor->Is(GUMBO_TAG_HTML);
         ++level, ancestor = ancestor->parent) {
      if (!ancestor->scored) {
        ancestor->scored = true;
        ancestor->score = TagScore(ancestor->tag) + (rules.weighClasses ? ClassWeight(ancestor) : 0);
        candidates.push_back(ancestor);
      }
      const double divider = level == 0 ? 1 : level == 1 ? 2 : level * 3;
      ancestor->score += score / divider;
    }
  }
  for (HtmlNode* candidate : candidates) candidate->score *= 1 - candidate->LinkDensity();
  return candidates;
}

bool IsAncestor(const HtmlNode* ancestor, const HtmlNode* node) {
  for (const HtmlNode* n = node->parent; n != nullptr; n = n->parent)
    if (n == ancestor) return true;
  return false;
}

// When several strong candidates sit in one container (an article split
// into sections), that container is the article.
HtmlNode* CommonContainer(HtmlNode* top, const std::vector<HtmlNode*>& ranked, HtmlNode* body) {
  std::vector<HtmlNode*> rivals;
  for (HtmlNode* candidate : ranked)
    if (candidate != top && candidate->score >= top->score * kRivalShare) rivals.push_back(candidate);
  if (static_cast<int>(rivals.size()) < kMinRivalsForCommonAncestor) return top;
  for (HtmlNode* parent = top->parent; parent != nullptr && parent != body; parent = parent->parent) {
    const auto holds = std::count_if(rivals.begin(), rivals.end(), [&](HtmlNode* r) { return IsAncestor(parent, r); });
    if (holds >= kMinRivalsForCommonAncestor) return parent;
  }
  return top;
}

// Climbs to a parent that scores better than the way up to it, so that an
// article whose paragraphs are spread over several blocks is taken whole.
HtmlNode* ClimbToBetterParent(HtmlNode* top, HtmlNode* body) {
  double last = top->score;
  const double floor = last / 3;
  for (HtmlNode* parent = top->parent; parent != nullptr && parent != body; parent = parent->parent) {
    if (!parent->scored) continue;
    if (parent->score < floor) break;
    if (parent->score > last) return parent;
    last = parent->score;
  }
  return top;
}

// A container that is the only element of its parent is no different from
// the parent; climbing lets siblings of the parent join.
HtmlNode* ClimbSingleChildParents(HtmlNode* top, HtmlNode* body) {
  while (top->parent != nullptr && top->parent != body) {
    const auto elements = std::count_if(top->parent->Children().begin(), top->parent->Children().end(),
                                        [](const HtmlNode* c) { return !c->isText; });
    if (elements != 1) break;
    top = top->parent;
  }
  return top;
}

bool EndsSentence(const std::string& text) {
  return text.find(". ") != std::string::npos || text.ends_with(".") ||
         text.find("\xE3\x80\x82") != std::string::npos;  // the ideographic full stop
}

bool SameClass(const HtmlNode* a, const HtmlNode* b) {
  const char* x = a->Attribute("class");
  const char* y = b->Attribute("class");
  return x != nullptr && y != nullptr && *x != '\0' && std::string_view(x) == y;
}

// The best score in a subtree: a sibling that was too far above its
// paragraphs to be scored itself still holds their containers. Counted only
// for siblings of the top candidate's own class: the article continued
// after a picture or an advertisement, in a block built the same way.
double BestScoreWithin(const HtmlNode* node) {
  double best = node->scored ? node->score : 0;
  std::vector<const HtmlNode*> stack(node->Children().begin(), node->Children().end());
  while (!stack.empty()) {
    const HtmlNode* current = stack.back();
    stack.pop_back();
    if (current->isText) continue;
    if (current->scored) best = std::max(best, current->score);
    for (const HtmlNode* child : current->Children()) stack.push_back(child);
  }
  return best;
}

// The top candidate and the siblings that belong to the article: those that
// score near it, and paragraphs that read like text rather than links.
std::vector<HtmlNode*> WithSiblings(HtmlNode* top, double topScore) {
  if (top->parent == nullptr) return {top};
  const double threshold = std::max(10.0, topScore * 0.2);
  std::vector<HtmlNode*> parts;
  for (HtmlNode* sibling : top->parent->Children()) {
    if (sibling->isText) continue;
    bool belongs = sibling == top;
    if (!belongs) {
      const bool sameClass = SameClass(sibling, top);
      const double score = sameClass ? BestScoreWithin(sibling) + topScore * 0.2 : sibling->scored ? sibling->score : 0;
      belongs = score >= threshold;
    }
    if (!belongs && sibling->Is(GUMBO_TAG_P)) {
      const double density = sibling->LinkDensity();
      if (sibling->chars > 80) {
        belongs = density < 0.25;
      } else if (sibling->chars > 0 && density == 0) {
        belongs = EndsSentence(HtmlTree::TextOf(sibling));
      }
    }
    if (belongs) parts.push_back(sibling);
  }
  return parts;
}

}  // namespace

double ParagraphScore(const HtmlNode* paragraph) {
  return 1 + paragraph->commas + std::min(paragraph->chars / 100, 3u);
}

std::vector<HtmlNode*> SelectArticle(HtmlTree& tree, const ExtractionRules& rules) {
  HtmlNode* body = tree.body();
  std::vector<HtmlNode*> ranked = ScoreCandidates(body, rules);
  const auto byScore = [](const HtmlNode* a, const HtmlNode* b) { return a->score > b->score; };
  const size_t kept = std::min(ranked.size(), kTopCandidates);
  std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(kept), ranked.end(), byScore);
  ranked.resize(kept);
  if (ranked.empty() || ranked.front() == body) return {body};
  HtmlNode* top = CommonContainer(ranked.front(), ranked, body);
  top = ClimbToBetterParent(top, body);
  const double topScore = top->scored ? top->score : ranked.front()->score;
  top = ClimbSingleChildParents(top, body);
  return WithSiblings(top, topScore);
}

}  // namespace wrenly
