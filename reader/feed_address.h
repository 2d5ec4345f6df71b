// When two feed addresses name the same feed, so that one feed is never
// subscribed twice. Not a full URL normalisation: blanks around the address,
// the case of the scheme and host and a default port (80 for http, 443 for
// https) do not count, and an empty path is "/". Everything else counts,
// also a trailing "/" after a path ("/feed" and "/feed/" may be two
// resources), the case of the path and the query. Safe for concurrent use.
#pragma once

#include <string>
#include <string_view>

namespace wrenly::reader {

// The form addresses are compared in.
std::u16string ComparableFeedAddress(std::u16string_view address);

bool SameFeedAddress(std::u16string_view a, std::u16string_view b);

}  // namespace wrenly::reader
