// Feed dates: turns the date texts of feeds (ISO 8601 / W3C and RFC 822
// forms) into the canonical local-time text the item store sorts by, and
// supplies the few clock conversions the store needs.
// Safe for concurrent use: parsing runs in a per-thread "C" locale.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace wrenly {

// Seconds since 1970-01-01 00:00:00 UTC as a signed 32-bit value; 0 is "no result".
using Instant = int32_t;

// Turns a feed's date text into "YYYY-MM-DD hh:mm:ss" in local time. False
// (and `out` untouched) when the text has no ASCII letter or matches none of
// the accepted forms; the caller then keeps its own text.
bool CanonicalizeDate(std::u16string_view text, std::u16string& out);

// "2009-01-27T04:44:03+08:00" style dates, and bare "2009-01-27" (midnight
// UTC). The text is in the system code page. 0 on failure.
Instant ParseIsoDate(const std::string& text);

// "Tue, 27 Jan 2009 04:44:03 GMT" style dates with two- or four-digit years,
// zone names of the RFC 822 table or a +hhmm/-hhmm offset. 0 on failure.
Instant ParseRfc822Date(const std::string& text);

// The clock now, for URL-index stamps.
Instant CurrentInstant();

// The present offset between local time and UTC in seconds (east positive).
// The same offset is applied to every date, whatever its season.
long PresentLocalOffset();

// The instant shifted by the present local offset, as calendar fields.
std::tm LocalTimeOf(Instant instant);

// "YYYY-MM-DD hh:mm:ss" of calendar fields (month 0-11, years since 1900).
std::u16string FormatCanonical(const std::tm& fields);

// The local time now in the canonical form (dates of records made without a
// feed date, the error record).
std::u16string LocalTimeNowText();

}  // namespace wrenly
