#include "platform/file_ops.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace wrenly {
namespace {

std::atomic<FileFaults*> gFaults{nullptr};

// True when the installed plan fails this call; errno then holds its error.
bool Faulted(FileCall call) {
  FileFaults* faults = gFaults.load(std::memory_order_acquire);
  if (faults == nullptr) return false;
  const int error = faults->Before(call);
  if (error == 0) return false;
  errno = error;
  return true;
}

}  // namespace

void SetFileFaults(FileFaults* faults) { gFaults.store(faults, std::memory_order_release); }

namespace file_ops {

int Open(const char* path, int flags, mode_t mode) {
  if (Faulted(FileCall::kOpen)) return -1;
  return ::open(path, flags, mode);
}

ssize_t Write(int fd, const void* data, std::size_t size) {
  if (Faulted(FileCall::kWrite)) return -1;
  return ::write(fd, data, size);
}

ssize_t PWrite(int fd, const void* data, std::size_t size, off_t offset) {
  if (Faulted(FileCall::kWrite)) return -1;
  return ::pwrite(fd, data, size, offset);
}

int Fsync(int fd) {
  if (Faulted(FileCall::kFsync)) return -1;
  return ::fsync(fd);
}

int Rename(const char* from, const char* to) {
  if (Faulted(FileCall::kRename)) return -1;
  return ::rename(from, to);
}

}  // namespace file_ops

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool SyncFolder(const std::string& folder) {
  const int fd = file_ops::Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = file_ops::Fsync(fd) == 0;
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return synced;
}

}  // namespace wrenly
