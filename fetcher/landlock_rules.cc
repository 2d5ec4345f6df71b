#include "fetcher/landlock_rules.h"

#include <fcntl.h>
#include <linux/landlock.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>

#include "platform/unique_fd.h"

// Rights of later ABI versions than the build system's headers know.
#ifndef LANDLOCK_ACCESS_FS_REFER
#define LANDLOCK_ACCESS_FS_REFER (1ULL << 13)
#endif
#ifndef LANDLOCK_ACCESS_FS_TRUNCATE
#define LANDLOCK_ACCESS_FS_TRUNCATE (1ULL << 14)
#endif
#ifndef LANDLOCK_ACCESS_FS_IOCTL_DEV
#define LANDLOCK_ACCESS_FS_IOCTL_DEV (1ULL << 15)
#endif

namespace wrenly {
namespace {

constexpr std::uint64_t kNetBindTcp = 1ULL << 0;
constexpr std::uint64_t kScopeAbstractUnixSocket = 1ULL << 0;
constexpr std::uint64_t kScopeSignal = 1ULL << 1;

// The ruleset attribute of ABI 6; older kernels take a shorter prefix.
struct RulesetAttributes {
  std::uint64_t handledFs = 0;
  std::uint64_t handledNet = 0;
  std::uint64_t scoped = 0;
};

constexpr std::uint64_t kFileOnlyRights = LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_WRITE_FILE |
                                          LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_TRUNCATE |
                                          LANDLOCK_ACCESS_FS_IOCTL_DEV;
constexpr std::uint64_t kReadRights = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR;
constexpr std::uint64_t kWriteRights = kReadRights | LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_MAKE_REG |
                                       LANDLOCK_ACCESS_FS_REMOVE_FILE | LANDLOCK_ACCESS_FS_TRUNCATE;

std::uint64_t FileRightsOf(int abi) {
  std::uint64_t rights = (LANDLOCK_ACCESS_FS_MAKE_SYM << 1) - 1;  // ABI 1: execute .. make symlink
  if (abi >= 2) rights |= LANDLOCK_ACCESS_FS_REFER;
  if (abi >= 3) rights |= LANDLOCK_ACCESS_FS_TRUNCATE;
  if (abi >= 5) rights |= LANDLOCK_ACCESS_FS_IOCTL_DEV;
  return rights;
}

int LandlockAbi() {
  const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  return abi > 0 ? static_cast<int>(abi) : 0;
}

// Allows `rights` beneath path (a file takes only the rights files have).
// A missing path is left out; false only when the kernel refuses the rule.
bool AddRule(int ruleset, const std::string& path, std::uint64_t rights, std::uint64_t handled) {
  UniqueFd fd(::open(path.c_str(), O_PATH | O_CLOEXEC));
  struct stat info {};
  if (!fd || ::fstat(fd.get(), &info) != 0) return true;
  landlock_path_beneath_attr rule{};
  rule.allowed_access = rights & handled & (S_ISDIR(info.st_mode) ? ~0ULL : kFileOnlyRights);
  rule.parent_fd = fd.get();
  return ::syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0) == 0;
}

}  // namespace

int RestrictFileAccess(const FileRules& rules) {
  const int abi = LandlockAbi();
  if (abi == 0) return 0;
  RulesetAttributes attributes;
  attributes.handledFs = FileRightsOf(abi);
  std::size_t size = sizeof attributes.handledFs;
  if (abi >= 4) {
    attributes.handledNet = kNetBindTcp;  // no rule: a fetcher never listens
    size += sizeof attributes.handledNet;
  }
  if (abi >= 6) {
    attributes.scoped = kScopeAbstractUnixSocket | kScopeSignal;
    size += sizeof attributes.scoped;
  }
  UniqueFd ruleset(static_cast<int>(::syscall(SYS_landlock_create_ruleset, &attributes, size, 0)));
  if (!ruleset) return 0;
  for (const std::string& path : rules.readable)
    if (!AddRule(ruleset.get(), path, kReadRights, attributes.handledFs)) return 0;
  for (const std::string& path : rules.writable)
    if (!AddRule(ruleset.get(), path, kWriteRights, attributes.handledFs)) return 0;
  if (::syscall(SYS_landlock_restrict_self, ruleset.get(), 0) != 0) return 0;
  return abi;
}

}  // namespace wrenly
