// Turning downloaded bytes into text: the charset names a template may pass
// to URLDownload, and decoding with byte-order-mark detection (UTF-16LE,
// UTF-16BE, UTF-8) before the chosen code page.
// Pure functions; safe for concurrent use.
#pragma once

#include <string>
#include <string_view>

namespace wrenly {

// The code page for URLDownload's encoding argument: "" gives the system code
// page; a charset name of the table (any case) gives its code page; else a
// leading decimal number of at least 1; else the system code page.
unsigned CodePageForEncoding(std::u16string_view encoding);

// Decodes bytes: FF FE is UTF-16LE, FE FF UTF-16BE, EF BB BF UTF-8, each mark
// dropped; anything else is converted from codePage, including the code pages
// only iconv knows by another name.
std::u16string DecodeWithByteOrderMark(std::string_view bytes, unsigned codePage);

}  // namespace wrenly
