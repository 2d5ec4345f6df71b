#include "store/file_lock.h"

#include <filesystem>
#include <map>
#include <memory>

namespace wrenly {

std::unique_lock<std::mutex> LockFilePath(const std::string& path) {
  static std::mutex registryMutex;
  // Entries are never removed: there is one per record file ever written.
  static std::map<std::string, std::unique_ptr<std::mutex>> registry;
  const std::string key = std::filesystem::path(path).lexically_normal().string();
  std::mutex* fileMutex;
  {
    std::lock_guard<std::mutex> guard(registryMutex);
    auto& slot = registry[key];
    if (!slot) slot = std::make_unique<std::mutex>();
    fileMutex = slot.get();
  }
  return std::unique_lock<std::mutex>(*fileMutex);
}

}  // namespace wrenly
