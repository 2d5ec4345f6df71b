// UTF conversions are written out here (they are exact and small); every other
// charset goes through iconv, with one iconv descriptor per call.
#include "platform/text.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <utility>

namespace wrenly {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

void AppendCodePoint(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

// Length of the well-formed UTF-8 sequence at text[i], 0 when malformed.
size_t Utf8SequenceAt(std::string_view text, size_t i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  size_t len;
  char32_t min;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > text.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

struct CodePageName {
  unsigned number;
  const char* iconvName;
};

// Windows code page numbers and the iconv names of the same charsets.
constexpr CodePageName kCodePages[] = {
    {437, "CP437"},          {850, "CP850"},          {866, "CP866"},
    {874, "CP874"},          {932, "CP932"},          {936, "CP936"},
    {949, "CP949"},          {950, "CP950"},          {1200, "UTF-16LE"},
    {1201, "UTF-16BE"},      {1250, "CP1250"},        {1251, "CP1251"},
    {1252, "CP1252"},        {1253, "CP1253"},        {1254, "CP1254"},
    {1255, "CP1255"},        {1256, "CP1256"},        {1257, "CP1257"},
    {1258, "CP1258"},        {10000, "MACINTOSH"},    {12000, "UTF-32LE"},
    {12001, "UTF-32BE"},     {20127, "ASCII"},        {20866, "KOI8-R"},
    {21866, "KOI8-U"},       {28591, "ISO-8859-1"},   {28592, "ISO-8859-2"},
    {28593, "ISO-8859-3"},   {28594, "ISO-8859-4"},   {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},   {28597, "ISO-8859-7"},   {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},   {28603, "ISO-8859-13"},  {28605, "ISO-8859-15"},
    {50220, "ISO-2022-JP"},  {51932, "EUC-JP"},       {51936, "GB2312"},
    {51949, "EUC-KR"},       {52936, "HZ"},           {54936, "GB18030"},
    {65001, "UTF-8"},
};

// Locale codeset names (nl_langinfo) that differ from the table's names.
constexpr std::pair<const char*, unsigned> kCodesetAliases[] = {
    {"ANSI_X3.4-1968", kCodePageUtf8}, {"GB2312", 936},      {"GBK", 936},
    {"BIG5", 950},                     {"BIG5-HKSCS", 950},  {"EUC-JP", 51932},
    {"SHIFT_JIS", 932},                {"EUC-KR", 949},      {"TIS-620", 874},
};

std::atomic<unsigned> g_testCodePage{0};

unsigned CodePageForCodeset(std::string_view codeset) {
  const std::string upper = [&] {
    std::string s(codeset);
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  }();
  for (const auto& [name, number] : kCodesetAliases)
    if (upper == name) return number;
  for (const auto& entry : kCodePages)
    if (upper == entry.iconvName) return entry.number;
  return kCodePageUtf8;
}

unsigned LocaleCodePage() {
  locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) return kCodePageUtf8;
  const unsigned number = CodePageForCodeset(nl_langinfo_l(CODESET, loc));
  freelocale(loc);
  return number;
}

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts in to out; on a sequence that cannot be converted, onBad(in,
  // left, out) decides what to write and how many input bytes to skip.
  template <typename OnBad>
  void Run(std::string_view in, std::string& out, OnBad onBad) {
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    char buffer[4096];
    while (left > 0) {
      char* dst = buffer;
      size_t room = sizeof buffer;
      const size_t rc = iconv(cd_, &src, &left, &dst, &room);
      out.append(buffer, dst - buffer);
      if (rc != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) continue;
      const size_t skip = onBad(out, std::string_view(src, left));
      src += skip;
      left -= skip;
    }
    char* dst = buffer;
    size_t room = sizeof buffer;
    iconv(cd_, nullptr, nullptr, &dst, &room);
    out.append(buffer, dst - buffer);
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = 0;
    const size_t len = Utf8SequenceAt(utf8, i, cp);
    if (len == 0) {
      out.push_back(kReplacement);
      ++i;
    } else {
      AppendCodePoint(out, cp);
      i += len;
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] < 0x80) {
      // A run of ASCII is narrowed in one loop rather than pushed unit by unit.
      size_t end = i + 1;
      while (end < text.size() && text[end] < 0x80) ++end;
      const size_t at = out.size();
      out.resize(at + (end - i));
      for (char* put = out.data() + at; i < end; ++i) *put++ = static_cast<char>(text[i]);
      --i;
      continue;
    }
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::u16string Utf16LEToUtf16(std::string_view bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  return out;
}

std::u16string Utf16BEToUtf16(std::string_view bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char16_t>((static_cast<unsigned char>(bytes[2 * i]) << 8) |
                                   static_cast<unsigned char>(bytes[2 * i + 1]));
  return out;
}

std::string Utf16ToUtf16LE(std::u16string_view text) {
  std::string out(text.size() * 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    out[2 * i] = static_cast<char>(text[i] & 0xFF);
    out[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  return out;
}

std::optional<std::string> IconvNameForCodePage(unsigned codePage) {
  for (const auto& entry : kCodePages)
    if (entry.number == codePage) return std::string(entry.iconvName);
  return std::nullopt;
}

std::optional<std::u16string> DecodeCharset(std::string_view charset, std::string_view bytes) {
  const std::string name(charset);
  if (AsciiLower(name) == "utf-8" || AsciiLower(name) == "utf8") return Utf8ToUtf16(bytes);
  Iconv conv("UTF-16LE", name.c_str());
  if (!conv.ok()) return std::nullopt;
  std::string utf16le;
  utf16le.reserve(bytes.size() * 2);
  conv.Run(bytes, utf16le, [](std::string& out, std::string_view) {
    out.append("\xFD\xFF", 2);
    return size_t{1};
  });
  return Utf16LEToUtf16(utf16le);
}

std::optional<std::string> EncodeCharset(std::string_view charset, std::u16string_view text) {
  const std::string name(charset);
  if (AsciiLower(name) == "utf-8" || AsciiLower(name) == "utf8") return Utf16ToUtf8(text);
  Iconv conv(name.c_str(), "UTF-16LE");
  if (!conv.ok()) return std::nullopt;
  std::string out;
  out.reserve(text.size());
  conv.Run(Utf16ToUtf16LE(text), out, [](std::string& dst, std::string_view rest) {
    dst.push_back('?');
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>(rest[0]) |
                                            (rest.size() > 1 ? static_cast<unsigned char>(rest[1]) << 8 : 0));
    const bool pair = unit >= 0xD800 && unit <= 0xDBFF && rest.size() >= 4;
    return std::min(rest.size(), size_t{pair ? 4u : 2u});
  });
  return out;
}

std::u16string CodePageToUtf16(unsigned codePage, std::string_view bytes) {
  if (codePage == kCodePageUtf8) return Utf8ToUtf16(bytes);
  if (codePage == kCodePageUtf16LE) return Utf16LEToUtf16(bytes);
  if (codePage == kCodePageUtf16BE) return Utf16BEToUtf16(bytes);
  auto name = IconvNameForCodePage(codePage);
  if (!name) return CodePageToUtf16(SystemCodePage(), bytes);
  auto text = DecodeCharset(*name, bytes);
  return text ? std::move(*text) : Utf8ToUtf16(bytes);
}

std::string Utf16ToCodePage(unsigned codePage, std::u16string_view text) {
  if (codePage == kCodePageUtf8) return Utf16ToUtf8(text);
  if (codePage == kCodePageUtf16LE) return Utf16ToUtf16LE(text);
  auto name = IconvNameForCodePage(codePage);
  if (!name) return Utf16ToCodePage(SystemCodePage(), text);
  auto bytes = EncodeCharset(*name, text);
  return bytes ? std::move(*bytes) : Utf16ToUtf8(text);
}

unsigned SystemCodePage() {
  const unsigned forced = g_testCodePage.load();
  if (forced != 0) return forced;
  static const unsigned fromLocale = LocaleCodePage();
  return fromLocale;
}

void SetSystemCodePageForTesting(unsigned codePage) { g_testCodePage.store(codePage); }

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::u16string AsciiLower(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return out;
}

int ParseDecimal(std::u16string_view text) {
  if (text.size() > 9) return 0;
  int value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return 0;
    value = value * 10 + (c - u'0');
  }
  return value;
}

namespace {

template <typename View>
View TrimView(View text, View chars) {
  const std::size_t begin = text.find_first_not_of(chars);
  if (begin == View::npos) return {};
  return text.substr(begin, text.find_last_not_of(chars) - begin + 1);
}

}  // namespace

std::string_view Trim(std::string_view text, std::string_view chars) { return TrimView(text, chars); }

std::u16string_view Trim(std::u16string_view text, std::u16string_view chars) { return TrimView(text, chars); }

}  // namespace wrenly
