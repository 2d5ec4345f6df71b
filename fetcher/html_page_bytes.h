// The bytes of a downloaded or saved web page before extraction: whether they
// are an HTML page at all (not a PDF, a picture or other binary data), and
// their text in UTF-8 whatever the page's character set. Pure functions;
// safe for concurrent use.
#pragma once

#include <string>
#include <string_view>

namespace wrenly {

// True when the bytes read as an HTML document: text (no NUL or other
// binary control bytes near the start, no known binary signature) with at
// least one HTML element tag.
bool LooksLikeHtml(std::string_view bytes);

// The page as UTF-8: a byte-order mark decides first; then bytes that are
// valid UTF-8 are taken as such (pages often declare a charset they do not
// use); then the charset of a <meta> near the start; else windows-1252.
std::string HtmlPageToUtf8(std::string_view bytes);

}  // namespace wrenly
