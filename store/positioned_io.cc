#include "store/positioned_io.h"

#include <unistd.h>

#include <cerrno>

#include "platform/file_ops.h"

namespace wrenly {
namespace {

template <typename Call, typename Byte>
bool Repeat(Call call, int fd, Byte* data, std::size_t size, std::uint64_t offset) {
  while (size > 0) {
    const ssize_t n = call(fd, data, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
    offset += static_cast<std::uint64_t>(n);
  }
  return true;
}

}  // namespace

bool WriteAll(int fd, const char* data, std::size_t size, std::uint64_t offset) {
  return Repeat(file_ops::PWrite, fd, data, size, offset);
}

bool ReadAll(int fd, char* data, std::size_t size, std::uint64_t offset) {
  return Repeat(::pread, fd, data, size, offset);
}

}  // namespace wrenly
