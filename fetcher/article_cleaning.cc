#include "fetcher/article_cleaning.h"

#include <algorithm>
#include <string>

#include "fetcher/class_hints.h"

namespace wrenly {
namespace {

// A share widget with more text than this is taken for text about sharing.
constexpr std::uint32_t kMaxShareWidgetChars = 500;
// Blocks with at least this many commas are text, whatever else they hold.
constexpr std::uint32_t kCommasOfText = 10;

// Takes node out of the tree and its text out of its ancestors' measures.
void Remove(HtmlNode* node) {
  // Text inside a link counts as link text from the link upwards.
  std::uint32_t linkChars = node->linkChars;
  for (HtmlNode* ancestor = node->parent; ancestor != nullptr; ancestor = ancestor->parent) {
    if (ancestor->Is(GUMBO_TAG_A)) linkChars = node->chars;
    ancestor->chars -= node->chars;
    ancestor->linkChars -= std::min(ancestor->linkChars, linkChars);
    ancestor->commas -= node->commas;
  }
  HtmlTree::Detach(node);
}

// Pre-order list of the elements below root (root itself not included).
std::vector<HtmlNode*> Descendants(HtmlNode* root) {
  std::vector<HtmlNode*> found;
  std::vector<HtmlNode*> stack(root->Children().rbegin(), root->Children().rend());
  while (!stack.empty()) {
    HtmlNode* node = stack.back();
    stack.pop_back();
    if (node->isText) continue;
    found.push_back(node);
    for (size_t i = node->Children().size(); i-- > 0;) stack.push_back(node->Children()[i]);
  }
  return found;
}

// Still in the tree below one of the article's parts.
bool IsAttached(const HtmlNode* node, const HtmlNode* part) {
  for (const HtmlNode* n = node; n != nullptr; n = n->parent)
    if (n == part) return true;
  return false;
}

std::string Normalized(std::string_view text) {
  std::string result;
  for (char c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
    if (!space) result += c;
    else if (!result.empty() && result.back() != ' ') result += ' ';
  }
  while (!result.empty() && result.back() == ' ') result.pop_back();
  return result;
}

// The heading is the title, a part of it between separators ("Story - Site"),
// or a long enough piece of it.
bool RepeatsTitle(const HtmlNode* heading, const std::string& title) {
  if (title.empty()) return false;
  const std::string text = Normalized(HtmlTree::TextOf(heading));
  if (text.empty()) return false;
  if (text == title || (text.size() >= 15 && title.find(text) != std::string::npos)) return true;
  for (std::string_view separator : {" - ", " | ", " \xE2\x80\x93 ", " \xE2\x80\x94 ", " :: ", " \xC2\xBB "}) {
    for (size_t start = 0; start <= title.size();) {
      const size_t end = std::min(title.find(separator, start), title.size());
      if (title.compare(start, end - start, text) == 0 && end - start == text.size()) return true;
      start = end + separator.size();
    }
  }
  return false;
}

bool IsHeading(const HtmlNode* node) {
  return node->Is(GUMBO_TAG_H1) || node->Is(GUMBO_TAG_H2) || node->Is(GUMBO_TAG_H3);
}

struct Counts {
  int paragraphs = 0, images = 0, listItems = 0;
  std::uint32_t headingChars = 0, listChars = 0;
  bool hasCaption = false, hasHeaderCell = false;
  int rows = 0, columns = 0;
};

Counts CountInside(const HtmlNode* node) {
  Counts counts;
  std::vector<const HtmlNode*> stack(node->Children().begin(), node->Children().end());
  while (!stack.empty()) {
    const HtmlNode* current = stack.back();
    stack.pop_back();
    if (current->isText) continue;
    switch (current->tag) {
      case GUMBO_TAG_P: ++counts.paragraphs; break;
      case GUMBO_TAG_IMG: ++counts.images; break;
      case GUMBO_TAG_LI: ++counts.listItems; break;
      case GUMBO_TAG_UL: case GUMBO_TAG_OL: counts.listChars += current->chars; break;
      case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3: case GUMBO_TAG_H4: case GUMBO_TAG_H5:
      case GUMBO_TAG_H6: counts.headingChars += current->chars; break;
      case GUMBO_TAG_CAPTION: case GUMBO_TAG_THEAD: counts.hasCaption = true; break;
      case GUMBO_TAG_TH: counts.hasHeaderCell = true; break;
      case GUMBO_TAG_TR: {
        ++counts.rows;
        int cells = 0;
        for (const HtmlNode* cell : current->Children()) cells += cell->Is(GUMBO_TAG_TD) || cell->Is(GUMBO_TAG_TH);
        counts.columns = std::max(counts.columns, cells);
        break;
      }
      default: break;
    }
    for (const HtmlNode* child : current->Children()) stack.push_back(child);
  }
  return counts;
}

// A table that holds data rather than page layout: a caption or header
// cells, or a grid too large to be layout.
bool IsDataTable(const HtmlNode* table, const Counts& counts) {
  if (const char* role = table->Attribute("role"); role != nullptr && std::string_view(role) == "presentation")
    return false;
  if (counts.hasCaption || counts.hasHeaderCell || table->Attribute("summary") != nullptr) return true;
  return counts.rows >= 10 || counts.columns > 4 || (counts.rows > 1 && counts.columns > 2);
}

bool InsideFigure(const HtmlNode* node) {
  for (const HtmlNode* n = node->parent; n != nullptr; n = n->parent)
    if (n->Is(GUMBO_TAG_FIGURE)) return true;
  return false;
}

bool IsConditionallyCleaned(const HtmlNode* node) {
  switch (node->tag) {
    case GUMBO_TAG_FORM: case GUMBO_TAG_FIELDSET: case GUMBO_TAG_TABLE: case GUMBO_TAG_UL: case GUMBO_TAG_OL:
    case GUMBO_TAG_DIV: case GUMBO_TAG_SECTION: case GUMBO_TAG_HEADER: case GUMBO_TAG_ASIDE:
      return true;
    default:
      return false;
  }
}

// Whether a block looks like furniture rather than part of the text.
bool LooksLikeFurniture(const HtmlNode* node, const ExtractionRules& rules) {
  const int weight = rules.weighClasses ? ClassWeight(node) : 0;
  if (weight < 0) return true;
  if (node->commas >= kCommasOfText) return false;
  const Counts counts = CountInside(node);
  if (node->Is(GUMBO_TAG_TABLE) && IsDataTable(node, counts)) return false;
  const bool isList = node->Is(GUMBO_TAG_UL) || node->Is(GUMBO_TAG_OL) ||
                      (node->chars > 0 && counts.listChars > 0.9 * node->chars);
  const double linkDensity = node->LinkDensity();
  const double headingDensity = node->chars == 0 ? 0.0 : static_cast<double>(counts.headingChars) / node->chars;
  if (counts.images > 1 && counts.paragraphs * 2 < counts.images && !InsideFigure(node)) return true;
  if (!isList && counts.listItems - 100 > counts.paragraphs) return true;
  if (!isList && node->chars < 25 && (counts.images == 0 || counts.images > 2) && headingDensity < 0.9)
    return true;
  if (!isList && weight < 25 && linkDensity > 0.2) return true;
  return weight >= 25 && linkDensity > 0.5;
}

bool IsEmptyParagraph(const HtmlNode* node) {
  if (!node->Is(GUMBO_TAG_P) || node->chars > 1) return false;
  return CountInside(node).images == 0;
}

void CleanPart(HtmlNode* part, const ExtractionRules& rules, const std::string& title, bool& titleSeen) {
  for (HtmlNode* node : Descendants(part)) {
    if (!IsAttached(node, part)) continue;
    if (node->Is(GUMBO_TAG_FOOTER) || node->Is(GUMBO_TAG_ASIDE) || node->Is(GUMBO_TAG_NAV) ||
        (IsShareWidget(node) && node->chars < kMaxShareWidgetChars)) {
      Remove(node);
    } else if (IsHeading(node)) {
      const bool repeatsTitle = !titleSeen && RepeatsTitle(node, title);
      titleSeen = titleSeen || repeatsTitle;
      if (repeatsTitle || (rules.weighClasses && ClassWeight(node) < 0) || node->LinkDensity() > 0.33) Remove(node);
    }
  }
  if (rules.cleanConditionally) {
    // Inner blocks first, so that an outer one is judged on what stays in it.
    const std::vector<HtmlNode*> nodes = Descendants(part);
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it)
      if (IsConditionallyCleaned(*it) && IsAttached(*it, part) && LooksLikeFurniture(*it, rules)) Remove(*it);
  }
  for (HtmlNode* node : Descendants(part))
    if (IsAttached(node, part) && IsEmptyParagraph(node)) Remove(node);
}

}  // namespace

void CleanArticle(const std::vector<HtmlNode*>& parts, const ExtractionRules& rules, std::string_view title) {
  const std::string normalizedTitle = Normalized(title);
  bool titleSeen = false;
  for (HtmlNode* part : parts) CleanPart(part, rules, normalizedTitle, titleSeen);
}

}  // namespace wrenly
