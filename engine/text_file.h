// ReadTextFile: a whole text file as UTF-16. A byte-order mark picks
// UTF-16LE, UTF-16BE or UTF-8; without one the bytes are in the given code
// page (0 = the system code page). Safe for concurrent use.
#pragma once

#include <string>

namespace wrenly {

enum ReadTextError {
  kReadTextOk = 0,
  kReadTextCannotOpen = 1,
  kReadTextCannotRead = 2,
  kReadTextTooLarge = 4,  // 4 GiB or more
  kReadTextOutOfMemory = 6,
};

// true on success (an empty file gives an empty text); on failure the text is
// empty and *error, when given, says why.
bool ReadTextFile(const std::string& path, std::u16string& text, unsigned codePage,
                  ReadTextError* error = nullptr);

}  // namespace wrenly
