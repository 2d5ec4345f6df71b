#include "platform/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace wrenly {
namespace {

std::atomic<unsigned> g_counter{0};

// A name beside path that no other writer of this or another process uses.
std::string TemporaryNameFor(const std::string& path) {
  return path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(g_counter++);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool Fail(std::string* error, const char* what, const std::string& temp) {
  const int saved = errno;
  if (!temp.empty()) unlink(temp.c_str());
  if (error) *error = std::string(what) + ": " + std::strerror(saved);
  return false;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
  const std::string temp = TemporaryNameFor(path);
  // 0666 so the umask decides the permissions, as for any newly written file.
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return Fail(error, "cannot create a temporary file", "");
  if (!WriteAll(fd, bytes) || fsync(fd) != 0) {
    const int saved = errno;
    close(fd);
    errno = saved;
    return Fail(error, "cannot write", temp);
  }
  if (close(fd) != 0) return Fail(error, "cannot write", temp);
  if (rename(temp.c_str(), path.c_str()) != 0) return Fail(error, "cannot replace the file", temp);
  return true;
}

}  // namespace wrenly
