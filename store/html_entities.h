// HTML entity handling for feed titles and descriptions: the five named
// entities and plain decimal character references, and the reverse escaping
// that makes plain text show as text in HTML. Pure functions.
#pragma once

#include <string>
#include <string_view>

namespace wrenly {

// Replaces "&lt;", "&gt;", "&apos;", "&quot;" and "&amp;" (in that order,
// each over the whole text: "&amp;lt;" ends as "&lt;"), then every plain
// decimal reference "&#n;" (no sign, no leading zero) by its character, a
// surrogate pair above U+FFFF. References to 0, to surrogates, above
// U+10FFFF, hexadecimal or with leading zeros stay as written.
std::u16string UnescapeHtmlEntities(std::u16string text);

// "&", "<" and ">" as entities, so that the text shows as written.
std::u16string EscapeHtmlText(std::u16string_view text);

}  // namespace wrenly
