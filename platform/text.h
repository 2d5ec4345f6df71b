// Text conversions between the programs' internal UTF-16 and the byte forms
// found in files and on the network: UTF-8, UTF-16LE/BE and Windows code pages
// (through glibc iconv). Every conversion of the programs goes through here.
// Safe for concurrent use; the system code page override is process-wide.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wrenly {

constexpr unsigned kCodePageUtf8 = 65001;
constexpr unsigned kCodePageUtf16LE = 1200;
constexpr unsigned kCodePageUtf16BE = 1201;

// Strict UTF-8 with surrogate pairs for characters above U+FFFF; a malformed
// sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Surrogate pairs become one 4-byte sequence; an unpaired surrogate becomes
// U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

std::u16string Utf16LEToUtf16(std::string_view bytes);  // odd last byte dropped
std::u16string Utf16BEToUtf16(std::string_view bytes);
std::string Utf16ToUtf16LE(std::u16string_view text);

// The iconv name of a Windows code page number (936 -> "GB2312" style names),
// or nothing when the number is not known.
std::optional<std::string> IconvNameForCodePage(unsigned codePage);

// Decodes bytes in a named charset (any name iconv knows). Nothing when the
// charset is unknown; undecodable bytes become U+FFFD.
std::optional<std::u16string> DecodeCharset(std::string_view charset, std::string_view bytes);
// Encodes into a named charset; characters it cannot represent become '?'.
std::optional<std::string> EncodeCharset(std::string_view charset, std::u16string_view text);

// Code page conversions by Windows number; an unknown number falls back to
// the system code page.
std::u16string CodePageToUtf16(unsigned codePage, std::string_view bytes);
std::string Utf16ToCodePage(unsigned codePage, std::u16string_view text);

// The "system" (ANSI) code page: the locale's character set, UTF-8 (65001)
// when the locale is UTF-8, "C" or POSIX.
unsigned SystemCodePage();
// Makes SystemCodePage() answer codePage until reset with 0 (for tests).
void SetSystemCodePageForTesting(unsigned codePage);

// The text without any of `chars` at either end: blanks and tabs by default,
// kSpaceChars to take line breaks too.
inline constexpr std::string_view kBlankChars = " \t";
inline constexpr std::string_view kSpaceChars = " \t\r\n";
inline constexpr std::u16string_view kBlankChars16 = u" \t";
inline constexpr std::u16string_view kSpaceChars16 = u" \t\r\n";
std::string_view Trim(std::string_view text, std::string_view chars = kBlankChars);
std::u16string_view Trim(std::u16string_view text, std::u16string_view chars = kBlankChars16);

// Lower-case ASCII copy, for comparing names that are ASCII by definition.
std::string AsciiLower(std::string_view text);
std::u16string AsciiLower(std::u16string_view text);

// A count or channel number as the catalog stores it: decimal digits only.
// 0 for anything else, for an empty text and for more than nine digits.
int ParseDecimal(std::u16string_view text);

}  // namespace wrenly
