// Field parsing uses glibc strptime. Its month names and white-space rules
// depend on the thread's locale, so every call switches the calling thread
// (and only it, through uselocale) to one shared "C" locale for its length.
#include "store/dates.h"

#include <locale.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/text.h"

namespace wrenly {
namespace {

struct Zone {
  const char* name;
  int hhmm;  // offset written as +-hhmm
};

// Searched in this order, by prefix: "MST" must come before the single "M".
constexpr Zone kZoneTable[] = {
    {"UT", 0},     {"GMT", 0},    {"EST", -500}, {"EDT", -400}, {"CST", -600},
    {"CDT", -500}, {"MST", -700}, {"MDT", -600}, {"PST", -800}, {"PDT", -700},
    {"Z", 0},      {"A", -100},   {"M", -1200},  {"N", 100},    {"Y", 1200},
};

locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}

// strptime in the "C" locale, whatever the calling thread's locale is.
const char* StrptimeC(const char* text, const char* format, std::tm* fields) {
  const locale_t previous = uselocale(CLocale());
  const char* rest = strptime(text, format, fields);
  uselocale(previous);
  return rest;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int TwoDigits(const char* p) { return (p[0] - '0') * 10 + (p[1] - '0'); }

long HhmmToSeconds(long hhmm) { return (hhmm / 100) * 3600 + (hhmm % 100) * 60; }

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month0) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month0 == 1 && IsLeapYear(year) ? 29 : kDays[month0];
}

// Fields that name no real calendar time (30 February, hour 25) give 0
// rather than a silently shifted date.
bool FieldsAreReal(const std::tm& f) {
  if (f.tm_mon < 0 || f.tm_mon > 11 || f.tm_mday < 1) return false;
  if (f.tm_mday > DaysInMonth(f.tm_year + 1900, f.tm_mon)) return false;
  return f.tm_hour >= 0 && f.tm_hour <= 23 && f.tm_min >= 0 && f.tm_min <= 59 &&
         f.tm_sec >= 0 && f.tm_sec <= 60;
}

// The fields read as UTC, minus the zone offset; 0 when outside 32 bits.
Instant ToInstant(std::tm fields, long zoneOffset) {
  if (!FieldsAreReal(fields)) return 0;
  const long long seconds = static_cast<long long>(timegm(&fields)) - zoneOffset;
  if (seconds < std::numeric_limits<Instant>::min() ||
      seconds > std::numeric_limits<Instant>::max())
    return 0;
  return static_cast<Instant>(seconds);
}

// Seconds after the minutes of an ISO time: ":ss", "ss", ":s" or none.
const char* ReadIsoSeconds(const char* p, std::tm& fields) {
  if (*p == ':') ++p;
  fields.tm_sec = 0;
  if (IsDigit(p[0]) && IsDigit(p[1])) {
    fields.tm_sec = TwoDigits(p);
    return p + 2;
  }
  if (IsDigit(p[0])) {
    fields.tm_sec = p[0] - '0';
    return p + 1;
  }
  return p;
}

// "Z", "+hh", "+hh:mm", "+hhmm" (or "-"); anything else is UTC. A fraction of
// a second (".123") before the zone is skipped, so that it does not hide the
// offset that follows it.
long ReadIsoZone(const char* p) {
  if ((*p == '.' || *p == ',') && IsDigit(p[1])) {
    ++p;
    while (IsDigit(*p)) ++p;
  }
  if ((*p != '+' && *p != '-') || !IsDigit(p[1]) || !IsDigit(p[2])) return 0;
  long offset = TwoDigits(p + 1) * 3600L;
  const char* m = p + 3;
  if (*m == ':') ++m;
  if (IsDigit(m[0]) && IsDigit(m[1])) offset += TwoDigits(m) * 60L;
  return *p == '-' ? -offset : offset;
}

long ReadRfc822Zone(const char* p) {
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  if (*p == '+' || *p == '-') {
    // "+hhmm": at most four digits; a longer number is no zone at all.
    long hhmm = 0;
    int digits = 0;
    for (const char* d = p + 1; IsDigit(*d); ++d, ++digits)
      if (digits < 4) hhmm = hhmm * 10 + (*d - '0');
    if (digits == 0 || digits > 4) return 0;
    return HhmmToSeconds(*p == '-' ? -hhmm : hhmm);
  }
  if (*p == '(') ++p;
  for (const Zone& zone : kZoneTable) {
    if (std::strncmp(p, zone.name, std::strlen(zone.name)) == 0) return HhmmToSeconds(zone.hhmm);
  }
  return 0;
}

// Whether the year after "day month " has four digits and a blank: the
// two-digit-year form then fails for certain (its hour would take the
// year's last two digits and miss the ":"), so it need not be tried.
bool HasFourDigitYear(const char* p) {
  auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (blank(*p)) ++p;
  while (IsDigit(*p)) ++p;
  while (blank(*p)) ++p;
  while (std::isalpha(static_cast<unsigned char>(*p))) ++p;
  while (blank(*p)) ++p;
  return IsDigit(p[0]) && IsDigit(p[1]) && IsDigit(p[2]) && IsDigit(p[3]) && blank(p[4]);
}

bool HasAsciiLetter(std::u16string_view text) {
  for (char16_t c : text) {
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) return true;
  }
  return false;
}

// Whether the first character after C-locale white space is an ASCII letter:
// both ISO formats then fail at once, as their year needs a digit there.
bool StartsWithLetter(const char* p) {
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  return (*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z');
}

// "d Mon yyyy hh:mm:ss" (a one- or two-digit day, spaces between the parts)
// read directly, for the form nearly every RSS date takes. Only text on which
// strptime's "%d %b %Y %T" reads the same fields, with every value in its
// range, is accepted; anything else returns nullptr and goes to strptime.
const char* ReadPlainRfc822(const char* p, std::tm& fields) {
  static constexpr char kMonths[] = "janfebmaraprmayjunjulaugsepoctnovdec";
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  auto number = [](const char* q, int digits) {
    int n = 0;
    for (int k = 0; k < digits; ++k) n = n * 10 + (q[k] - '0');
    return n;
  };
  while (*p == ' ') ++p;
  if (!IsDigit(p[0])) return nullptr;
  const int dayDigits = IsDigit(p[1]) ? 2 : 1;
  const int day = number(p, dayDigits);
  if (day < 1 || day > 31 || p[dayDigits] != ' ') return nullptr;
  p += dayDigits;
  while (*p == ' ') ++p;
  if (p[0] == '\0' || p[1] == '\0' || p[2] == '\0' || p[3] != ' ') return nullptr;
  int month = -1;
  for (int m = 0; m < 12; ++m) {
    if (lower(p[0]) == kMonths[m * 3] && lower(p[1]) == kMonths[m * 3 + 1] &&
        lower(p[2]) == kMonths[m * 3 + 2]) {
      month = m;
      break;
    }
  }
  if (month < 0) return nullptr;
  p += 3;
  while (*p == ' ') ++p;
  for (int k = 0; k < 4; ++k)
    if (!IsDigit(p[k])) return nullptr;
  if (p[4] != ' ') return nullptr;
  const int year = number(p, 4);
  p += 4;
  while (*p == ' ') ++p;
  if (!IsDigit(p[0]) || !IsDigit(p[1]) || p[2] != ':' || !IsDigit(p[3]) || !IsDigit(p[4]) ||
      p[5] != ':' || !IsDigit(p[6]) || !IsDigit(p[7]))
    return nullptr;
  const int hour = TwoDigits(p), minute = TwoDigits(p + 3), second = TwoDigits(p + 6);
  if (hour > 23 || minute > 59 || second > 61) return nullptr;
  fields.tm_mday = day;
  fields.tm_mon = month;
  fields.tm_year = year - 1900;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  return p + 8;
}

}  // namespace

Instant ParseIsoDate(const std::string& text) {
  if (StartsWithLetter(text.c_str())) return 0;
  std::tm fields{};
  const char* rest = StrptimeC(text.c_str(), "%t%Y-%m-%dT%H:%M%t", &fields);
  if (rest == nullptr) {
    fields = std::tm{};
    if (StrptimeC(text.c_str(), "%t%Y-%m-%d", &fields) == nullptr) return 0;
    return ToInstant(fields, 0);
  }
  rest = ReadIsoSeconds(rest, fields);
  return ToInstant(fields, ReadIsoZone(rest));
}

Instant ParseRfc822Date(const std::string& text) {
  const char* start = text.c_str();
  if (const char* comma = std::strchr(start, ',')) start = comma + 1;
  std::tm fields{};
  const bool fourDigitYear = HasFourDigitYear(start);
  const char* rest = fourDigitYear ? ReadPlainRfc822(start, fields)
                                   : StrptimeC(start, "%d %b %y %T", &fields);
  if (rest == nullptr) {
    fields = std::tm{};
    rest = StrptimeC(start, "%d %b %Y %T", &fields);
  }
  if (rest == nullptr) return 0;
  return ToInstant(fields, ReadRfc822Zone(rest));
}

bool CanonicalizeDate(std::u16string_view text, std::u16string& out) {
  if (!HasAsciiLetter(text)) return false;
  const std::string bytes = Utf16ToCodePage(SystemCodePage(), text);
  Instant instant = ParseIsoDate(bytes);
  if (instant == 0) instant = ParseRfc822Date(bytes);
  if (instant == 0) return false;
  out = FormatCanonical(LocalTimeOf(instant));
  return true;
}

Instant CurrentInstant() { return static_cast<Instant>(std::time(nullptr)); }

// tzset() looks at the zone file again on every call (a stat when TZ is not
// set), which would dominate the parse of a large feed; the offset is
// therefore kept per thread for up to a second, and computed again at once
// when TZ changes.
long PresentLocalOffset() {
  struct Cached {
    bool valid = false;
    bool tzSet = false;
    std::string tz;
    std::time_t at = 0;
    long offset = 0;
  };
  thread_local Cached cached;
  const std::time_t now = std::time(nullptr);
  const char* tz = std::getenv("TZ");
  if (cached.valid && cached.at == now && cached.tzSet == (tz != nullptr) &&
      (tz == nullptr || cached.tz == tz))
    return cached.offset;
  tzset();  // localtime_r does not look at TZ again by itself
  std::tm local{};
  const long offset = localtime_r(&now, &local) != nullptr ? local.tm_gmtoff : 0;
  cached = Cached{true, tz != nullptr, tz != nullptr ? tz : "", now, offset};
  return offset;
}

std::tm LocalTimeOf(Instant instant) {
  const std::time_t shifted = static_cast<std::time_t>(instant) + PresentLocalOffset();
  std::tm fields{};
  gmtime_r(&shifted, &fields);
  return fields;
}

std::u16string FormatCanonical(const std::tm& f) {
  const int year = f.tm_year + 1900;
  if (year >= 0 && year <= 9999) {
    const int parts[] = {f.tm_mon + 1, f.tm_mday, f.tm_hour, f.tm_min, f.tm_sec};
    bool twoDigits = true;
    for (int v : parts) twoDigits = twoDigits && v >= 0 && v <= 99;
    if (twoDigits) {
      // What the format below prints, without going through printf.
      std::u16string out(u"0000-00-00 00:00:00");
      out[0] = static_cast<char16_t>(u'0' + year / 1000);
      out[1] = static_cast<char16_t>(u'0' + year / 100 % 10);
      out[2] = static_cast<char16_t>(u'0' + year / 10 % 10);
      out[3] = static_cast<char16_t>(u'0' + year % 10);
      for (int k = 0; k < 5; ++k) {
        out[5 + 3 * k] = static_cast<char16_t>(u'0' + parts[k] / 10);
        out[6 + 3 * k] = static_cast<char16_t>(u'0' + parts[k] % 10);
      }
      return out;
    }
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", f.tm_year + 1900,
                f.tm_mon + 1, f.tm_mday, f.tm_hour, f.tm_min, f.tm_sec);
  return std::u16string(buffer, buffer + std::strlen(buffer));
}

std::u16string LocalTimeNowText() { return FormatCanonical(LocalTimeOf(CurrentInstant())); }

}  // namespace wrenly
