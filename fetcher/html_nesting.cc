#include "fetcher/html_nesting.h"

#include <gumbo.h>

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace wrenly {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsVoid(int id) {
  switch (id) {
    case GUMBO_TAG_AREA: case GUMBO_TAG_BASE: case GUMBO_TAG_BASEFONT: case GUMBO_TAG_BGSOUND: case GUMBO_TAG_BR:
    case GUMBO_TAG_COL: case GUMBO_TAG_EMBED: case GUMBO_TAG_HR: case GUMBO_TAG_IMG: case GUMBO_TAG_IMAGE:
    case GUMBO_TAG_INPUT: case GUMBO_TAG_KEYGEN: case GUMBO_TAG_LINK: case GUMBO_TAG_META: case GUMBO_TAG_PARAM:
    case GUMBO_TAG_SOURCE: case GUMBO_TAG_TRACK: case GUMBO_TAG_WBR: case GUMBO_TAG_FRAME: case GUMBO_TAG_MENUITEM:
    // The document's frame is made once, whatever the page repeats.
    case GUMBO_TAG_HTML: case GUMBO_TAG_HEAD: case GUMBO_TAG_BODY: case GUMBO_TAG_FRAMESET:
      return true;
    default:
      return false;
  }
}

// Elements whose contents are text up to their own end tag.
bool HoldsRawText(int id) {
  switch (id) {
    case GUMBO_TAG_SCRIPT: case GUMBO_TAG_STYLE: case GUMBO_TAG_XMP: case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED: case GUMBO_TAG_NOFRAMES: case GUMBO_TAG_TEXTAREA: case GUMBO_TAG_TITLE:
      return true;
    default:
      return false;
  }
}

// The elements that bound a scope: an end tag does not close past them.
bool IsBoundary(int id) {
  switch (id) {
    case GUMBO_TAG_APPLET: case GUMBO_TAG_CAPTION: case GUMBO_TAG_TABLE: case GUMBO_TAG_TD: case GUMBO_TAG_TH:
    case GUMBO_TAG_MARQUEE: case GUMBO_TAG_OBJECT: case GUMBO_TAG_TEMPLATE: case GUMBO_TAG_BUTTON:
    case GUMBO_TAG_FOREIGNOBJECT: case GUMBO_TAG_DESC: case GUMBO_TAG_MI: case GUMBO_TAG_MO: case GUMBO_TAG_MN:
    case GUMBO_TAG_MS: case GUMBO_TAG_MTEXT: case GUMBO_TAG_ANNOTATION_XML:
      return true;
    default:
      return false;
  }
}

bool IsFormatting(int id) {
  switch (id) {
    case GUMBO_TAG_A: case GUMBO_TAG_B: case GUMBO_TAG_BIG: case GUMBO_TAG_CODE: case GUMBO_TAG_EM:
    case GUMBO_TAG_FONT: case GUMBO_TAG_I: case GUMBO_TAG_NOBR: case GUMBO_TAG_S: case GUMBO_TAG_SMALL:
    case GUMBO_TAG_STRIKE: case GUMBO_TAG_STRONG: case GUMBO_TAG_TT: case GUMBO_TAG_U:
      return true;
    default:
      return false;
  }
}

bool IsHeading(int id) { return id >= GUMBO_TAG_H1 && id <= GUMBO_TAG_H6; }

// Start tags that end an open paragraph.
bool ClosesParagraph(int id) {
  switch (id) {
    case GUMBO_TAG_ADDRESS: case GUMBO_TAG_ARTICLE: case GUMBO_TAG_ASIDE: case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_CENTER: case GUMBO_TAG_DETAILS: case GUMBO_TAG_DIR: case GUMBO_TAG_DIV: case GUMBO_TAG_DL:
    case GUMBO_TAG_FIELDSET: case GUMBO_TAG_FIGCAPTION: case GUMBO_TAG_FIGURE: case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_HEADER: case GUMBO_TAG_HGROUP: case GUMBO_TAG_MAIN: case GUMBO_TAG_MENU: case GUMBO_TAG_NAV:
    case GUMBO_TAG_OL: case GUMBO_TAG_P: case GUMBO_TAG_SECTION: case GUMBO_TAG_SUMMARY: case GUMBO_TAG_UL:
    case GUMBO_TAG_PRE: case GUMBO_TAG_LISTING: case GUMBO_TAG_FORM: case GUMBO_TAG_LI: case GUMBO_TAG_DD:
    case GUMBO_TAG_DT: case GUMBO_TAG_TABLE:
      return true;
    default:
      return IsHeading(id);
  }
}

// Elements an end tag of another name does not close past.
bool IsSpecial(int id) {
  switch (id) {
    case GUMBO_TAG_SPAN: case GUMBO_TAG_LABEL: case GUMBO_TAG_SUB: case GUMBO_TAG_SUP: case GUMBO_TAG_ABBR:
    case GUMBO_TAG_CITE: case GUMBO_TAG_Q: case GUMBO_TAG_DFN: case GUMBO_TAG_KBD: case GUMBO_TAG_SAMP:
    case GUMBO_TAG_VAR: case GUMBO_TAG_MARK: case GUMBO_TAG_TIME: case GUMBO_TAG_DATA: case GUMBO_TAG_INS:
    case GUMBO_TAG_DEL: case GUMBO_TAG_RUBY: case GUMBO_TAG_RB: case GUMBO_TAG_RT: case GUMBO_TAG_RP:
    case GUMBO_TAG_RTC: case GUMBO_TAG_BDI: case GUMBO_TAG_BDO: case GUMBO_TAG_OUTPUT: case GUMBO_TAG_PROGRESS:
    case GUMBO_TAG_METER: case GUMBO_TAG_AUDIO: case GUMBO_TAG_VIDEO: case GUMBO_TAG_CANVAS: case GUMBO_TAG_MAP:
    case GUMBO_TAG_OPTION: case GUMBO_TAG_OPTGROUP: case GUMBO_TAG_DATALIST: case GUMBO_TAG_LEGEND:
    case GUMBO_TAG_SVG: case GUMBO_TAG_MATH: case GUMBO_TAG_UNKNOWN:
      return false;
    default:
      return id < GUMBO_TAG_UNKNOWN && !IsFormatting(id);
  }
}

// The stack of open elements as the parser would keep it, with the
// positions of each tag and of the scope boundaries, so that every question
// ("is there a <p> in scope?") is answered without walking the stack.
// Positions count from 1; 0 is "none".
class OpenElements {
 public:
  explicit OpenElements(size_t maxDepth) : maxDepth_(maxDepth) {}

  // False when the element would be too deep: its tag is to be left out.
  bool Start(int id, bool selfClosing) {
    if (IsVoid(id)) return true;
    if (selfClosing && (InForeignContent() || id == GUMBO_TAG_SVG || id == GUMBO_TAG_MATH)) return true;
    if (id == GUMBO_TAG_SELECT && Top(id) > Top(boundaries_)) {
      // A select inside a select ends the open one and is dropped.
      PopTo(Top(id));
      return true;
    }
    CloseImpliedBy(id);
    if (stack_.size() >= maxDepth_) return false;
    Push(id);
    return true;
  }

  // False when the end tag closes nothing.
  bool End(int id) {
    if (id == GUMBO_TAG_BR || IsVoid(id)) return true;
    const size_t at = Top(id);
    if (id == GUMBO_TAG_P) {
      // A lone </p> makes an empty paragraph.
      if (at > Top(boundaries_)) PopTo(at);
      return true;
    }
    if (at == 0) return false;
    if (IsFormatting(id)) {
      if (at <= Top(boundaries_)) return false;
      CloseFormatting(at);
      return true;
    }
    const bool closes = IsBoundary(id) || (IsSpecial(id) ? at > Top(boundaries_) : at > Top(specials_));
    if (closes) PopTo(at);
    return closes;
  }

 private:
  size_t Top(int id) const {
    return static_cast<size_t>(id) < positions_.size() && !positions_[id].empty() ? positions_[id].back() : 0;
  }
  static size_t Top(const std::vector<size_t>& positions) { return positions.empty() ? 0 : positions.back(); }
  bool InForeignContent() const { return Top(GUMBO_TAG_SVG) != 0 || Top(GUMBO_TAG_MATH) != 0; }

  // The parser's implied end tags for the start tag of id.
  void CloseImpliedBy(int id) {
    const size_t boundary = Top(boundaries_);
    if (ClosesParagraph(id) && Top(GUMBO_TAG_P) > boundary) PopTo(Top(GUMBO_TAG_P));
    const size_t table = Top(GUMBO_TAG_TABLE);
    switch (id) {
      case GUMBO_TAG_LI:
        CloseAbove(Top(GUMBO_TAG_LI), std::max({boundary, Top(GUMBO_TAG_UL), Top(GUMBO_TAG_OL)}));
        break;
      case GUMBO_TAG_DD: case GUMBO_TAG_DT:
        CloseAbove(std::max(Top(GUMBO_TAG_DD), Top(GUMBO_TAG_DT)), std::max(boundary, Top(GUMBO_TAG_DL)));
        break;
      case GUMBO_TAG_A: case GUMBO_TAG_NOBR:
        if (Top(id) > boundary) CloseFormatting(Top(id));
        break;
      case GUMBO_TAG_BUTTON: case GUMBO_TAG_FORM:
        CloseAbove(Top(id), id == GUMBO_TAG_BUTTON ? Top(GUMBO_TAG_TABLE) : boundary);
        break;
      case GUMBO_TAG_OPTION: case GUMBO_TAG_OPTGROUP:
        if (!stack_.empty() && stack_.back() == GUMBO_TAG_OPTION) PopTo(stack_.size());
        break;
      case GUMBO_TAG_TD: case GUMBO_TAG_TH:
        CloseAbove(std::max(Top(GUMBO_TAG_TD), Top(GUMBO_TAG_TH)), table);
        break;
      case GUMBO_TAG_TR:
        // The row and the cell open in it end.
        CloseAbove(Top(GUMBO_TAG_TR) > table ? Top(GUMBO_TAG_TR) : std::max(Top(GUMBO_TAG_TD), Top(GUMBO_TAG_TH)),
                   table);
        break;
      case GUMBO_TAG_TBODY: case GUMBO_TAG_THEAD: case GUMBO_TAG_TFOOT: case GUMBO_TAG_CAPTION:
      case GUMBO_TAG_COLGROUP:
        // Everything inside the table ends.
        if (table != 0) CloseAbove(table + 1, table);
        break;
      default:
        if (IsHeading(id) && !stack_.empty() && IsHeading(stack_.back())) PopTo(stack_.size());
        break;
    }
  }

  // The end of the formatting element at `at`. With only inline elements
  // above it, they all end; a block above it is moved out of it by the
  // parser and stays open, with a copy of the formatting inside: the depth
  // stays.
  void CloseFormatting(size_t at) {
    if (Top(specials_) < at) PopTo(at);
  }

  void CloseAbove(size_t at, size_t limit) {
    if (at > limit) PopTo(at);
  }

  void Push(int id) {
    stack_.push_back(id);
    const size_t at = stack_.size();
    if (static_cast<size_t>(id) >= positions_.size()) positions_.resize(id + 1);
    positions_[id].push_back(at);
    if (IsBoundary(id)) boundaries_.push_back(at);
    if (IsSpecial(id)) specials_.push_back(at);
  }

  // Closes the element at position `at` and everything above it.
  void PopTo(size_t at) {
    while (at != 0 && stack_.size() >= at) {
      const int id = stack_.back();
      positions_[id].pop_back();
      if (IsBoundary(id)) boundaries_.pop_back();
      if (IsSpecial(id)) specials_.pop_back();
      stack_.pop_back();
    }
  }

  size_t maxDepth_;
  std::vector<int> stack_;
  std::vector<std::vector<size_t>> positions_;
  std::vector<size_t> boundaries_;
  std::vector<size_t> specials_;
};

// Tag names as numbers: the parser's tags, then other names in order of
// appearance.
class TagNumbers {
 public:
  int Of(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) c = Lower(c);
    const GumboTag tag = gumbo_tagn_enum(lower.data(), static_cast<unsigned>(lower.size()));
    if (tag != GUMBO_TAG_UNKNOWN) return tag;
    const auto [it, added] = others_.try_emplace(std::move(lower), GUMBO_TAG_LAST + 1 + others_.size());
    return it->second;
  }

 private:
  std::unordered_map<std::string, int> others_;
};

struct Tag {
  bool end = false;
  bool selfClosing = false;
  std::string_view name;
  size_t after = 0;  // just past the ">"
};

// Reads the tag at page[at] ("<name" or "</name"); false at a tag the page
// does not finish.
bool ReadTag(std::string_view page, size_t at, Tag& tag) {
  const size_t n = page.size();
  tag.end = page[at + 1] == '/';
  size_t i = at + (tag.end ? 2 : 1);
  const size_t nameBegin = i;
  while (i < n && !IsSpace(page[i]) && page[i] != '/' && page[i] != '>') ++i;
  tag.name = page.substr(nameBegin, i - nameBegin);
  tag.selfClosing = false;
  while (i < n && page[i] != '>') {
    if (page[i] == '/' || IsSpace(page[i])) {
      tag.selfClosing = page[i] == '/' && i + 1 < n && page[i + 1] == '>';
      ++i;
      continue;
    }
    tag.selfClosing = false;
    if (page[i] == '=') ++i;  // a name may start with "="
    while (i < n && !IsSpace(page[i]) && page[i] != '/' && page[i] != '>' && page[i] != '=') ++i;
    while (i < n && IsSpace(page[i])) ++i;
    if (i >= n || page[i] != '=') continue;
    ++i;
    while (i < n && IsSpace(page[i])) ++i;
    if (i < n && (page[i] == '"' || page[i] == '\'')) {
      const size_t close = page.find(page[i], i + 1);
      i = close == std::string_view::npos ? n : close + 1;
    } else {
      while (i < n && !IsSpace(page[i]) && page[i] != '>') ++i;
    }
  }
  if (i >= n) return false;
  tag.after = i + 1;
  return true;
}

// Where the end tag of a raw text element starts, or the page's end.
size_t RawTextEnd(std::string_view page, size_t from, std::string_view name) {
  for (size_t at = page.find("</", from); at != std::string_view::npos; at = page.find("</", at + 2)) {
    if (page.size() - at - 2 < name.size()) break;
    bool same = true;
    for (size_t k = 0; k < name.size() && same; ++k) same = Lower(page[at + 2 + k]) == Lower(name[k]);
    if (same) return at;
  }
  return page.size();
}

// Past the comment, declaration or processing instruction at page[at].
size_t SkipMarkup(std::string_view page, size_t at) {
  const bool comment = page.compare(at, 4, "<!--") == 0;
  const size_t end = comment ? page.find("-->", at + 2) : page.find('>', at);
  if (end == std::string_view::npos) return page.size();
  return end + (comment ? 3 : 1);
}

}  // namespace

std::string WithNestingLimit(std::string page, size_t maxDepth) {
  const std::string_view text(page);
  OpenElements open(maxDepth);
  TagNumbers numbers;
  std::vector<std::pair<size_t, size_t>> leftOut;
  bool tooDeep = false;
  Tag tag;
  for (size_t at = text.find('<'); at != std::string_view::npos && at + 1 < text.size(); at = text.find('<', at)) {
    const char next = text[at + 1];
    if (next == '!' || next == '?' || (next == '/' && (at + 2 >= text.size() || !IsLetter(text[at + 2])))) {
      at = SkipMarkup(text, at);
      continue;
    }
    if (next != '/' && !IsLetter(next)) {
      ++at;
      continue;
    }
    if (!ReadTag(text, at, tag)) break;
    const int id = numbers.Of(tag.name);
    if (!tag.end && id == GUMBO_TAG_PLAINTEXT) break;  // the rest is text
    const bool kept = tag.end ? open.End(id) : open.Start(id, tag.selfClosing);
    if (!kept) leftOut.emplace_back(at, tag.after);
    tooDeep = tooDeep || (!kept && !tag.end);
    at = !tag.end && HoldsRawText(id) ? RawTextEnd(text, tag.after, tag.name) : tag.after;
  }
  if (!tooDeep) return page;
  std::string limited;
  limited.reserve(page.size());
  size_t copied = 0;
  for (const auto& [begin, end] : leftOut) {
    limited.append(text.substr(copied, begin - copied));
    copied = end;
  }
  limited.append(text.substr(copied));
  return limited;
}

}  // namespace wrenly
