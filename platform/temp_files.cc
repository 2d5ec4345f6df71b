#include "platform/temp_files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/program_folder.h"

namespace wrenly {
namespace {

constexpr std::string_view kInfixes[] = {".part", ".tmp-"};
constexpr std::string_view kOurPrograms[] = {"Wrenly", "Tolvane", "wrenly-cli"};

// A decimal number of at least one digit that fits a pid.
std::optional<long> Digits(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

enum class Liveness { kGone, kOthers, kOurs };

// Seconds since the epoch at which the process started, from its stat line
// (field 22, clock ticks after boot) and the boot time; nullopt when unknown.
std::optional<double> StartTime(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return std::nullopt;
  // The command name in parentheses may hold spaces; the fields follow it.
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(line.substr(close + 2));
  std::string field;
  unsigned long long ticks = 0;
  for (int i = 3; i <= 22 && fields >> field; ++i)
    if (i == 22) ticks = std::strtoull(field.c_str(), nullptr, 10);
  std::ifstream procStat("/proc/stat");
  for (std::string name; procStat >> name;) {
    if (name != "btime") continue;
    double boot = 0;
    if (!(procStat >> boot)) break;
    return boot + static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
  }
  return std::nullopt;
}

bool IsOurProgram(const std::string& executable) {
  const size_t slash = executable.rfind('/');
  const std::string_view name = std::string_view(executable).substr(slash + 1);
  for (std::string_view ours : kOurPrograms)
    if (name == ours) return true;
  return slash != std::string::npos && executable.substr(0, slash) == GetProgramFolder();
}

Liveness LivenessOf(pid_t pid) {
  if (pid == getpid()) return Liveness::kOurs;
  const std::string proc = "/proc/" + std::to_string(pid);
  struct stat info;
  if (pid <= 0 || ::stat(proc.c_str(), &info) != 0) return Liveness::kGone;
  if (info.st_uid != geteuid()) return Liveness::kOthers;
  char executable[4096];
  const ssize_t n = readlink((proc + "/exe").c_str(), executable, sizeof executable - 1);
  if (n < 0) return errno == ENOENT ? Liveness::kGone : Liveness::kOurs;  // a zombie has no program
  return IsOurProgram(std::string(executable, static_cast<size_t>(n))) ? Liveness::kOurs : Liveness::kOthers;
}

}  // namespace

std::optional<TempFileName> ParseTempFileName(std::string_view name) {
  for (std::string_view infix : kInfixes) {
    const size_t at = name.rfind(infix);
    if (at == std::string_view::npos || at == 0) continue;
    const std::string_view numbers = name.substr(at + infix.size());
    const size_t dash = numbers.find('-');
    if (dash == std::string_view::npos || !Digits(numbers.substr(dash + 1))) continue;
    const std::optional<long> pid = Digits(numbers.substr(0, dash));
    if (!pid) continue;
    return TempFileName{name.substr(0, at), static_cast<pid_t>(*pid)};
  }
  return std::nullopt;
}

std::string DownloadTempPath(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  return target + std::string(kInfixes[0]) + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

bool IsOwnDownloadTempPath(std::string_view path) {
  const std::optional<TempFileName> temp = ParseTempFileName(path);
  return temp && temp->owner == getpid() && path.substr(temp->target.size()).starts_with(kInfixes[0]);
}

bool IsStaleTempFile(const std::string& path, pid_t owner) {
  const Liveness liveness = LivenessOf(owner);
  if (liveness != Liveness::kOurs) return true;
  struct stat info;
  const std::optional<double> started = StartTime(owner);
  if (!started || ::stat(path.c_str(), &info) != 0) return false;
  const double changed = static_cast<double>(info.st_mtim.tv_sec) + info.st_mtim.tv_nsec / 1e9;
  // A second of slack for the clock-tick resolution of the start time.
  return changed + 1.0 < *started;
}

int RemoveStaleTempFiles(const std::string& folder, const std::function<bool(std::string_view)>& wanted) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = readdir(dir)) {
    const std::string_view name = entry->d_name;
    const std::optional<TempFileName> temp = ParseTempFileName(name);
    if (!temp || (wanted && !wanted(temp->target))) continue;
    const std::string path = folder + "/" + std::string(name);
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    if (IsStaleTempFile(path, temp->owner) && ::unlink(path.c_str()) == 0) ++removed;
  }
  closedir(dir);
  return removed;
}

}  // namespace wrenly
