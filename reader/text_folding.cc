#include "reader/text_folding.h"

#include "store/html_entities.h"

namespace wrenly::reader {
namespace {

// The base letter of U+00C0 to U+017F ('.' where there is none): the
// Latin-1 letters, then Latin Extended-A in its upper/lower pairs.
constexpr std::u16string_view kLatinBases =
    u"aaaaaaaceeeeiiii"  // C0
    u"dnooooo.ouuuuyts"  // D0
    u"aaaaaaaceeeeiiii"  // E0
    u"dnooooo.ouuuuyty"  // F0
    u"aaaaaaccccccccdd"  // 100
    u"ddeeeeeeeeeegggg"  // 110
    u"gggghhhhiiiiiiii"  // 120
    u"iiiijjkkklllllll"  // 130
    u"lllnnnnnnnnnoooo"  // 140
    u"oooorrrrrrssssss"  // 150
    u"ssttttttuuuuuuuu"  // 160
    u"uuuuwwyyyzzzzzzs";  // 170
static_assert(kLatinBases.size() == 0x180 - 0xC0);

char16_t FoldChar(char16_t c) {
  if (c >= u'A' && c <= u'Z') return c + 32;
  if (c >= 0xC0 && c <= 0x17F && kLatinBases[c - 0xC0] != u'.') return kLatinBases[c - 0xC0];
  if (c >= 0x391 && c <= 0x3A9) return c + 32;  // Greek capitals
  if (c >= 0x410 && c <= 0x42F) return c + 32;  // Cyrillic capitals
  if (c >= 0x400 && c <= 0x40F) return c + 80;  // Cyrillic capitals with marks
  return c;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == 0x3000 || c == 0xA0; }

// Where markup that hides its content ends: its end tag, or the end of the text.
std::size_t SkipHidden(std::u16string_view html, std::size_t from, std::u16string_view endTag) {
  for (std::size_t at = html.find(u'<', from); at != std::u16string_view::npos; at = html.find(u'<', at + 1)) {
    std::size_t i = 0;
    while (i < endTag.size() && at + i < html.size() && FoldChar(html[at + i]) == endTag[i]) ++i;
    if (i == endTag.size()) return at;
  }
  return html.size();
}

}  // namespace

std::u16string FoldForSearch(std::u16string_view text) {
  std::u16string folded;
  folded.reserve(text.size());
  for (char16_t c : text)
    if (c < 0x300 || c > 0x36F) folded.push_back(FoldChar(c));
  return folded;
}

std::u16string HtmlText(std::u16string_view html) {
  std::u16string text;
  std::size_t pos = 0;
  while (pos < html.size()) {
    const std::size_t lt = html.find(u'<', pos);
    text.append(html.substr(pos, lt == std::u16string_view::npos ? std::u16string_view::npos : lt - pos));
    if (lt == std::u16string_view::npos) break;
    text.push_back(u' ');
    if (html.substr(lt, 4) == u"<!--") {
      const std::size_t end = html.find(u"-->", lt);
      pos = end == std::u16string_view::npos ? html.size() : end + 3;
      continue;
    }
    const std::size_t gt = html.find(u'>', lt);
    if (gt == std::u16string_view::npos) break;
    const std::u16string name = FoldForSearch(html.substr(lt + 1, std::min<std::size_t>(6, gt - lt - 1)));
    pos = gt + 1;
    if (name.starts_with(u"script")) pos = SkipHidden(html, pos, u"</script");
    else if (name.starts_with(u"style")) pos = SkipHidden(html, pos, u"</style");
  }
  return UnescapeHtmlEntities(std::move(text));
}

std::vector<std::u16string> SearchWords(std::u16string_view query) {
  std::vector<std::u16string> words;
  const std::u16string folded = FoldForSearch(query);
  std::size_t pos = 0;
  while (pos < folded.size()) {
    while (pos < folded.size() && IsBlank(folded[pos])) ++pos;
    std::size_t end = pos;
    while (end < folded.size() && !IsBlank(folded[end])) ++end;
    if (end > pos) words.push_back(folded.substr(pos, end - pos));
    pos = end;
  }
  return words;
}

bool HoldsEveryWord(std::u16string_view folded, const std::vector<std::u16string>& words) {
  for (const std::u16string& word : words)
    if (folded.find(word) == std::u16string_view::npos) return false;
  return true;
}

}  // namespace wrenly::reader
