#include "fetcher/html_tree.h"

#include <utility>

#include "fetcher/html_nesting.h"
#include "fetcher/parse_memory.h"

namespace wrenly {
namespace {

// Elements nested deeper than this are not copied; their contents join the
// element at this depth. Keeps every walk of the tree shallow on hostile pages.
constexpr int kMaxDepth = 256;

bool IsSpace(char32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == 0xA0; }

// Decodes one UTF-8 sequence at text[i] (lenient: a stray byte is itself).
char32_t NextCodePoint(std::string_view text, size_t& i) {
  const auto b = static_cast<unsigned char>(text[i++]);
  if (b < 0x80) return b;
  int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
  char32_t c = b & (0x3F >> extra);
  for (; extra > 0 && i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80; --extra)
    c = (c << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
  return c;
}

void MeasureText(HtmlNode* node) {
  std::uint32_t chars = 0, commas = 0;
  bool inSpace = false;
  for (size_t i = 0; i < node->text.size();) {
    const char32_t c = NextCodePoint(node->text, i);
    if (IsSpace(c)) {
      if (!inSpace) ++chars;
      inSpace = true;
      continue;
    }
    inSpace = false;
    ++chars;
    if (c == ',' || c == 0xFF0C || c == 0x3001 || c == 0xFE50) ++commas;
  }
  node->chars = chars;
  node->commas = commas;
  node->linkChars = 0;
}

}  // namespace

const char* HtmlNode::Attribute(const char* name) const {
  if (source == nullptr || source->type != GUMBO_NODE_ELEMENT) return nullptr;
  const GumboAttribute* attribute = gumbo_get_attribute(&source->v.element.attributes, name);
  return attribute != nullptr ? attribute->value : nullptr;
}

bool IsCjk(char32_t c) {
  return (c >= 0x3040 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x3000 && c <= 0x303F);
}

std::string TagName(const HtmlNode* node) {
  if (node->isText) return {};
  if (node->tag != GUMBO_TAG_UNKNOWN) return gumbo_normalized_tagname(node->tag);
  if (node->source == nullptr || node->source->type != GUMBO_NODE_ELEMENT) return {};
  GumboStringPiece piece = node->source->v.element.original_tag;
  gumbo_tag_from_original_text(&piece);
  std::string name(piece.data != nullptr ? std::string_view(piece.data, piece.length) : std::string_view());
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return name;
}

void HtmlNode::Compact() const {
  std::vector<HtmlNode*> kept;
  kept.reserve(children_.size());
  // An unwrapped child stands for its own children, which may be unwrapped in turn.
  std::vector<HtmlNode*> pending(children_.rbegin(), children_.rend());
  while (!pending.empty()) {
    HtmlNode* child = pending.back();
    pending.pop_back();
    if (child->parent == this) {
      kept.push_back(child);
    } else if (child->unwrappedFrom_ == this) {
      pending.insert(pending.end(), child->children_.rbegin(), child->children_.rend());
      child->children_.clear();
    }
  }
  children_ = std::move(kept);
  stale_ = false;
}

HtmlTree::HtmlTree(std::string utf8)
    : page_(WithNestingLimit(std::move(utf8))),
      memory_(std::make_unique<ParseMemory>(ParseBudgetFor(page_.size()), kParseCpuSeconds)) {
  output_ = memory_->Parse(page_);
  Rebuild();
}

void HtmlTree::Rebuild() {
  nodes_.clear();
  body_ = nullptr;
  root_ = output_ != nullptr ? Copy(output_->root, nullptr) : NewElement(GUMBO_TAG_HTML);
  for (HtmlNode* child : root_->children_)
    if (child->Is(GUMBO_TAG_BODY)) body_ = child;
  if (body_ == nullptr) {
    body_ = NewElement(GUMBO_TAG_BODY);
    Append(root_, body_);
  }
}

HtmlTree::~HtmlTree() = default;

HtmlNode* HtmlTree::NewElement(GumboTag tag) {
  HtmlNode& node = nodes_.emplace_back();
  node.tag = tag;
  return &node;
}

// Copies the parse below source without recursion. The head is not copied
// (only its title and base are read, from the parse).
HtmlNode* HtmlTree::Copy(const GumboNode* source, HtmlNode* parent) {
  struct Pending {
    const GumboNode* source;
    HtmlNode* parent;
    int depth;
  };
  HtmlNode* top = nullptr;
  std::vector<Pending> stack{{source, parent, 0}};
  while (!stack.empty()) {
    const Pending item = stack.back();
    stack.pop_back();
    const GumboNode* from = item.source;
    HtmlNode* into = item.parent;
    if (from->type == GUMBO_NODE_TEXT || from->type == GUMBO_NODE_WHITESPACE || from->type == GUMBO_NODE_CDATA) {
      HtmlNode& node = nodes_.emplace_back();
      node.isText = true;
      node.text = from->v.text.text;
      node.parent = into;
      if (into != nullptr) into->children_.push_back(&node);
      continue;
    }
    if (from->type != GUMBO_NODE_ELEMENT) continue;
    const GumboElement& element = from->v.element;
    if (element.tag == GUMBO_TAG_HEAD) {
      head_ = from;
      continue;
    }
    HtmlNode* node = into;
    if (item.depth < kMaxDepth || into == nullptr) {
      node = &nodes_.emplace_back();
      node->tag = element.tag;
      node->source = from;
      node->parent = into;
      if (into != nullptr) into->children_.push_back(node);
      if (top == nullptr) top = node;
    }
    // Children go on the stack last first, so they are copied in order.
    for (size_t i = element.children.length; i-- > 0;)
      stack.push_back({static_cast<const GumboNode*>(element.children.data[i]), node, item.depth + 1});
  }
  return top;
}

std::string HtmlTree::Title() const {
  if (head_ == nullptr) return {};
  const GumboVector& children = head_->v.element.children;
  for (size_t i = 0; i < children.length; ++i) {
    const auto* child = static_cast<const GumboNode*>(children.data[i]);
    if (child->type != GUMBO_NODE_ELEMENT || child->v.element.tag != GUMBO_TAG_TITLE) continue;
    std::string title;
    const GumboVector& parts = child->v.element.children;
    for (size_t j = 0; j < parts.length; ++j) {
      const auto* part = static_cast<const GumboNode*>(parts.data[j]);
      if (part->type == GUMBO_NODE_TEXT || part->type == GUMBO_NODE_WHITESPACE) title += part->v.text.text;
    }
    HtmlNode text;
    text.isText = true;
    text.text = title;
    return TextOf(&text);
  }
  return {};
}

std::string HtmlTree::BaseHref() const {
  if (head_ == nullptr) return {};
  const GumboVector& children = head_->v.element.children;
  for (size_t i = 0; i < children.length; ++i) {
    const auto* child = static_cast<const GumboNode*>(children.data[i]);
    if (child->type != GUMBO_NODE_ELEMENT || child->v.element.tag != GUMBO_TAG_BASE) continue;
    if (const GumboAttribute* href = gumbo_get_attribute(&child->v.element.attributes, "href")) return href->value;
  }
  return {};
}

void HtmlTree::Detach(HtmlNode* node) {
  HtmlNode* parent = node->parent;
  if (parent == nullptr) return;
  node->parent = nullptr;
  parent->stale_ = true;
}

void HtmlTree::Append(HtmlNode* parent, HtmlNode* node) {
  Detach(node);
  parent->Children();  // brings the list up to date before it grows
  node->parent = parent;
  node->unwrappedFrom_ = nullptr;
  parent->children_.push_back(node);
}

std::vector<HtmlNode*> HtmlTree::TakeChildren(HtmlNode* parent) {
  parent->Children();
  std::vector<HtmlNode*> children = std::exchange(parent->children_, {});
  for (HtmlNode* child : children) child->parent = nullptr;
  return children;
}

void HtmlTree::Unwrap(HtmlNode* node) {
  HtmlNode* parent = node->parent;
  if (parent == nullptr) return;
  for (HtmlNode* child : node->Children()) child->parent = parent;
  node->parent = nullptr;
  node->unwrappedFrom_ = parent;
  parent->stale_ = true;
}

void HtmlTree::Measure(HtmlNode* node) {
  // Post-order without recursion: a node is summed once its children are.
  std::vector<std::pair<HtmlNode*, bool>> stack{{node, false}};
  while (!stack.empty()) {
    auto [current, childrenDone] = stack.back();
    stack.pop_back();
    if (current->isText) {
      MeasureText(current);
      continue;
    }
    if (!childrenDone) {
      stack.push_back({current, true});
      for (HtmlNode* child : current->Children()) stack.push_back({child, false});
      continue;
    }
    current->chars = current->linkChars = current->commas = 0;
    for (const HtmlNode* child : current->Children()) {
      current->chars += child->chars;
      current->linkChars += child->linkChars;
      current->commas += child->commas;
    }
    if (current->tag == GUMBO_TAG_A) current->linkChars = current->chars;
  }
}

std::string HtmlTree::TextOf(const HtmlNode* node) {
  std::string text;
  std::vector<const HtmlNode*> stack{node};
  while (!stack.empty()) {
    const HtmlNode* current = stack.back();
    stack.pop_back();
    if (current->isText) {
      for (char c : current->text) {
        const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
        if (!space) {
          text += c;
        } else if (!text.empty() && text.back() != ' ') {
          text += ' ';
        }
      }
      continue;
    }
    for (size_t i = current->Children().size(); i-- > 0;) stack.push_back(current->Children()[i]);
  }
  if (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace wrenly
