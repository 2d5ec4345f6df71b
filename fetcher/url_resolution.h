// Making the addresses of an extracted article absolute: a reference (href or
// src as the page wrote it) resolved against the page's base address, with
// the characters that cannot stand in an address or an HTML attribute
// percent-encoded. Pure functions; safe for concurrent use.
#pragma once

#include <string>
#include <string_view>

namespace wrenly {

// Resolves reference against base (an absolute address) the way a browser
// does: "//host/x", "/x", "x", "../x", "?q" and "#f" forms, dot segments
// removed. Blanks around the reference are dropped; tabs and line breaks
// inside it are removed. A reference with its own scheme is kept as it is
// (only cleaned). An empty result means the reference cannot be resolved
// (base is not absolute and the reference is relative).
std::string ResolveUrl(std::string_view base, std::string_view reference);

// The scheme of an address in lower case ("http"), or "" when it has none.
std::string UrlScheme(std::string_view url);

}  // namespace wrenly
