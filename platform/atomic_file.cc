#include "platform/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/file_ops.h"
#include "platform/unique_fd.h"

namespace wrenly {
namespace {

std::atomic<unsigned> g_counter{0};

// A name beside path that no other writer of this or another process uses;
// platform/temp_files.h knows it, to remove what a killed process left.
std::string TemporaryNameFor(const std::string& path) {
  return path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(g_counter++);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = file_ops::Write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
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

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error, Flush flush,
                         unsigned permissions) {
  const std::string temp = TemporaryNameFor(path);
  UniqueFd fd(file_ops::Open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, permissions));
  if (!fd) return Fail(error, "cannot create a temporary file", "");
  const bool durable = flush == Flush::kFileAndFolder;
  if (!WriteAll(fd.get(), bytes) || (durable && file_ops::Fsync(fd.get()) != 0)) {
    const int saved = errno;
    fd.reset();
    errno = saved;
    return Fail(error, "cannot write", temp);
  }
  if (::close(fd.release()) != 0) return Fail(error, "cannot write", temp);
  if (file_ops::Rename(temp.c_str(), path.c_str()) != 0) return Fail(error, "cannot replace the file", temp);
  // Without this the rename itself may be lost in a power cut.
  if (durable && !SyncFolder(FolderOf(path))) return Fail(error, "cannot flush the folder", "");
  return true;
}

}  // namespace wrenly
