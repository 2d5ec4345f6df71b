#include "fetcher/cesu8.h"

namespace wrenly {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes the sequence at bytes[i] of the given length into a code point, or
// returns false when the sequence is malformed or overlong.
bool DecodeSequence(std::string_view bytes, size_t i, size_t length, char32_t& cp) {
  if (i + length > bytes.size()) return false;
  static constexpr unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  cp = static_cast<unsigned char>(bytes[i]) & kLeadMask[length];
  for (size_t k = 1; k < length; ++k) {
    const auto byte = static_cast<unsigned char>(bytes[i + k]);
    if (!IsContinuation(byte)) return false;
    cp = (cp << 6) | (byte & 0x3F);
  }
  return cp >= kMinimum[length] && cp <= 0x10FFFF;
}

size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 0;
}

}  // namespace

std::string Utf16ToCesu8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char16_t unit : text) {
    if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else if (unit < 0x800) {
      out += static_cast<char>(0xC0 | (unit >> 6));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (unit >> 12));
      out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return out;
}

std::u16string Cesu8ToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    const size_t length = SequenceLength(static_cast<unsigned char>(bytes[i]));
    char32_t cp = 0;
    if (length == 0 || !DecodeSequence(bytes, i, length, cp)) {
      out += kReplacement;
      ++i;
      continue;
    }
    if (cp > 0xFFFF) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += length;
  }
  return out;
}

}  // namespace wrenly
