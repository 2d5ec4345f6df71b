#include "fetcher/html_page_bytes.h"

#include <algorithm>

#include "platform/text.h"

namespace wrenly {
namespace {

// How far into the page the binary test and the <meta> charset search look.
constexpr size_t kSniffBytes = 4096;

constexpr std::string_view kBinarySignatures[] = {
    "%PDF-", "\x89PNG", "GIF87a", "GIF89a", "\xFF\xD8\xFF", "PK\x03\x04", "\x1F\x8B", "RIFF",
    "OggS",  "ID3",     "wOFF",   "wOF2",   "\x7F" "ELF",     "Rar!"};

constexpr std::string_view kHtmlTags[] = {"<html", "<body", "<head", "<!doctype html", "<p>",  "<p ",
                                          "<div",  "<article", "<title", "<table", "<br", "<h1",
                                          "<span", "<a ",  "<meta"};

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

bool IsValidUtf8(std::string_view bytes) {
  size_t i = 0;
  const size_t n = bytes.size();
  while (i < n) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    int extra = 0;
    char32_t c = 0;
    if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
      c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2;
      c = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
      c = b & 0x07;
    } else {
      return false;
    }
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= n) return false;
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    if ((extra == 2 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)))
      return false;
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

// The charset a <meta> near the start of the page names, or "".
std::string MetaCharset(std::string_view bytes) {
  const std::string head = LowerAscii(bytes.substr(0, kSniffBytes));
  for (size_t at = head.find("<meta"); at != std::string::npos; at = head.find("<meta", at + 5)) {
    const size_t end = head.find('>', at);
    const std::string_view tag = std::string_view(head).substr(at, end == std::string::npos ? std::string::npos : end - at);
    const size_t charset = tag.find("charset");
    if (charset == std::string_view::npos) continue;
    size_t i = charset + 7;
    while (i < tag.size() && (tag[i] == ' ' || tag[i] == '=' || tag[i] == '"' || tag[i] == '\'')) ++i;
    size_t j = i;
    while (j < tag.size() && tag[j] != '"' && tag[j] != '\'' && tag[j] != ' ' && tag[j] != ';' && tag[j] != '/') ++j;
    if (j > i) return std::string(tag.substr(i, j - i));
  }
  return {};
}

std::string_view WithoutUtf8Mark(std::string_view bytes) {
  return bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
}

}  // namespace

bool LooksLikeHtml(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
    return LooksLikeHtml(HtmlPageToUtf8(bytes.substr(0, std::min(bytes.size(), 2 * kSniffBytes))));
  }
  bytes = WithoutUtf8Mark(bytes);
  for (std::string_view signature : kBinarySignatures)
    if (bytes.starts_with(signature)) return false;
  const std::string_view start = bytes.substr(0, kSniffBytes);
  const auto binary = std::count_if(start.begin(), start.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x09 || (b > 0x0D && b < 0x20 && b != 0x1B);
  });
  if (binary > 0) return false;
  const std::string lower = LowerAscii(bytes);
  for (std::string_view tag : kHtmlTags)
    if (lower.find(tag) != std::string::npos) return true;
  return false;
}

std::string HtmlPageToUtf8(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) return Utf16ToUtf8(Utf16LEToUtf16(bytes.substr(2)));
  if (bytes.starts_with("\xFE\xFF")) return Utf16ToUtf8(Utf16BEToUtf16(bytes.substr(2)));
  if (bytes.starts_with("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
  if (IsValidUtf8(bytes)) return std::string(bytes);
  // Invalid sequences in a page that says it is UTF-8 become U+FFFD in the parse.
  const std::string charset = MetaCharset(bytes);
  if (charset == "utf-8" || charset == "utf8") return std::string(bytes);
  if (!charset.empty()) {
    if (auto text = DecodeCharset(charset, bytes)) return Utf16ToUtf8(*text);
  }
  if (auto text = DecodeCharset("WINDOWS-1252", bytes)) return Utf16ToUtf8(*text);
  return std::string(bytes);
}

}  // namespace wrenly
