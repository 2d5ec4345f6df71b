// Resolving an address as written in a page (absolute, protocol-relative
// "//host/x", root-relative "/x" or relative "x", "../x", "?q", "#f") against
// the address of the page it appears in, the way a browser does: RFC 3986
// reference resolution with dot segments removed, blanks dropped, and the
// characters that may not stand in an address percent-encoded. Used for
// pictures and logos of feeds, pictures of full texts and the links of
// extracted articles. Pure functions; safe anywhere.
#pragma once

#include <string>
#include <string_view>

namespace wrenly {

// The reference made absolute against `base` (UTF-8). Blanks around the
// reference are dropped, tabs and line breaks inside it removed. A reference
// with its own scheme is kept (only cleaned). The result is percent-encoded
// after its host: blanks, quotes, angle brackets, backslashes, backticks and
// the bytes of non-ASCII characters; existing escapes stay. An empty result
// means the reference cannot be resolved: it is relative and `base` has no
// scheme and host ("scheme://..."), or the result's host is not a host name,
// an IPv4 or a bracketed IPv6 address (with user and port), so that no
// address ever carries markup in its host.
std::string ResolveWebAddress(std::string_view base, std::string_view reference);
// The same for UTF-16 text (converted to UTF-8 and back).
std::u16string ResolveWebAddress(std::u16string_view base, std::u16string_view reference);

// The scheme of an address in lower case ("http"), or "" when it has none.
std::string UrlScheme(std::string_view url);

}  // namespace wrenly
