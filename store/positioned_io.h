// Whole reads and writes at a file position: pread and pwrite repeated until
// every byte is done, through interrupted calls. Used on item files and URL
// indexes, whose callers hold the per-path lock.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wrenly {

// False when the file ended or an error came before all `size` bytes.
bool WriteAll(int fd, const char* data, std::size_t size, std::uint64_t offset);
bool ReadAll(int fd, char* data, std::size_t size, std::uint64_t offset);

}  // namespace wrenly
