// Both steps work in place: a replacement is never longer than what it
// replaces, so the text is compacted with a read and a write position.
#include "store/html_entities.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wrenly {
namespace {

// The position of the first "&" at or after `from`, or the text's size. Eight
// units are compared at a time where SSE2 is there: entities are rare in
// long descriptions, and this scan is most of the work.
size_t FindAmpersand(std::u16string_view text, size_t from) {
  const char16_t* const begin = text.data();
  const char16_t* const end = begin + text.size();
  const char16_t* p = begin + from;
#if defined(__SSE2__)
  const __m128i amp = _mm_set1_epi16(u'&');
  for (; end - p >= 8; p += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(units, amp));
    if (mask != 0) return static_cast<size_t>(p - begin) + static_cast<size_t>(__builtin_ctz(mask)) / 2;
  }
#endif
  while (p < end && *p != u'&') ++p;
  return static_cast<size_t>(p - begin);
}

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

bool StartsWithAt(const std::u16string& text, size_t at, std::u16string_view what) {
  return text.size() - at >= what.size() && std::u16string_view(text).substr(at, what.size()) == what;
}

// The five named entities in one pass. That gives what five whole-text
// passes in the order lt, gt, apos, quot, amp give: occurrences cannot
// overlap (each has one "&", at its start), and no replacement produces a
// character that a later entity contains, so "&amp;lt;" still ends as "&lt;".
// `first` is the position of the first "&".
void ResolveNamedEntities(std::u16string& text, size_t first) {
  static constexpr struct {
    std::u16string_view entity;
    char16_t character;
  } kNamed[] = {{u"&lt;", u'<'}, {u"&gt;", u'>'}, {u"&apos;", u'\''}, {u"&quot;", u'"'},
                {u"&amp;", u'&'}};
  const std::u16string_view view(text);
  size_t write = first;
  size_t read = first;
  while (true) {
    // Text up to the next "&" stays as it is; it moves only once something
    // before it has been shortened.
    const size_t amp = FindAmpersand(view, read);
    if (write != read) std::copy(text.begin() + read, text.begin() + amp, text.begin() + write);
    write += amp - read;
    read = amp;
    if (read == text.size()) break;
    size_t length = 1;
    char16_t out = u'&';
    for (const auto& named : kNamed) {
      if (StartsWithAt(text, read, named.entity)) {
        length = named.entity.size();
        out = named.character;
        break;
      }
    }
    text[write++] = out;
    read += length;
  }
  text.resize(write);
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

bool IsCharacterCode(long code) {
  return code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
}

// Writes the character (a surrogate pair above U+FFFF) at `write`; the
// reference it replaces is at least four units long, so this never passes
// the read position.
size_t PutCharacter(std::u16string& text, size_t write, long code) {
  if (code < 0x10000) {
    text[write] = static_cast<char16_t>(code);
    return write + 1;
  }
  code -= 0x10000;
  text[write] = static_cast<char16_t>(0xD800 + (code >> 10));
  text[write + 1] = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  return write + 2;
}

// One pass from left to right. Replacing one reference by its character
// never creates or hides another reference further on, so this gives what
// replacing each reference's every occurrence in turn gives, in linear time.
// `first` is the position of the first "&".
void ResolveNumericReferences(std::u16string& text, size_t first) {
  const std::u16string_view view(text);
  size_t semicolon = 0;  // the first ";" after the current "&#", found once
  size_t write = first;
  size_t read = first;
  while (read < text.size()) {
    if (text[read] != u'&') {
      // Up to the next "&" nothing changes; it moves only once a reference
      // before it has been replaced.
      const size_t amp = FindAmpersand(view, read);
      if (write != read) std::copy(text.begin() + read, text.begin() + amp, text.begin() + write);
      write += amp - read;
      read = amp;
      continue;
    }
    const bool reference = read + 1 < text.size() && text[read + 1] == u'#';
    if (reference && semicolon != std::u16string_view::npos && semicolon < read + 2)
      semicolon = view.find(u';', read + 2);
    if (!reference || semicolon == std::u16string_view::npos) {
      text[write++] = text[read++];
      continue;
    }
    const long code = PlainDecimal(view.substr(read + 2, semicolon - read - 2));
    if (!IsCharacterCode(code)) {
      text[write++] = text[read++];
      continue;
    }
    write = PutCharacter(text, write, code);
    read = semicolon + 1;
  }
  text.resize(write);
}

}  // namespace

std::u16string UnescapeHtmlEntities(std::u16string text) {
  // Both steps start at the first "&": nothing before it changes.
  const size_t first = FindAmpersand(text, 0);
  if (first == text.size()) return text;
  ResolveNamedEntities(text, first);
  ResolveNumericReferences(text, first);
  return text;
}

std::u16string EscapeHtmlText(std::u16string_view text) {
  std::u16string s = ReplaceAll(text, u"&", u"&amp;");
  s = ReplaceAll(s, u"<", u"&lt;");
  return ReplaceAll(s, u">", u"&gt;");
}

}  // namespace wrenly
