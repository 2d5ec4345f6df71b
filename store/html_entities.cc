#include "store/html_entities.h"

namespace wrenly {
namespace {

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view from, std::u16string_view to) {
  std::u16string out;
  out.reserve(text.size());
  size_t pos = 0;
  for (size_t at; (at = text.find(from, pos)) != std::u16string_view::npos; pos = at + from.size()) {
    out.append(text.substr(pos, at - pos));
    out.append(to);
  }
  out.append(text.substr(pos));
  return out;
}

// The code of a plain decimal number (what "%d" would print back), or -1.
long PlainDecimal(std::u16string_view digits) {
  if (digits.empty() || digits.size() > 7 || (digits[0] == u'0' && digits.size() > 1)) return -1;
  long n = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return -1;
    n = n * 10 + (c - u'0');
  }
  return n;
}

void AppendCharacter(std::u16string& out, long code) {
  if (code < 0x10000) {
    out.push_back(static_cast<char16_t>(code));
    return;
  }
  code -= 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
}

bool IsCharacterCode(long code) {
  return code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
}

// One pass from left to right. Replacing one reference by its character
// never creates or hides another reference further on, so this gives what
// replacing each reference's every occurrence in turn gives, in linear time.
std::u16string ResolveNumericReferences(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t pos = 0;
  size_t semicolon = 0;  // the first ";" at or after the current "&#", cached
  while (true) {
    const size_t at = text.find(u"&#", pos);
    if (at == std::u16string_view::npos) break;
    if (semicolon != std::u16string_view::npos && semicolon < at + 2)
      semicolon = text.find(u';', at + 2);
    if (semicolon == std::u16string_view::npos) break;
    const long code = PlainDecimal(text.substr(at + 2, semicolon - at - 2));
    if (IsCharacterCode(code)) {
      out.append(text.substr(pos, at - pos));
      AppendCharacter(out, code);
      pos = semicolon + 1;
    } else {
      out.append(text.substr(pos, at + 2 - pos));
      pos = at + 2;
    }
  }
  out.append(text.substr(pos));
  return out;
}

}  // namespace

std::u16string UnescapeHtmlEntities(std::u16string_view text) {
  std::u16string s = ReplaceAll(text, u"&lt;", u"<");
  s = ReplaceAll(s, u"&gt;", u">");
  s = ReplaceAll(s, u"&apos;", u"'");
  s = ReplaceAll(s, u"&quot;", u"\"");
  s = ReplaceAll(s, u"&amp;", u"&");
  return ResolveNumericReferences(s);
}

std::u16string EscapeHtmlText(std::u16string_view text) {
  std::u16string s = ReplaceAll(text, u"&", u"&amp;");
  s = ReplaceAll(s, u"<", u"&lt;");
  return ReplaceAll(s, u">", u"&gt;");
}

}  // namespace wrenly
