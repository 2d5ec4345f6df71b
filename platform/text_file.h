// Text files as UTF-16. A byte-order mark picks UTF-16LE, UTF-16BE or UTF-8;
// without one the bytes are in a code page the caller chooses. Safe for
// concurrent use.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wrenly {

// Bytes that start with a byte-order mark, decoded without it: FF FE is
// UTF-16LE, FE FF UTF-16BE, EF BB BF UTF-8. Nothing when there is no mark,
// so the caller decodes them its own way.
std::optional<std::u16string> DecodeMarkedText(std::string_view bytes);

enum ReadTextError {
  kReadTextOk = 0,
  kReadTextCannotOpen = 1,
  kReadTextCannotRead = 2,
  kReadTextTooLarge = 4,  // 4 GiB or more
  kReadTextOutOfMemory = 6,
};

// Reads a whole regular file: a byte-order mark decides the encoding, else
// codePage does (0 = the system code page). true on success (an empty file
// gives an empty text); on failure the text is empty and *error, when given,
// says why.
bool ReadTextFile(const std::string& path, std::u16string& text, unsigned codePage,
                  ReadTextError* error = nullptr);

}  // namespace wrenly
