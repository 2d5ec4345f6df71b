#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace wrenly::fuzz {

const std::string& ScratchHome() {
  static const std::string home = [] {
    char pattern[] = "/tmp/wrenly-fuzz-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    const std::string root = made != nullptr ? made : "/tmp";
    std::filesystem::create_directories(root + "/config");
    std::filesystem::create_directories(root + "/data");
    ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    return root;
  }();
  return home;
}

bool WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && ok;
}

}  // namespace wrenly::fuzz
