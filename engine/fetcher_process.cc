#include "engine/fetcher_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

#include "net/messages.h"
#include "platform/notifier.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "platform/unique_fd.h"

extern char** environ;

namespace wrenly {
namespace {

// How often the wait looks at the abort check and the clock.
constexpr int kPollSliceMs = 100;
// Stderr beyond this is not read into lines (the error line comes first in
// practice); stdout is read to its end, however long.
constexpr std::size_t kMaxStderr = 64 * 1024;
// A longer output line is cut at this length.
constexpr std::size_t kMaxLine = 4096;

struct Children {
  std::mutex mutex;
  std::set<pid_t> pids;
};

Children& RunningChildren() {
  static Children children;
  return children;
}

std::function<void()>& KilledChildDelay() {
  static std::function<void()> delay;
  return delay;
}

// One end of a child's output pipe, split into lines as it arrives. At most
// `keep` bytes of the whole output are looked at (stderr: the error line
// comes first), and a line longer than kMaxLine is cut there.
struct LineReader {
  int fd = -1;
  std::size_t keep = SIZE_MAX;
  std::string pending;
  std::size_t seen = 0;

  // Reads what is there (the descriptor does not block) and calls onLine for
  // each complete line: kData, kNothing when no bytes are waiting, kEnd at
  // the end of the output.
  enum Result { kData, kNothing, kEnd };
  template <typename OnLine>
  Result Drain(OnLine onLine) {
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) return errno == EINTR || errno == EAGAIN ? kNothing : kEnd;
    if (n == 0) {
      if (!pending.empty()) onLine(std::string_view(pending));
      pending.clear();
      return kEnd;
    }
    const std::size_t wanted = seen < keep ? std::min(static_cast<std::size_t>(n), keep - seen) : 0;
    seen += static_cast<std::size_t>(n);
    std::string_view data(buffer, wanted);
    for (std::size_t nl; (nl = data.find('\n')) != std::string_view::npos; data.remove_prefix(nl + 1)) {
      Append(data.substr(0, nl));
      onLine(std::string_view(pending));
      pending.clear();
    }
    Append(data);
    return kData;
  }

  void Append(std::string_view part) {
    if (pending.size() < kMaxLine) pending.append(part.substr(0, kMaxLine - pending.size()));
  }

  // Reads until nothing more is waiting; false once the output has ended.
  template <typename OnLine>
  bool DrainAll(OnLine onLine) {
    for (;;) {
      const Result r = Drain(onLine);
      if (r == kEnd) return false;
      if (r == kNothing) return true;
    }
  }
};

bool Spawn(const std::string& program, const std::vector<std::string>& arguments, int out, int err,
           pid_t& pid) {
  std::vector<char*> argv;
  std::string name = program.substr(program.find_last_of('/') + 1);
  argv.push_back(name.data());
  std::vector<std::string> copies(arguments);
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  // The child starts with SIGUSR1 blocked: an abort signalled before Tolvane
  // has set up its listener stays pending and is taken up then, instead of
  // killing the process with the default action.
  sigset_t defaults, blocked;
  sigemptyset(&defaults);
  for (int s : {SIGINT, SIGTERM, SIGUSR1, SIGPIPE, SIGHUP}) sigaddset(&defaults, s);
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGUSR1);
  const bool prepared =
      posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
      posix_spawn_file_actions_adddup2(&actions, out, 1) == 0 &&
      posix_spawn_file_actions_adddup2(&actions, err, 2) == 0 &&
      posix_spawnattr_setsigdefault(&attributes, &defaults) == 0 &&
      posix_spawnattr_setsigmask(&attributes, &blocked) == 0 && posix_spawnattr_setpgroup(&attributes, 0) == 0 &&
      posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP) == 0;
  const int rc = prepared ? posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ) : -1;
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (rc != 0) TraceF("Tolvane could not be started: %s\n", prepared ? std::strerror(rc) : "spawn setup failed");
  return rc == 0;
}

enum class Reap { kRunning, kEnded, kLost };

// Reaps the child when it has ended, without waiting; the pid leaves the
// registry in the same step, so SignalRunningFetchers never hits a reused
// pid. kLost: the child cannot be waited for (someone else reaped it), so
// its status is unknown.
Reap TryReap(pid_t pid, int& status) {
  Children& children = RunningChildren();
  std::lock_guard lock(children.mutex);
  pid_t r;
  do {
    r = ::waitpid(pid, &status, WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return Reap::kRunning;
  children.pids.erase(pid);
  if (r > 0) return Reap::kEnded;
  TraceF("Tolvane's status cannot be read: %s\n", std::strerror(errno));
  return Reap::kLost;
}

// Waits until the killed child has ended, without reaping it and without
// the registry's lock: a child stuck in the kernel (a hung card or network
// file system) may take long to die, and must not hold up other starts or
// the abort meanwhile. An unreaped child keeps its pid, so the registry
// stays right; TryReap then reaps it at once.
Reap ReapKilled(pid_t pid, int& status) {
  if (KilledChildDelay()) KilledChildDelay()();
  siginfo_t info{};
  while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
  }
  for (;;) {
    const Reap reap = TryReap(pid, status);
    if (reap != Reap::kRunning) return reap;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollSliceMs));
  }
}

// A stdout line: progress goes on as a broadcast; a page line is kept.
void ReadOutputLine(std::string_view line, FetcherRun& run) {
  std::uint64_t bytes = 0;
  int ended = 0;
  if (ParseFetcherProgress(line, bytes, ended)) {
    Broadcast(WM_DOWNLOAD_PROGRESS, bytes, ended);
  } else if (line.size() < kMaxLine) {  // a longer line was cut: its address is not whole
    ParseFetcherPage(line, run.pageAddress);
  }
}

}  // namespace

std::vector<std::string> FetcherArguments(std::u16string_view url, const std::string& outputPath,
                                          const std::string& templatePath, bool useProxy,
                                          std::u16string_view proxySetting) {
  std::vector<std::string> args;
  if (useProxy) {
    const std::u16string_view proxy = Trim(proxySetting);
    args.push_back("-p");
    args.push_back(proxy.empty() ? std::string("None") : Utf16ToUtf8(proxy));
  }
  const bool automatic = templatePath == kAutomaticExtraction;
  if (automatic) args.push_back("-a");
  args.push_back(Utf16ToUtf8(url));
  args.push_back(outputPath);
  if (!templatePath.empty() && !automatic) args.push_back(templatePath);
  return args;
}

bool ParseFetcherProgress(std::string_view line, std::uint64_t& bytes, int& ended) {
  constexpr std::string_view kPrefix = "progress ";
  if (!line.starts_with(kPrefix)) return false;
  line.remove_prefix(kPrefix.size());
  const char* end = line.data() + line.size();
  auto [p, ec] = std::from_chars(line.data(), end, bytes);
  if (ec != std::errc()) return false;
  ended = 0;
  if (p != end && *p == ' ') {
    auto [q, ec2] = std::from_chars(p + 1, end, ended);
    if (ec2 != std::errc() || q != end) return false;
    return ended == 0 || ended == 1;
  }
  return p == end;
}

bool ParseFetcherError(std::string_view line, std::uint32_t& code, std::u16string& text) {
  constexpr std::string_view kPrefix = "error ";
  if (!line.starts_with(kPrefix)) return false;
  line.remove_prefix(kPrefix.size());
  int base = 10;
  if (line.starts_with("0x") || line.starts_with("0X")) {
    base = 16;
    line.remove_prefix(2);
  }
  const char* end = line.data() + line.size();
  auto [p, ec] = std::from_chars(line.data(), end, code, base);
  if (ec != std::errc() || (p != end && *p != ' ')) return false;
  std::string_view rest(p, static_cast<std::size_t>(end - p));
  if (!rest.empty()) rest.remove_prefix(1);
  if (rest.ends_with('\r')) rest.remove_suffix(1);
  text = Utf8ToUtf16(rest);
  return true;
}

bool ParseFetcherPage(std::string_view line, std::u16string& address) {
  constexpr std::string_view kPrefix = kFetcherPagePrefix;
  if (!line.starts_with(kPrefix)) return false;
  line.remove_prefix(kPrefix.size());
  if (line.ends_with('\r')) line.remove_suffix(1);
  const std::string lower = AsciiLower(line.substr(0, 8));
  if (!lower.starts_with("http://") && !lower.starts_with("https://")) return false;
  address = Utf8ToUtf16(line);
  return true;
}

FetcherRun RunFetcherProgram(const std::string& program, const std::vector<std::string>& arguments,
                             std::chrono::milliseconds limit, const std::function<bool()>& aborted) {
  FetcherRun run;
  int outPipe[2], errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0) return run;
  UniqueFd outRead(outPipe[0]), outWrite(outPipe[1]);
  if (::pipe2(errPipe, O_CLOEXEC) != 0) return run;
  UniqueFd errRead(errPipe[0]), errWrite(errPipe[1]);
  pid_t pid = 0;
  {
    // Registered under the lock, so an abort that signals the children
    // either sees this one or happens before it (and is then seen below).
    Children& children = RunningChildren();
    std::lock_guard lock(children.mutex);
    run.started = Spawn(program, arguments, outWrite.get(), errWrite.get(), pid);
    if (run.started) children.pids.insert(pid);
  }
  // The child holds the write ends now; ours would keep the pipes from ending.
  outWrite.reset();
  errWrite.reset();
  if (!run.started) return run;

  ::fcntl(outRead.get(), F_SETFL, O_NONBLOCK);
  ::fcntl(errRead.get(), F_SETFL, O_NONBLOCK);
  LineReader out, err;
  out.fd = outRead.get();
  err.fd = errRead.get();
  err.keep = kMaxStderr;
  bool outOpen = true, errOpen = true, signalled = false;
  Reap reap = Reap::kRunning;
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  const auto onOutLine = [&run](std::string_view line) { ReadOutputLine(line, run); };
  const auto onErrLine = [&](std::string_view line) {
    std::uint32_t code = 0;
    std::u16string text;
    if (ParseFetcherError(line, code, text)) {
      run.errorCode = code;
      run.errorText = std::move(text);
    }
  };
  while (reap == Reap::kRunning) {
    if (!signalled && aborted && aborted()) {
      ::kill(pid, SIGUSR1);
      signalled = true;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      TraceF("Tolvane did not end within %lld ms, killing it\n", static_cast<long long>(limit.count()));
      ::kill(-pid, SIGKILL);  // the whole group: helpers it started go too
      run.timedOut = true;
      break;
    }
    const int sliceMs = static_cast<int>(std::min<long long>(
        kPollSliceMs, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1));
    if (outOpen || errOpen) {
      pollfd fds[2] = {{outOpen ? out.fd : -1, POLLIN, 0}, {errOpen ? err.fd : -1, POLLIN, 0}};
      if (::poll(fds, 2, sliceMs) > 0) {
        if (outOpen && fds[0].revents != 0) outOpen = out.DrainAll(onOutLine);
        if (errOpen && fds[1].revents != 0) errOpen = err.DrainAll(onErrLine);
      }
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min(sliceMs, 10)));
    }
    reap = TryReap(pid, status);
  }
  if (reap == Reap::kRunning) reap = ReapKilled(pid, status);
  // Lines written just before the end are still in the pipes.
  if (outOpen) out.DrainAll(onOutLine);
  if (errOpen) err.DrainAll(onErrLine);
  // A lost status stays -1: never read as a successful exit.
  if (reap == Reap::kEnded && WIFEXITED(status)) run.exitStatus = WEXITSTATUS(status);
  if (reap == Reap::kEnded && WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  return run;
}

void SetKilledChildDelayForTesting(std::function<void()> delay) { KilledChildDelay() = std::move(delay); }

void SignalRunningFetchers() {
  Children& children = RunningChildren();
  std::lock_guard lock(children.mutex);
  for (pid_t pid : children.pids) ::kill(pid, SIGUSR1);
}

}  // namespace wrenly
