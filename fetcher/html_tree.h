// A web page as a tree that article extraction may change: the HTML5 parse of
// gumbo copied into nodes that can be retagged, detached and measured. Text
// and attribute values point into the gumbo output and the page text, which
// the tree owns. A page nested too deeply is flattened before the parse, and
// a parse that needs far more memory than its page is abandoned: hostile
// pages cost the parser time and memory out of all proportion to their size.
// REQUIRES: external synchronization (one extraction on one thread).
#pragma once

#include <gumbo.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace wrenly {

class ParseMemory;

struct HtmlNode {
  bool isText = false;
  GumboTag tag = GUMBO_TAG_UNKNOWN;  // the tag the node is written as
  const GumboNode* source = nullptr;  // its element in the parse (attributes)
  std::string_view text;              // a text node's text
  HtmlNode* parent = nullptr;

  // Measures of the text below the node (see HtmlTree::Measure).
  std::uint32_t chars = 0;      // characters, white space runs counted once
  std::uint32_t linkChars = 0;  // of those, inside links
  std::uint32_t commas = 0;     // commas and their CJK forms
  // Scoring state of article extraction.
  double score = 0;
  bool scored = false;
  std::string imageSource;  // an image's address once its lazy forms are resolved

  bool Is(GumboTag t) const { return !isText && tag == t; }
  // The node's attribute value, or nullptr.
  const char* Attribute(const char* name) const;
  double LinkDensity() const { return chars == 0 ? 0.0 : static_cast<double>(linkChars) / chars; }
  // The children in order. Detach and Unwrap only mark what they change,
  // so that taking many children out of one parent costs no more than one
  // pass over its list, made here on the next look at it.
  const std::vector<HtmlNode*>& Children() const {
    if (stale_) Compact();
    return children_;
  }

 private:
  friend class HtmlTree;
  void Compact() const;

  mutable std::vector<HtmlNode*> children_;  // may still hold nodes taken out
  mutable bool stale_ = false;               // children_ holds nodes taken out
  const HtmlNode* unwrappedFrom_ = nullptr;  // the parent it was replaced in by its children
};

class HtmlTree {
 public:
  // Parses UTF-8 text. The tree always has a body (gumbo makes one), empty
  // when the parse was abandoned.
  explicit HtmlTree(std::string utf8);
  ~HtmlTree();
  HtmlTree(const HtmlTree&) = delete;
  HtmlTree& operator=(const HtmlTree&) = delete;

  // Copies the parse anew, undoing every change made to the tree.
  void Rebuild();

  // False when the page was too costly to parse.
  bool parsed() const { return output_ != nullptr; }
  HtmlNode* body() const { return body_; }
  HtmlNode* root() const { return root_; }
  // The text of the document's <title>, white space collapsed.
  std::string Title() const;
  // The href of the first <base>, or "".
  std::string BaseHref() const;

  // A new element node (no source), not yet in the tree.
  HtmlNode* NewElement(GumboTag tag);
  // Takes node out of its parent; it and its subtree are no longer visited.
  static void Detach(HtmlNode* node);
  // Puts node after parent's last child (taking it out of its old place).
  static void Append(HtmlNode* parent, HtmlNode* node);
  // Empties parent's list of children and returns it; the children have no
  // parent until they are appended again.
  static std::vector<HtmlNode*> TakeChildren(HtmlNode* parent);
  // Replaces node by its children.
  static void Unwrap(HtmlNode* node);
  // Fills chars, linkChars and commas of every node below and including node.
  static void Measure(HtmlNode* node);
  // The node's text with white space collapsed (for short texts: headings, titles).
  static std::string TextOf(const HtmlNode* node);

 private:
  HtmlNode* Copy(const GumboNode* source, HtmlNode* parent);

  std::string page_;  // the parse's tag names point into it
  std::unique_ptr<ParseMemory> memory_;  // every block of the parse
  GumboOutput* output_ = nullptr;        // nullptr: the parse was abandoned
  std::deque<HtmlNode> nodes_;
  HtmlNode* root_ = nullptr;
  HtmlNode* body_ = nullptr;
  const GumboNode* head_ = nullptr;
};

// The lower-case name of an element's tag ("div"), also for tags gumbo does not know.
std::string TagName(const HtmlNode* node);

// True for characters that are written without spaces between words (CJK).
bool IsCjk(char32_t c);

}  // namespace wrenly
