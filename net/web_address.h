// Resolving an address as written in a page (absolute, protocol-relative
// "//host/x", root-relative "/x" or relative "x", "../x", "?q") against the
// address of the page it appears in, the way a browser does (RFC 3986,
// section 5.2, with dot segments removed). Pure functions; safe anywhere.
#pragma once

#include <string>
#include <string_view>

namespace wrenly {

// The reference made absolute against `base`. A reference that has a scheme
// is returned as it is; so is any reference when `base` is not absolute
// (has no scheme and "//"), since there is nothing to resolve it against.
// Blanks around the reference are ignored.
std::u16string ResolveWebAddress(std::u16string_view base, std::u16string_view reference);

}  // namespace wrenly
