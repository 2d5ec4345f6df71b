// Text as search compares it: letters in lower case and without accents
// (Latin, Greek and Cyrillic), combining marks dropped, markup reduced to its
// text. Other scripts, Chinese among them, stay as they are and match by
// substring. Pure functions; safe anywhere.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wrenly::reader {

std::u16string FoldForSearch(std::u16string_view text);

// The text of HTML: tags, comments, scripts and styles left out (each a
// blank), character references resolved.
std::u16string HtmlText(std::u16string_view html);

// The folded words of a query, split at blanks.
std::vector<std::u16string> SearchWords(std::u16string_view query);

// Whether the folded text holds every folded word.
bool HoldsEveryWord(std::u16string_view folded, const std::vector<std::u16string>& words);

}  // namespace wrenly::reader
