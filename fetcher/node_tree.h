// The node tree: a small, forgiving tag scanner over a page's text and the
// text cuts made with it, which templates use to find an article in a page.
// Positions are UTF-16 code-unit indices of the page text, so they agree with
// JavaScript string indices. Stateless apart from the caller's NodeTreeState;
// safe for concurrent use when each thread has its own state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wrenly {

// The longest page text the node functions work on: a transfer hands back at
// most 64 MiB, which never decodes to more code units than it has bytes.
// Longer texts are refused (no tag found, empty results), which also keeps
// every position within int32_t.
inline constexpr std::size_t kMaxPageTextLength = std::size_t{64} * 1024 * 1024;

// The most characters of a tag name that the tree keeps (opening and closing
// tags alike; the "/" of a closing tag is not counted).
inline constexpr std::size_t kMaxTreeNameLength = 16;

// One element of the tree.
struct NodeRecord {
  int32_t id = 0;        // 1, 2, 3, ... in the order the opening tags were met
  std::u16string name;   // upper case, at most kMaxTreeNameLength characters
  int32_t start = -1;    // position of the opening tag's "<"
  int32_t end = -1;      // position of the closing tag's ">", -1 when none
  int32_t parent = -1;   // id of the enclosing element, -1 for none

  bool operator==(const NodeRecord&) const = default;
};

// The lists a build works with; all three are empty between builds.
struct NodeTreeState {
  std::vector<NodeRecord> open;       // opened and not yet closed; top at back
  std::vector<NodeRecord> setAside;   // taken off `open` during one closing-tag search
  std::vector<NodeRecord> completed;  // closed elements in order of closing
};

// The name of the next opening tag at or after `position`, as written in the
// text, with `position` moved to its "<". Closing tags, META tags and comments
// are passed over. Returns "" with `position` -1 when there is none. A
// negative position starts at the beginning of the text.
std::u16string FindNextTag(std::u16string_view text, int32_t& position);

// The serialised tree of the element that FindNextTag finds from `position`,
// when that tag's name is exactly `name` (case matters); "" otherwise.
// Records run from the last closed to the first closed, each written as
// "id,parent,NAME,start,end", joined with "|". `state` is used as scratch
// and left empty.
std::u16string BuildNodeTree(std::u16string_view text, std::u16string_view name,
                             int32_t position, NodeTreeState& state);
std::u16string BuildNodeTree(std::u16string_view text, std::u16string_view name,
                             int32_t position);

// The text from the "<" of the next opening tag at or after `start` up to
// `end` inclusive (cut at the end of the text); "" when there is no such tag
// or `end` lies before it.
std::u16string SliceFromTag(std::u16string_view text, int32_t start, int32_t end);

// The characters of the next opening tag at or after `start`, up to its ">"
// and no further than `end`, without any "<" or ">": for an anchor this is
// the name, a blank and the attributes exactly as written.
std::u16string OpeningTagText(std::u16string_view text, int32_t start, int32_t end);

// The part of an element's HTML from its first inner tag to the end of its
// last inner tag; "" when it holds no tag.
std::u16string InnerOfOuter(std::u16string_view fragment);

// Resolves references "{word,start,end}" in `refs` to
// SliceFromTag(text, start, end) each and joins the slices. Text outside the
// braces is ignored; a number that cannot be read counts as 0.
std::u16string ResolveOuterRefs(std::u16string_view text, std::u16string_view refs);

}  // namespace wrenly
