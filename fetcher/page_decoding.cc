#include "fetcher/page_decoding.h"

#include "platform/text.h"
#include "platform/text_file.h"

namespace wrenly {
namespace {

struct Charset {
  const char* name;
  unsigned codePage;
};

// Searched from the top; the first match wins.
constexpr Charset kCharsets[] = {
    {"ASMO-708", 708},      {"DOS-720", 720},          {"iso-8859-6", 28596},
    {"windows-1256", 1256}, {"windows-1257", 1257},    {"ibm852", 852},
    {"iso-8859-2", 28592},  {"windows-1250", 1250},    {"gb2312", 936},
    {"big5", 950},          {"DOS-862", 862},          {"cp866", 866},
    {"windows-874", 874},   {"shift_jis", 932},        {"ks_c_5601-1987", 949},
    {"windows-1251", 1251}, {"iso-8859-1", 1252},      {"windows-1253", 1253},
    {"iso-8859-9", 1254},   {"windows-1255", 1255},    {"windows-1258", 1258},
    {"koi8-r", 20866},      {"koi8-ru", 21866},        {"iso-8859-5", 28595},
    {"iso-8859-7", 28597},  {"iso-8859-8", 28598},     {"iso-8859-8-i", 38598},
    {"euc-jp", 51932},      {"hz-gb-2312", 52936},     {"utf-8", 65001},
};

// Code pages of the table that the platform's code page list lacks, with the
// iconv charset that decodes them. DOS-720 has no iconv charset and falls back
// to the system code page like any unknown number.
constexpr Charset kExtraIconvNames[] = {
    {"ASMO-708", 708}, {"CP852", 852}, {"CP862", 862}, {"ISO-8859-8", 38598}};

// A leading decimal number as the C runtime reads it (blanks, optional sign,
// digits); 0 when there is none or it does not fit.
long LeadingNumber(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  long value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > 0x7FFFFFFF) return 0;
  }
  return negative ? -value : value;
}

std::u16string DecodeCodePage(unsigned codePage, std::string_view bytes) {
  if (!IconvNameForCodePage(codePage)) {
    for (const Charset& extra : kExtraIconvNames) {
      if (extra.codePage != codePage) continue;
      if (auto text = DecodeCharset(extra.name, bytes)) return *text;
    }
  }
  return CodePageToUtf16(codePage, bytes);
}

}  // namespace

unsigned CodePageForEncoding(std::u16string_view encoding) {
  if (encoding.empty()) return SystemCodePage();
  const std::u16string lower = AsciiLower(encoding);
  for (const Charset& charset : kCharsets) {
    if (lower == AsciiLower(Utf8ToUtf16(charset.name))) return charset.codePage;
  }
  const long number = LeadingNumber(encoding);
  return number >= 1 ? static_cast<unsigned>(number) : SystemCodePage();
}

std::u16string DecodeWithByteOrderMark(std::string_view bytes, unsigned codePage) {
  if (auto text = DecodeMarkedText(bytes)) return std::move(*text);
  if (bytes.empty()) return {};
  return DecodeCodePage(codePage, bytes);
}

}  // namespace wrenly
