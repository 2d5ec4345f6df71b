// Text handed across the script engine boundary. Duktape counts string length
// and indices per code point of its internal encoding, so UTF-16 text goes in
// as CESU-8 (every UTF-16 unit, surrogates included, encoded on its own); then
// JavaScript lengths and indices count UTF-16 units. Pure functions.
#pragma once

#include <string>
#include <string_view>

namespace wrenly {

std::string Utf16ToCesu8(std::u16string_view text);
// Reads CESU-8 back unit for unit; a 4-byte UTF-8 sequence becomes a surrogate
// pair and any malformed byte becomes U+FFFD.
std::u16string Cesu8ToUtf16(std::string_view bytes);

}  // namespace wrenly
