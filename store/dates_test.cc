#include "store/dates.h"

#include <gtest/gtest.h>

#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

// 2009-01-27 04:44:03 UTC
constexpr Instant kJan27 = 1233031443;

std::u16string Canonical(std::u16string_view text) {
  std::u16string out = u"untouched";
  return CanonicalizeDate(text, out) ? out : u"(kept) " + out;
}

TEST(IsoDate, ZoneFormsAndSeconds) {
  EXPECT_EQ(ParseIsoDate("2009-01-27T04:44:03Z"), kJan27);
  // +08:00 and +0800 are the same instant, 20:44:57 UTC the day before.
  const Instant east = ParseIsoDate("2009-01-27T04:44:57+08:00");
  EXPECT_EQ(east, 1233002697);
  EXPECT_EQ(ParseIsoDate("2009-01-27T04:44:57+0800"), east);
  EXPECT_EQ(ParseIsoDate("2009-01-27T04:44:57-05:30"), 1233031497 + 5 * 3600 + 30 * 60);
  EXPECT_EQ(ParseIsoDate("  2009-01-27T04:44:7Z"), kJan27 - 3 + 7);
  EXPECT_EQ(ParseIsoDate("2009-01-27T04:44Z"), kJan27 - 3);
  EXPECT_EQ(ParseIsoDate("2009-01-27T00:00"), kJan27 - (4 * 3600 + 44 * 60 + 3));
  // A bare date is midnight UTC.
  EXPECT_EQ(ParseIsoDate("2009-01-27"), kJan27 - (4 * 3600 + 44 * 60 + 3));
  // Unknown trailing text leaves the time as UTC.
  EXPECT_EQ(ParseIsoDate("2009-01-27T04:44:03 CET"), kJan27);
}

TEST(IsoDate, FractionOfASecondDoesNotHideTheZone) {
  EXPECT_EQ(ParseIsoDate("2009-01-27T04:44:57.000+08:00"), 1233002697);
  EXPECT_EQ(ParseIsoDate("2009-01-27T04:44:03.123456Z"), kJan27);
}

TEST(Rfc822Date, YearFormsAndZones) {
  EXPECT_EQ(ParseRfc822Date("Tue, 27 Jan 2009 04:44:03 GMT"), kJan27);
  EXPECT_EQ(ParseRfc822Date("27 Jan 09 04:44:03 +0000"), kJan27);
  EXPECT_EQ(ParseRfc822Date("27 Jan 2009 04:44:03 UT"), kJan27);
  EXPECT_EQ(ParseRfc822Date("27 january 2009 04:44:03"), kJan27);
  // MST finds its own entry before the single letter M.
  EXPECT_EQ(ParseRfc822Date("27 Jan 2009 04:44:03 MST"), kJan27 + 7 * 3600);
  EXPECT_EQ(ParseRfc822Date("27 Jan 2009 04:44:03 M"), kJan27 + 12 * 3600);
  EXPECT_EQ(ParseRfc822Date("27 Jan 2009 04:44:03 (EDT)"), kJan27 + 4 * 3600);
  EXPECT_EQ(ParseRfc822Date("27 Jan 2009 04:44:03 +0800"), kJan27 - 8 * 3600);
  EXPECT_EQ(ParseRfc822Date("27 Jan 2009 04:44:03 -0530"), kJan27 + 5 * 3600 + 30 * 60);
  EXPECT_EQ(ParseRfc822Date("27 Jan 2009 04:44:03 CET"), kJan27);
  EXPECT_EQ(ParseRfc822Date("Tue, 27 Jan 1999 04:44:03 GMT"), kJan27 - 315619200);
  EXPECT_EQ(ParseRfc822Date("27 Jan 99 04:44:03 GMT"), kJan27 - 315619200);
  // A numeric zone has at most four digits: a longer number is no zone (it
  // once overflowed the offset arithmetic).
  EXPECT_EQ(ParseRfc822Date("27 Jan 2009 04:44:03 +800"), kJan27 - 8 * 3600);
  EXPECT_EQ(ParseRfc822Date("27 Jan 2009 04:44:03 -188888888888888888200"), kJan27);
}

// The usual four-digit-year form at the edges of what it accepts: spacing,
// one-digit fields, letter case and out-of-range values all give what the
// general "%d %b %Y %T" reading gives.
TEST(Rfc822Date, FourDigitYearFormAtItsEdges) {
  constexpr Instant kDay = 24 * 3600;
  EXPECT_EQ(ParseRfc822Date("Tue,  27   JAN  2009   04:44:03 GMT"), kJan27);
  EXPECT_EQ(ParseRfc822Date("27\tJan 2009 04:44:03"), kJan27);
  EXPECT_EQ(ParseRfc822Date("7 jan 2009 04:44:03"), kJan27 - 20 * kDay);
  EXPECT_EQ(ParseRfc822Date("07 Jan 2009 04:44:03"), kJan27 - 20 * kDay);
  EXPECT_EQ(ParseRfc822Date("27 Jan 2009 4:44:03"), kJan27);
  EXPECT_EQ(ParseRfc822Date("27 Jan 2009 04:44:3"), kJan27);
  EXPECT_EQ(ParseRfc822Date("27 Jan 2009 04:44:60"), kJan27 + 57);
  EXPECT_EQ(ParseRfc822Date("27 Jan 2009 04:44:033 +0100"), kJan27);
  EXPECT_EQ(ParseRfc822Date("27 May 2009 04:44:03"), kJan27 + 120 * kDay);
  EXPECT_EQ(ParseRfc822Date("27 Mayo 2009 04:44:03"), 0);
  EXPECT_EQ(ParseRfc822Date("31 Dec 2009 23:59:59 +0100"), 1262303999 - 3600);
  for (const char* text : {"32 Jan 2009 04:44:03", "0 Jan 2009 04:44:03", "27 Jan 2009 24:44:03",
                           "27 Jan 2009 04:60:03", "27 Jan 2009 04:44:61", "127 Jan 2009 04:44:03"})
    EXPECT_EQ(ParseRfc822Date(text), 0) << text;
}

TEST(Dates, MalformedTextsGiveNoResult) {
  for (const char* text :
       {"27 Jan 2009 04:44 GMT", "", ",", "Tue,", "2009-13-01T00:00Z", "2009-02-30T10:00Z",
        "31 Apr 2009 04:44:03 GMT", "29 Feb 2009 04:44:03 GMT", "27 Foo 2009 04:44:03",
        "2100-01-01T00:00Z", "1970-01-01T00:00:00Z", "\x01\xff\xfe garbage",
        "not a date at all"}) {
    EXPECT_EQ(ParseIsoDate(text), 0) << text;
    EXPECT_EQ(ParseRfc822Date(text), 0) << text;
  }
  // A time the first ISO form refuses still yields the bare date in front of it.
  EXPECT_EQ(ParseIsoDate("2009-01-27T25:00Z"), kJan27 - (4 * 3600 + 44 * 60 + 3));
  EXPECT_NE(ParseRfc822Date("29 Feb 2008 04:44:03 GMT"), 0);
  EXPECT_EQ(ParseRfc822Date(std::string(100000, '9') + " Jan 2009 04:44:03"), 0);
}

TEST(Dates, CanonicalTextIsLocalTimeWithThePresentOffset) {
  testsupport::ScopedEnv tz("TZ", "UTC-8");
  EXPECT_EQ(PresentLocalOffset(), 8 * 3600);
  EXPECT_EQ(Canonical(u"2009-01-27T04:44:03Z"), u"2009-01-27 12:44:03");
  EXPECT_EQ(Canonical(u"Tue, 27 Jan 2009 04:44:03 GMT"), u"2009-01-27 12:44:03");
  EXPECT_EQ(Canonical(u"2009-01-27T04:44:57+08:00"), u"2009-01-27 04:44:57");
  // Without a letter a text is never parsed; unreadable texts are kept.
  EXPECT_EQ(Canonical(u"2009-01-27"), u"(kept) untouched");
  EXPECT_EQ(Canonical(u"27 Jan 2009 04:44 GMT"), u"(kept) untouched");
  EXPECT_EQ(Canonical(u"yesterday"), u"(kept) untouched");
  EXPECT_EQ(Canonical(u"2009-01-27T00:00"), u"2009-01-27 08:00:00");
}

TEST(Dates, OneOffsetForEverySeason) {
  // A zone with summer time: summer and winter dates shift by the offset of now.
  testsupport::ScopedEnv tz("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
  const long offset = PresentLocalOffset();
  ASSERT_TRUE(offset == 3600 || offset == 7200);
  const std::u16string hour = offset == 3600 ? u"05" : u"06";
  EXPECT_EQ(Canonical(u"2009-01-27T04:00:00Z"), u"2009-01-27 " + hour + u":00:00");
  EXPECT_EQ(Canonical(u"2009-07-27T04:00:00Z"), u"2009-07-27 " + hour + u":00:00");
}

TEST(Dates, LocalNowIsCanonical) {
  testsupport::ScopedEnv tz("TZ", "UTC0");
  std::tm fields = LocalTimeOf(kJan27);
  EXPECT_EQ(FormatCanonical(fields), u"2009-01-27 04:44:03");
  const std::u16string now = LocalTimeNowText();
  ASSERT_EQ(now.size(), 19u);
  std::u16string again;
  ASSERT_TRUE(CanonicalizeDate(now.substr(0, 10) + u"T" + now.substr(11) + u"Z", again));
  EXPECT_EQ(again, now);
}

}  // namespace
}  // namespace wrenly
