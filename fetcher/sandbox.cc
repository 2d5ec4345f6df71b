#include "fetcher/sandbox.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "fetcher/landlock_rules.h"
#include "fetcher/syscall_filter.h"
#include "platform/program_folder.h"
#include "platform/trace.h"
#include "platform/unique_fd.h"

namespace wrenly {
namespace {

// CPU time: SIGXCPU at the soft limit, SIGKILL at the hard one. The script
// watchdog ends a run after 60 s of wall-clock time, so only a run that
// keeps several threads busy gets here.
constexpr rlim_t kCpuSeconds = 120;
constexpr rlim_t kCpuSecondsHard = 130;
// No file a run writes comes near this: downloads stop at 64 MiB.
constexpr rlim_t kFileSizeLimit = rlim_t{128} << 20;

// What every run reads besides its own files: TLS certificates, the
// resolver's files, shared libraries loaded late (NSS modules, iconv's
// converters, locales), time zones and the process's own /proc entries.
constexpr const char* kSystemReadable[] = {
    "/etc/ssl", "/etc/pki", "/etc/ca-certificates", "/usr/share/ca-certificates",
    "/usr/local/share/ca-certificates", "/etc/resolv.conf", "/etc/hosts", "/etc/host.conf",
    "/etc/nsswitch.conf", "/etc/gai.conf", "/etc/services", "/etc/protocols", "/etc/ld.so.cache",
    "/etc/localtime", "/usr/lib", "/usr/lib64", "/lib", "/lib64", "/usr/share/zoneinfo", "/proc/self",
    "/sys/devices/system/cpu",
};
// Devices a library may open for reading and writing.
constexpr const char* kDevices[] = {"/dev/null", "/dev/zero", "/dev/random", "/dev/urandom"};
// Certificate locations a user may name for libcurl and OpenSSL.
constexpr const char* kCertificateVariables[] = {"SSL_CERT_FILE", "SSL_CERT_DIR", "CURL_CA_BUNDLE"};

rlim_t AddressSpaceLimit() {
  rlim_t limit = kFetcherAddressSpaceLimit;
  if (const char* value = std::getenv(kMemoryLimitVariable)) {
    const std::string_view text(value);
    rlim_t megabytes = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), megabytes);
    if (error == std::errc() && end == text.data() + text.size() && megabytes > 0)
      limit = std::min(limit, megabytes << 20);
  }
  return limit;
}

// Lowers a limit; never raises one that is lower already.
bool Lower(int resource, rlim_t soft, rlim_t hard) {
  rlimit current{};
  if (::getrlimit(resource, &current) != 0) return false;
  const rlimit wanted{std::min(soft, current.rlim_cur), std::min(hard, current.rlim_max)};
  return ::setrlimit(resource, &wanted) == 0;
}

bool SetResourceLimits() {
  // A write past the file-size limit then fails (EFBIG) and its file is
  // removed, instead of the signal ending the run half-way.
  ::signal(SIGXFSZ, SIG_IGN);
  bool set = Lower(RLIMIT_CPU, kCpuSeconds, kCpuSecondsHard) && Lower(RLIMIT_FSIZE, kFileSizeLimit, kFileSizeLimit) &&
             Lower(RLIMIT_CORE, 0, 0);  // a crash leaves no copy of a stranger's page behind
  if (!kSanitizedBuild) set = Lower(RLIMIT_AS, AddressSpaceLimit(), AddressSpaceLimit()) && set;
  return set;
}

std::string FolderOf(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? std::string() : absolute.parent_path().string();
}

// The trace file is opened for each line, so it must exist before the rules
// name it.
std::string TraceFile() {
  const char* value = std::getenv("WRENLY_TRACE");
  if (value == nullptr || *value == '\0' || std::string_view(value) == "stderr") return {};
  const UniqueFd created(::open(value, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  return value;
}

FileRules FetcherFileRules(const std::string& outputPath, const std::string& templatePath) {
  FileRules rules;
  rules.readable.assign(std::begin(kSystemReadable), std::end(kSystemReadable));
  rules.readable.push_back(GetProgramFolder());
  if (!templatePath.empty()) rules.readable.push_back(templatePath);
  for (const char* name : kCertificateVariables)
    if (const char* value = std::getenv(name)) rules.readable.emplace_back(value);
  rules.writable.assign(std::begin(kDevices), std::end(kDevices));
  if (!outputPath.empty()) rules.writable.push_back(FolderOf(outputPath));
  if (std::string trace = TraceFile(); !trace.empty()) rules.writable.push_back(std::move(trace));
  return rules;
}

}  // namespace

SandboxReport EnterFetcherSandbox(const std::string& outputPath, const std::string& templatePath) {
  SandboxReport report;
  report.noNewPrivileges = ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0;
  report.resourceLimits = SetResourceLimits();
  if (report.noNewPrivileges) {
    report.landlockAbi = RestrictFileAccess(FetcherFileRules(outputPath, templatePath));
    report.syscallFilter = InstallSyscallFilter();
  }
  if (!report.noNewPrivileges) Trace("The sandbox cannot be entered: no_new_privs refused.\n");
  if (report.landlockAbi == 0) Trace("Landlock is not available; files are not restricted.\n");
  if (!report.syscallFilter) Trace("No seccomp filter; system calls are not restricted.\n");
  if (!report.resourceLimits) Trace("Resource limits could not all be set.\n");
  return report;
}

}  // namespace wrenly
