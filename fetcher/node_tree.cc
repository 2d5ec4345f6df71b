// The tag scanner and the node tree build. The scanner is deliberately not an
// HTML parser: templates depend on exactly how it treats comments, scripts,
// "/>", unclosed elements and long names, so those rules are kept as they are.
#include "fetcher/node_tree.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <unordered_map>

#include "platform/trace.h"

namespace wrenly {
namespace {

constexpr std::size_t kNone = std::u16string_view::npos;

bool IsTagSeparator(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'/' || c == u'>';
}

char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? c - (u'a' - u'A') : c; }

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return AsciiUpper(x) == AsciiUpper(y); });
}

bool HasAt(std::u16string_view text, std::size_t i, std::u16string_view what) {
  return i + what.size() <= text.size() && text.compare(i, what.size(), what) == 0;
}

// `what` is given in upper case.
bool HasAtIgnoringCase(std::u16string_view text, std::size_t i, std::u16string_view what) {
  return i + what.size() <= text.size() && EqualsIgnoringCase(text.substr(i, what.size()), what);
}

bool WithinLimit(std::u16string_view text) {
  if (text.size() <= kMaxPageTextLength) return true;
  TraceF("node tree: page text of %zu code units is over the limit, not scanned\n", text.size());
  return false;
}

void AppendNumber(std::u16string& out, int32_t value) {
  char digits[16];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

// A decimal integer as the C library's atoi reads it (leading white space,
// optional sign, digits up to the first other character), 0 when there is
// none, held within the range of int32_t.
int32_t ReadInt(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = std::min<int64_t>(value * 10 + (text[i] - u'0'), int64_t{1} << 32);
  }
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// One BuildNodeTree scan. The open stack is searched by name through
// `openNames_` (how many open elements carry each name), so a closing tag
// that matches nothing costs no walk through the stack, and the position of
// the next ">" is remembered, so the scan stays linear on any input.
class TreeBuilder {
 public:
  TreeBuilder(std::u16string_view text, std::u16string_view rootName, NodeTreeState& state)
      : text_(text), rootName_(rootName), closingName_(u"/" + std::u16string(rootName)),
        state_(state) {}

  void Run(std::size_t i);
  std::u16string Serialise();

 private:
  // What the text of the current tag is: all that matters is whether it is
  // exactly "/" when the tag ends (a tag written with "/>").
  enum class TagText { kEmpty, kSlash, kOther };

  bool Process(std::size_t i);
  void HandleName(std::size_t i);
  void CloseElement(std::u16string_view name, std::size_t i);
  void CompleteTop(std::size_t i);
  void Push(NodeRecord record);
  NodeRecord PopTop();
  int32_t NextClosingBracket(std::size_t i);

  std::u16string_view text_;
  std::u16string_view rootName_;
  std::u16string closingName_;
  NodeTreeState& state_;
  std::unordered_map<std::u16string, int> openNames_;
  std::size_t bracketSearchedFrom_ = 0;
  std::size_t nextBracket_ = kNone;
  bool searchedBracket_ = false;

  int32_t count_ = 0;
  bool done_ = false;
  bool sameName_ = false;
  bool inTag_ = false;
  bool collecting_ = false;
  bool inComment_ = false;
  bool inScript_ = false;
  int32_t tagStart_ = -1;
  std::u16string name_;
  TagText tagText_ = TagText::kEmpty;
};

void TreeBuilder::Run(std::size_t i) {
  const std::size_t length = text_.size();
  while (i < length) {
    const char16_t c = text_[i];
    if (c == u'<' && HasAt(text_, i, u"<!-")) {
      inComment_ = true;
      i += 4;
    } else if (inComment_) {
      if (c == u'-' && HasAt(text_, i, u"-->")) {
        inComment_ = false;
        i += 3;
      } else {
        ++i;
      }
    } else if (c == u'<' && HasAtIgnoringCase(text_, i, u"<SCRIPT")) {
      inScript_ = true;
      i += 7;
    } else if (inScript_) {
      if (c == u'<' && HasAtIgnoringCase(text_, i, u"</SCRIPT>")) {
        inScript_ = false;
        i += 9;
      } else {
        ++i;
      }
    } else if (!inTag_ && c != u'<' && c != u'>') {
      ++i;  // ordinary text
    } else {
      if (!Process(i)) return;
      ++i;
    }
  }
}

// One character of ordinary text or tag; false when the scan stops here.
bool TreeBuilder::Process(std::size_t i) {
  const char16_t c = text_[i];
  if (inTag_ && !IsTagSeparator(c)) {
    // A closing tag's "/" does not count against the name's length, so opening
    // and closing tags are compared on the same characters.
    const std::size_t limit = kMaxTreeNameLength + (!name_.empty() && name_[0] == u'/' ? 1 : 0);
    if (collecting_ && name_.size() < limit) name_ += c;
    tagText_ = TagText::kOther;
  } else if (inTag_) {
    if (!name_.empty()) {
      if (collecting_) HandleName(i);
      collecting_ = false;
      tagStart_ = -1;
      if (EqualsIgnoringCase(name_, closingName_) && state_.open.empty()) {
        done_ = true;
      } else if (EqualsIgnoringCase(name_, rootName_)) {
        sameName_ = true;
      }
      name_.clear();
    }
    if (c != u'>') tagText_ = TagText::kEmpty;
    if (c == u'/') {
      tagText_ = TagText::kSlash;
      if (name_.empty()) name_ = u"/";
    }
  }
  if (c == u'<') {
    inTag_ = true;
    collecting_ = true;
    tagStart_ = static_cast<int32_t>(i);
    tagText_ = TagText::kEmpty;
  }
  if (c == u'>') {
    inTag_ = false;
    name_.clear();
    if (done_) return false;
    if (tagText_ == TagText::kSlash) {
      // A tag written with "/>" has no content: it leaves the stack again
      // (a META or LINK tag, never pushed, takes the element below it).
      if (sameName_) return false;
      if (!state_.open.empty()) PopTop();
    }
    sameName_ = false;
  }
  return true;
}

void TreeBuilder::HandleName(std::size_t i) {
  std::transform(name_.begin(), name_.end(), name_.begin(), AsciiUpper);
  if (name_[0] == u'/') {
    CloseElement(std::u16string_view(name_).substr(1), i);
    return;
  }
  ++count_;
  NodeRecord record{count_, name_, tagStart_, -1, -1};
  if (name_ != u"META" && name_ != u"LINK") Push(std::move(record));
}

// A closing tag: the nearest open element of that name closes, and the open
// elements above it are dropped. The most recently completed record is
// re-attached to whatever element ends up enclosing it; when nothing of that
// name is open, that record takes the innermost open element as its parent.
void TreeBuilder::CloseElement(std::u16string_view name, std::size_t i) {
  std::vector<NodeRecord>& open = state_.open;
  if (open.empty()) return;
  if (open.back().name == name) {
    CompleteTop(i);
    return;
  }
  if (state_.completed.empty()) return;
  NodeRecord& last = state_.completed.back();
  const auto found = openNames_.find(std::u16string(name));
  if (found == openNames_.end() || found->second == 0) {
    last.parent = open.back().id;
    return;
  }
  while (open.back().name != name) {
    state_.setAside.push_back(PopTop());
    last.parent = open.back().id;
  }
  CompleteTop(i);
}

void TreeBuilder::CompleteTop(std::size_t i) {
  NodeRecord record = PopTop();
  record.parent = state_.open.empty() ? -1 : state_.open.back().id;
  record.end = NextClosingBracket(i);
  state_.completed.push_back(std::move(record));
  state_.setAside.clear();
}

void TreeBuilder::Push(NodeRecord record) {
  ++openNames_[record.name];
  state_.open.push_back(std::move(record));
}

NodeRecord TreeBuilder::PopTop() {
  NodeRecord record = std::move(state_.open.back());
  state_.open.pop_back();
  --openNames_[record.name];
  return record;
}

// The position of the first ">" at or after i, or -1. Positions only grow
// during a scan, so an earlier answer at or after i still holds.
int32_t TreeBuilder::NextClosingBracket(std::size_t i) {
  const bool stillValid = searchedBracket_ && bracketSearchedFrom_ <= i &&
                          (nextBracket_ == kNone || nextBracket_ >= i);
  if (!stillValid) {
    nextBracket_ = text_.find(u'>', i);
    bracketSearchedFrom_ = i;
    searchedBracket_ = true;
  }
  return nextBracket_ == kNone ? -1 : static_cast<int32_t>(nextBracket_);
}

std::u16string TreeBuilder::Serialise() {
  std::u16string out;
  const std::vector<NodeRecord>& completed = state_.completed;
  for (auto record = completed.rbegin(); record != completed.rend(); ++record) {
    if (record != completed.rbegin()) out += u'|';
    AppendNumber(out, record->id);
    out += u',';
    AppendNumber(out, record->parent);
    out += u',';
    out += record->name;
    out += u',';
    AppendNumber(out, record->start);
    out += u',';
    AppendNumber(out, record->end);
  }
  state_ = NodeTreeState{};
  return out;
}

}  // namespace

std::u16string FindNextTag(std::u16string_view text, int32_t& position) {
  std::u16string result;
  if (!WithinLimit(text)) {
    position = -1;
    return result;
  }
  bool inTag = false;
  bool collecting = false;
  bool inComment = false;
  std::size_t i = position < 0 ? 0 : static_cast<std::size_t>(position);
  while (i < text.size()) {
    const char16_t c = text[i];
    if (c == u'<' && HasAt(text, i, u"<!--")) {
      inComment = true;
      i += 4;
      continue;
    }
    if (inComment) {
      if (c == u'-' && HasAt(text, i, u"-->")) {
        inComment = false;
        i += 3;
      } else {
        ++i;
      }
      continue;
    }
    if (inTag && !IsTagSeparator(c)) {
      if (collecting) result += c;
    } else if (inTag) {
      if (!result.empty()) {
        collecting = false;
        // Closing tags and META tags are passed over; any other name is found.
        if (result.find(u'/') == kNone && !EqualsIgnoringCase(result, u"META")) break;
        result.clear();
      }
      if (c == u'/' && result.empty()) result = u"/";
    }
    if (c == u'<') {
      inTag = true;
      collecting = true;
      position = static_cast<int32_t>(i);
    }
    if (c == u'>') {
      inTag = false;
      result.clear();
    }
    ++i;
  }
  if (result.empty()) position = -1;
  return result;
}

std::u16string BuildNodeTree(std::u16string_view text, std::u16string_view name,
                             int32_t position, NodeTreeState& state) {
  state = NodeTreeState{};
  // FindNextTag never finds a tag with an empty name, so "" names no element.
  if (name.empty() || FindNextTag(text, position) != name) return u"";
  Trace("GetNodeTree() Begin...\n");
  TreeBuilder builder(text, name, state);
  builder.Run(static_cast<std::size_t>(position));
  std::u16string tree = builder.Serialise();
  Trace("GetNodeTree() END.\n");
  return tree;
}

std::u16string BuildNodeTree(std::u16string_view text, std::u16string_view name,
                             int32_t position) {
  NodeTreeState state;
  return BuildNodeTree(text, name, position, state);
}

std::u16string SliceFromTag(std::u16string_view text, int32_t start, int32_t end) {
  int32_t tag = start;
  FindNextTag(text, tag);
  if (tag < 0 || end < 0 || end < tag) return u"";
  const std::size_t last = std::min(static_cast<std::size_t>(end), text.size() - 1);
  return std::u16string(text.substr(static_cast<std::size_t>(tag), last - tag + 1));
}

std::u16string OpeningTagText(std::u16string_view text, int32_t start, int32_t end) {
  int32_t tag = start;
  FindNextTag(text, tag);
  std::u16string out;
  if (tag < 0) return out;
  for (std::size_t k = static_cast<std::size_t>(tag);
       k < text.size() && static_cast<int64_t>(k) <= end; ++k) {
    const char16_t c = text[k];
    if (c == u'>') break;
    if (c != u'<') out += c;
  }
  return out;
}

std::u16string InnerOfOuter(std::u16string_view fragment) {
  const std::size_t firstClose = fragment.find(u'>');
  const std::size_t a = firstClose == kNone ? kNone : fragment.find(u'<', firstClose + 1);
  const std::size_t lastOpen = fragment.rfind(u'<');
  const std::size_t b =
      (lastOpen == kNone || lastOpen == 0) ? kNone : fragment.rfind(u'>', lastOpen - 1);
  if (a == kNone || b == kNone || a == 0 || b == 0 || a > b) return u"";
  return std::u16string(fragment.substr(a, b - a + 1));
}

std::u16string ResolveOuterRefs(std::u16string_view text, std::u16string_view refs) {
  std::u16string out;
  std::size_t from = 0;
  while (true) {
    const std::size_t open = refs.find(u'{', from);
    const std::size_t close = refs.find(u'}', from);
    if (open == kNone || close == kNone) break;
    // A "}" before the "{" cuts nothing out; the search goes on after it.
    if (open < close) {
      const std::u16string_view ref = refs.substr(open + 1, close - open - 1);
      const std::size_t first = ref.find(u',');
      const std::size_t second = first == kNone ? kNone : ref.find(u',', first + 1);
      if (second != kNone) {
        const int32_t start = ReadInt(ref.substr(first + 1, second - first - 1));
        const int32_t end = ReadInt(ref.substr(second + 1));
        out += SliceFromTag(text, start, end);
      }
    }
    from = close + 1;
  }
  return out;
}

}  // namespace wrenly
