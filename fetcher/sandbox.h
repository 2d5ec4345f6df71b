// The sandbox Tolvane enters before it reads a page written by a stranger:
// no new privileges, Landlock file rules (read only what a fetcher needs,
// write only in its output's folder), a seccomp filter against system calls
// a fetcher never makes, and resource limits that turn a runaway page into
// a failed run. Call on the main thread before any other thread starts:
// Landlock binds the calling thread and the threads it starts later.
#pragma once

#include <string>

namespace wrenly {

// AddressSanitizer and ThreadSanitizer reserve terabytes of shadow memory,
// so their builds set no address-space limit, and LeakSanitizer's exit check
// stops the threads from a helper made with clone and ptrace, so their
// filter lets those through (Landlock still keeps ptrace inside the sandbox).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define WRENLY_SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define WRENLY_SANITIZED_BUILD 1
#endif
#endif
#ifdef WRENLY_SANITIZED_BUILD
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif

// What the sandbox could put in place; the run goes on without a part the
// kernel lacks (traced once).
struct SandboxReport {
  bool noNewPrivileges = false;
  int landlockAbi = 0;       // the Landlock version applied, 0 for none
  bool syscallFilter = false;
  bool resourceLimits = false;
};

// The address-space limit (bytes); WRENLY_TOLVANE_MEMORY_LIMIT_MB lowers it
// for tests. Not applied in sanitizer builds.
constexpr unsigned long long kFetcherAddressSpaceLimit = 1ull << 30;
inline constexpr char kMemoryLimitVariable[] = "WRENLY_TOLVANE_MEMORY_LIMIT_MB";

// outputPath: the run's output file ("" for none); its folder is the only
// one written. templatePath: the template file ("" for none).
SandboxReport EnterFetcherSandbox(const std::string& outputPath, const std::string& templatePath);

}  // namespace wrenly
