#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>
#include <utility>

#include "platform/text.h"

namespace wrenly {
namespace {

constexpr std::uint64_t kMaxSize = 0xFFFFFFFFull;

ReadTextError ReadBytes(const std::string& path, std::string& bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return kReadTextCannotOpen;
  ReadTextError result = kReadTextOk;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) result = kReadTextCannotOpen;
  if (result == kReadTextOk && static_cast<std::uint64_t>(info.st_size) >= kMaxSize) result = kReadTextTooLarge;
  if (result == kReadTextOk) {
    try {
      bytes.resize(static_cast<std::size_t>(info.st_size));
    } catch (const std::bad_alloc&) {
      result = kReadTextOutOfMemory;
    }
  }
  std::size_t done = 0;
  while (result == kReadTextOk && done < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) result = kReadTextCannotRead;
    else done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return result;
}

std::u16string Decode(std::string_view bytes, unsigned codePage) {
  if (auto text = DecodeMarkedText(bytes)) return std::move(*text);
  return CodePageToUtf16(codePage == 0 ? SystemCodePage() : codePage, bytes);
}

}  // namespace

std::optional<std::u16string> DecodeMarkedText(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) return Utf16LEToUtf16(bytes.substr(2));
  if (bytes.starts_with("\xFE\xFF")) return Utf16BEToUtf16(bytes.substr(2));
  if (bytes.starts_with("\xEF\xBB\xBF")) return Utf8ToUtf16(bytes.substr(3));
  return std::nullopt;
}

bool ReadTextFile(const std::string& path, std::u16string& text, unsigned codePage, ReadTextError* error) {
  text.clear();
  std::string bytes;
  ReadTextError result = ReadBytes(path, bytes);
  if (result == kReadTextOk) {
    try {
      text = Decode(bytes, codePage);
    } catch (const std::bad_alloc&) {
      text.clear();
      result = kReadTextOutOfMemory;
    }
  }
  if (error != nullptr) *error = result;
  return result == kReadTextOk;
}

}  // namespace wrenly
