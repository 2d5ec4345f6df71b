// A small tag scanner: attribute by attribute, so a "src" is only taken from
// the <img> tag it belongs to, a quoted ">" does not end the tag, and
// "data-src=" is not mistaken for "src=".
#include "store/picture_addresses.h"

namespace wrenly {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// Position just after the next "<img" that starts a tag, or npos.
size_t FindImgTag(std::u16string_view html, size_t from) {
  for (size_t at = html.find(u'<', from); at != std::u16string_view::npos;
       at = html.find(u'<', at + 1)) {
    if (at + 4 > html.size() || !EqualsIgnoringCase(html.substr(at + 1, 3), u"img")) continue;
    const size_t after = at + 4;
    if (after == html.size() || IsBlank(html[after]) || html[after] == u'/' || html[after] == u'>')
      return after;
  }
  return std::u16string_view::npos;
}

size_t SkipBlanks(std::u16string_view html, size_t i) {
  while (i < html.size() && IsBlank(html[i])) ++i;
  return i;
}

enum class Scan { kFound, kTagEnd, kTextEnd };

// Scans the attributes of one tag from i. kFound fills `found` and leaves i
// after the value; kTagEnd leaves i after the ">".
Scan ScanTag(std::u16string_view html, size_t& i, PictureAddress& found) {
  const size_t n = html.size();
  while (true) {
    while (i < n && (IsBlank(html[i]) || html[i] == u'/')) ++i;
    if (i >= n) return Scan::kTextEnd;
    if (html[i] == u'>') {
      ++i;
      return Scan::kTagEnd;
    }
    const size_t nameBegin = i;
    while (i < n && !IsBlank(html[i]) && html[i] != u'=' && html[i] != u'>' && html[i] != u'/') ++i;
    const std::u16string_view name = html.substr(nameBegin, i - nameBegin);
    if (name.empty() && i < n && html[i] == u'=') ++i;  // a stray "="
    i = SkipBlanks(html, i);
    if (name.empty() || i >= n || html[i] != u'=') continue;
    i = SkipBlanks(html, i + 1);
    if (i >= n) return Scan::kTextEnd;
    size_t valueBegin = i, textBegin = i, textEnd;
    if (html[i] == u'"' || html[i] == u'\'') {
      textBegin = i + 1;
      textEnd = html.find(html[i], textBegin);
      if (textEnd == std::u16string_view::npos) return Scan::kTextEnd;  // unclosed quote
      i = textEnd + 1;
    } else {
      while (i < n && !IsBlank(html[i]) && html[i] != u'>') ++i;
      textEnd = i;
    }
    if (EqualsIgnoringCase(name, u"src") && textEnd > textBegin) {
      found.address = std::u16string(html.substr(textBegin, textEnd - textBegin));
      found.valueBegin = valueBegin;
      found.valueEnd = i;
      return Scan::kFound;
    }
  }
}

}  // namespace

bool NextPictureAddress(std::u16string_view html, size_t& pos, PictureAddress& found) {
  while (pos < html.size()) {
    size_t i = FindImgTag(html, pos);
    if (i == std::u16string_view::npos) break;
    const Scan scan = ScanTag(html, i, found);
    pos = i;
    if (scan == Scan::kFound) return true;
    if (scan == Scan::kTextEnd) break;
  }
  pos = html.size();
  return false;
}

std::vector<std::u16string> PictureAddresses(std::u16string_view html) {
  std::vector<std::u16string> addresses;
  size_t pos = 0;
  PictureAddress found;
  while (NextPictureAddress(html, pos, found)) addresses.push_back(found.address);
  return addresses;
}

}  // namespace wrenly
