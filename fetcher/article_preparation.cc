#include "fetcher/article_preparation.h"

#include <unordered_map>
#include <unordered_set>

#include "fetcher/article_images.h"
#include "fetcher/class_hints.h"

namespace wrenly {
namespace {

// Elements that are never part of an article's text.
bool IsAlwaysDropped(const HtmlNode* node) {
  switch (node->tag) {
    case GUMBO_TAG_SCRIPT: case GUMBO_TAG_STYLE: case GUMBO_TAG_TEMPLATE: case GUMBO_TAG_LINK:
    case GUMBO_TAG_META: case GUMBO_TAG_IFRAME: case GUMBO_TAG_OBJECT: case GUMBO_TAG_EMBED:
    case GUMBO_TAG_APPLET: case GUMBO_TAG_CANVAS: case GUMBO_TAG_AUDIO: case GUMBO_TAG_VIDEO:
    case GUMBO_TAG_SOURCE: case GUMBO_TAG_TRACK: case GUMBO_TAG_SVG: case GUMBO_TAG_MAP:
    case GUMBO_TAG_INPUT: case GUMBO_TAG_BUTTON: case GUMBO_TAG_SELECT: case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_OPTION: case GUMBO_TAG_DATALIST: case GUMBO_TAG_NAV: case GUMBO_TAG_MENU:
    case GUMBO_TAG_FRAME: case GUMBO_TAG_FRAMESET: case GUMBO_TAG_NOEMBED: case GUMBO_TAG_KEYGEN:
    case GUMBO_TAG_PARAM: case GUMBO_TAG_LABEL:
      return true;
    case GUMBO_TAG_UNKNOWN: {
      const std::string name = TagName(node);
      return name == "dialog" || name == "picture-source" || name == "amp-ad" || name == "amp-analytics";
    }
    default:
      return false;
  }
}

// Elements that stay whatever their class says: the page frame and the
// elements that hold an article by their very name.
bool IsProtected(const HtmlNode* node) {
  switch (node->tag) {
    case GUMBO_TAG_HTML: case GUMBO_TAG_BODY: case GUMBO_TAG_ARTICLE: case GUMBO_TAG_MAIN: case GUMBO_TAG_A:
    case GUMBO_TAG_TABLE: case GUMBO_TAG_TBODY: case GUMBO_TAG_TR: case GUMBO_TAG_TD: case GUMBO_TAG_TH:
      return true;
    default:
      return false;
  }
}

bool IsText(const HtmlNode* node) {
  if (!node->isText) return false;
  for (char c : node->text)
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f') return true;
  return false;
}

// The one <img> of a subtree with no text, or nullptr.
HtmlNode* LoneImage(HtmlNode* node) {
  HtmlNode* found = nullptr;
  std::vector<HtmlNode*> stack{node};
  while (!stack.empty()) {
    HtmlNode* current = stack.back();
    stack.pop_back();
    if (IsText(current)) return nullptr;
    if (current->Is(GUMBO_TAG_IMG)) {
      if (found != nullptr) return nullptr;
      found = current;
    }
    for (HtmlNode* child : current->Children()) stack.push_back(child);
  }
  return found;
}

// The element before each <noscript> among its siblings (nullptr when text
// stands between them), found in one pass over each parent's children.
std::unordered_map<const HtmlNode*, HtmlNode*> PreviousElements(const std::vector<HtmlNode*>& noscripts) {
  std::unordered_map<const HtmlNode*, HtmlNode*> previousOf;
  std::unordered_set<const HtmlNode*> parents;
  for (const HtmlNode* noscript : noscripts) {
    if (!parents.insert(noscript->parent).second) continue;
    HtmlNode* previous = nullptr;
    for (HtmlNode* sibling : noscript->parent->Children()) {
      if (sibling->Is(GUMBO_TAG_NOSCRIPT)) previousOf[sibling] = previous;
      if (!sibling->isText) previous = sibling;
      else if (IsText(sibling)) previous = nullptr;
    }
  }
  return previousOf;
}

// A <noscript> that holds the real picture of a lazy one just before it
// gives that picture to the placeholder; one that stands alone with a
// picture shows it. Either way the <noscript> itself goes.
void TakeNoscriptImage(HtmlNode* noscript, HtmlNode* previous) {
  HtmlNode* real = LoneImage(noscript);
  if (real == nullptr) {
    HtmlTree::Detach(noscript);
    return;
  }
  HtmlNode* placeholder = previous != nullptr ? LoneImage(previous) : nullptr;
  if (placeholder != nullptr) {
    placeholder->source = real->source;
    placeholder->imageSource = real->imageSource;
    HtmlTree::Detach(noscript);
  } else {
    HtmlTree::Unwrap(noscript);
  }
}

// Removes what cannot belong to an article, walking the body once.
void DropFurniture(HtmlTree& tree, const ExtractionRules& rules) {
  struct Visit {
    HtmlNode* node;
    bool guarded;  // inside a table or code, where class names say little
  };
  std::vector<Visit> stack;
  for (size_t i = tree.body()->Children().size(); i-- > 0;) stack.push_back({tree.body()->Children()[i], false});
  // Noscript contents are looked at after the walk, once the placeholders are known.
  std::vector<HtmlNode*> noscripts;
  while (!stack.empty()) {
    const Visit visit = stack.back();
    stack.pop_back();
    HtmlNode* node = visit.node;
    if (node->isText || node->parent == nullptr) continue;
    if (node->Is(GUMBO_TAG_NOSCRIPT)) {
      noscripts.push_back(node);
      continue;
    }
    const bool furniture = rules.stripUnlikely && !visit.guarded && !IsProtected(node) &&
                           (IsUnlikelyCandidate(node) || node->tag == GUMBO_TAG_ASIDE || node->tag == GUMBO_TAG_FOOTER);
    if (IsAlwaysDropped(node) || IsHidden(node) || furniture) {
      HtmlTree::Detach(node);
      continue;
    }
    const bool guarded = visit.guarded || node->tag == GUMBO_TAG_TABLE || node->tag == GUMBO_TAG_PRE ||
                         node->tag == GUMBO_TAG_CODE;
    for (size_t i = node->Children().size(); i-- > 0;) stack.push_back({node->Children()[i], guarded});
  }
  // Taken from the last: a <noscript> only changes what comes after its place.
  const auto previousOf = PreviousElements(noscripts);
  for (auto it = noscripts.rbegin(); it != noscripts.rend(); ++it) TakeNoscriptImage(*it, previousOf.at(*it));
}

void ResolveImages(HtmlNode* body) {
  std::vector<HtmlNode*> stack{body};
  while (!stack.empty()) {
    HtmlNode* node = stack.back();
    stack.pop_back();
    if (node->Is(GUMBO_TAG_IMG)) {
      node->imageSource = ImageSource(node);
      if (node->imageSource.empty()) HtmlTree::Detach(node);
      continue;
    }
    for (size_t i = node->Children().size(); i-- > 0;) stack.push_back(node->Children()[i]);
  }
}

// Which nodes hold a block element somewhere below them.
std::unordered_set<const HtmlNode*> NodesWithBlocks(HtmlNode* body) {
  std::unordered_set<const HtmlNode*> withBlocks;
  std::vector<std::pair<HtmlNode*, bool>> stack{{body, false}};
  while (!stack.empty()) {
    auto [node, childrenDone] = stack.back();
    stack.pop_back();
    if (node->isText) continue;
    if (!childrenDone) {
      stack.push_back({node, true});
      for (HtmlNode* child : node->Children()) stack.push_back({child, false});
      continue;
    }
    for (const HtmlNode* child : node->Children()) {
      if (child->isText) continue;
      if (IsBlockTag(child->tag) || withBlocks.count(child) != 0) {
        withBlocks.insert(node);
        break;
      }
    }
  }
  return withBlocks;
}

bool IsBreak(const HtmlNode* node) { return node->Is(GUMBO_TAG_BR); }

// Wraps each run of loose text and inline elements among node's children in
// a new <p>. Two line breaks in a row end a run, as they end a paragraph on
// screen. Runs without text or pictures stay as they are.
void WrapLooseText(HtmlTree& tree, HtmlNode* node, const std::unordered_set<const HtmlNode*>& withBlocks) {
  const std::vector<HtmlNode*> children = HtmlTree::TakeChildren(node);
  std::vector<HtmlNode*> run;
  bool runHasContent = false;
  const auto flush = [&] {
    if (runHasContent) {
      HtmlNode* paragraph = tree.NewElement(GUMBO_TAG_P);
      for (HtmlNode* child : run) HtmlTree::Append(paragraph, child);
      HtmlTree::Append(node, paragraph);
    } else {
      for (HtmlNode* child : run) HtmlTree::Append(node, child);
    }
    run.clear();
    runHasContent = false;
  };
  for (size_t i = 0; i < children.size(); ++i) {
    HtmlNode* child = children[i];
    const bool inline_ = child->isText || (!IsBlockTag(child->tag) && withBlocks.count(child) == 0);
    if (!inline_) {
      flush();
      HtmlTree::Append(node, child);
      continue;
    }
    if (IsBreak(child)) {
      size_t next = i + 1;
      while (next < children.size() && children[next]->isText && !IsText(children[next])) ++next;
      if (next < children.size() && IsBreak(children[next])) {
        flush();
        HtmlTree::Append(node, child);
        continue;
      }
    }
    run.push_back(child);
    runHasContent = runHasContent || IsText(child) || (!child->isText && !child->Children().empty()) ||
                    child->Is(GUMBO_TAG_IMG);
  }
  flush();
}

bool HasDoubleBreak(const HtmlNode* node) {
  bool lastWasBreak = false;
  for (const HtmlNode* child : node->Children()) {
    if (child->isText && !IsText(child)) continue;
    if (IsBreak(child) && lastWasBreak) return true;
    lastWasBreak = IsBreak(child);
  }
  return false;
}

// A <div> with nothing but text and inline elements is a paragraph; one that
// mixes loose text with blocks gets its loose text wrapped in paragraphs.
void MakeParagraphs(HtmlTree& tree) {
  const std::unordered_set<const HtmlNode*> withBlocks = NodesWithBlocks(tree.body());
  std::vector<HtmlNode*> stack{tree.body()};
  while (!stack.empty()) {
    HtmlNode* node = stack.back();
    stack.pop_back();
    if (node->isText || node->Is(GUMBO_TAG_PRE) || node->Is(GUMBO_TAG_TABLE)) continue;
    const bool container = node->Is(GUMBO_TAG_DIV) || node->Is(GUMBO_TAG_SECTION) ||
                           node->Is(GUMBO_TAG_ARTICLE) || node->Is(GUMBO_TAG_MAIN);
    if (container) {
      if (node->Is(GUMBO_TAG_DIV) && withBlocks.count(node) == 0 && !HasDoubleBreak(node)) {
        node->tag = GUMBO_TAG_P;
      } else {
        WrapLooseText(tree, node, withBlocks);
      }
    }
    for (HtmlNode* child : node->Children()) stack.push_back(child);
  }
}

}  // namespace

bool IsBlockTag(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_ADDRESS: case GUMBO_TAG_ARTICLE: case GUMBO_TAG_ASIDE: case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_DL: case GUMBO_TAG_DIV: case GUMBO_TAG_FIGURE: case GUMBO_TAG_FOOTER: case GUMBO_TAG_FORM:
    case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3: case GUMBO_TAG_H4: case GUMBO_TAG_H5:
    case GUMBO_TAG_H6: case GUMBO_TAG_HEADER: case GUMBO_TAG_IMG: case GUMBO_TAG_MAIN: case GUMBO_TAG_OL:
    case GUMBO_TAG_P: case GUMBO_TAG_PRE: case GUMBO_TAG_SECTION: case GUMBO_TAG_TABLE: case GUMBO_TAG_UL:
    case GUMBO_TAG_HR: case GUMBO_TAG_LI: case GUMBO_TAG_DETAILS: case GUMBO_TAG_FIELDSET:
      return true;
    default:
      return false;
  }
}

void PrepareBody(HtmlTree& tree, const ExtractionRules& rules) {
  // Pictures first: a <picture>'s sources and a <noscript>'s picture go with
  // the furniture.
  ResolveImages(tree.body());
  DropFurniture(tree, rules);
  MakeParagraphs(tree);
  HtmlTree::Measure(tree.body());
}

}  // namespace wrenly
