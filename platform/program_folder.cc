#include "platform/program_folder.h"

#include <filesystem>
#include <system_error>

namespace wrenly {

std::string GetProgramFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return exe.parent_path().string();
}

}  // namespace wrenly
