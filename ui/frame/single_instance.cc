#include "ui/frame/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/trace.h"
#include "reader/reader_data.h"

namespace wrenly::ui {

std::string CSingleInstance::LockPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string folder = runtime != nullptr && *runtime != '\0' ? runtime : reader::ReaderData::Current().root();
  return folder + "/Wrenly Mobile.lock";
}

bool CSingleInstance::Acquire() {
  const std::string path = LockPath();
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    TraceF("Single instance: cannot open %s (errno %d); going on", path.c_str(), errno);
    return true;
  }
  if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
  close(fd_);
  fd_ = -1;
  return false;
}

CSingleInstance::~CSingleInstance() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace wrenly::ui
