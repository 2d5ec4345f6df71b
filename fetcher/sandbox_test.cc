// The fetcher's sandbox, entered by a child process of the test through the
// very function Tolvane calls; the child then tries what a page's code might.
#include "fetcher/sandbox.h"

#include <fcntl.h>
#include <linux/netlink.h>
#include <netinet/in.h>
#include <sched.h>
#include <spawn.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <thread>

#include "testsupport/temp_dir.h"

extern char** environ;

namespace wrenly {
namespace {

using testsupport::TempDir;
using testsupport::WriteFile;

// Runs probe in a child that entered the sandbox first; returns what the
// probe wrote, after "landlock=<abi>\n".
std::string InSandbox(const std::string& output, const std::string& templatePath,
                      const std::function<std::string()>& probe) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return "no pipe";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    const SandboxReport report = EnterFetcherSandbox(output, templatePath);
    std::string result = "landlock=" + std::to_string(report.landlockAbi) + "\n";
    result += report.noNewPrivileges && report.syscallFilter && report.resourceLimits ? probe() : "incomplete\n";
    (void)::write(fds[1], result.data(), result.size());
    ::_exit(0);  // no exit handlers: the leak checker's needs no process of its own here
  }
  ::close(fds[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return text;
}

// "name ok\n" when the call succeeded, else "name <errno name>\n".
std::string Outcome(const char* name, bool succeeded) {
  const char* outcome = succeeded ? " ok" : errno == EPERM ? " EPERM" : errno == EACCES ? " EACCES" : " failed";
  return std::string(name) + outcome + "\n";
}

bool CanRead(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) ::close(fd);
  return fd >= 0;
}

bool CanCreate(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd >= 0) ::close(fd);
  return fd >= 0;
}

bool LandlockApplied(const std::string& result) { return result.rfind("landlock=0\n", 0) != 0; }

TEST(FetcherSandbox, FilesAreReadAndWrittenOnlyWhereTheRunNeedsThem) {
  TempDir work, elsewhere;
  const std::string output = work.path() + "/Ch100-1-001.htm";
  const std::string templatePath = elsewhere.path() + "/Ch100.tpl";
  WriteFile(templatePath, "article.body = 'x';");
  WriteFile(elsewhere.path() + "/secret", "the user's own file");
  const std::string result = InSandbox(output, templatePath, [&] {
    std::string r;
    r += Outcome("template", CanRead(templatePath));
    r += Outcome("temporary", CanCreate(output + ".tmp-1"));
    r += Outcome("replace", ::rename((output + ".tmp-1").c_str(), output.c_str()) == 0);
    r += Outcome("secret", CanRead(elsewhere.path() + "/secret"));
    r += Outcome("plant", CanCreate(elsewhere.path() + "/planted"));
    r += Outcome("passwd", CanRead("/etc/passwd"));
    r += Outcome("libraries", CanRead("/usr/lib"));
    return r;
  });
  if (!LandlockApplied(result)) GTEST_SKIP() << "no Landlock in this kernel";
  EXPECT_NE(result.find("template ok\ntemporary ok\nreplace ok\n"), std::string::npos) << result;
  EXPECT_NE(result.find("secret EACCES\nplant EACCES\npasswd EACCES\nlibraries ok\n"), std::string::npos) << result;
  EXPECT_FALSE(std::filesystem::exists(elsewhere.path() + "/planted"));
}

TEST(FetcherSandbox, NoProcessesNoPtraceNoRawSocketsButThreadsAndOrdinarySockets) {
  TempDir work;
  const std::string result = InSandbox(work.path() + "/out.img", "", [] {
    std::string r;
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    r += Outcome("fork", child > 0);
    pid_t spawned = 0;
    char name[] = "true";
    char* argv[] = {name, nullptr};
    const int spawnError = ::posix_spawn(&spawned, "/bin/true", nullptr, nullptr, argv, environ);
    errno = spawnError;
    r += Outcome("spawn", spawnError == 0);
    r += Outcome("exec", ::execve("/bin/true", argv, environ) == 0);
    r += Outcome("ptrace", ::ptrace(PTRACE_ATTACH, ::getppid(), nullptr, nullptr) == 0);
    r += Outcome("namespace", ::unshare(CLONE_NEWNS) == 0);
    struct Socket {
      const char* label;
      int family, type, protocol;
    };
    for (const Socket& s : {Socket{"packet", AF_PACKET, SOCK_RAW, 0}, Socket{"raw", AF_INET, SOCK_RAW, IPPROTO_ICMP},
                            Socket{"tcp", AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0},
                            Socket{"route", AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE}}) {
      const int fd = ::socket(s.family, s.type, s.protocol);
      r += Outcome(s.label, fd >= 0);
      if (fd >= 0) ::close(fd);
    }
    bool ran = false;
    try {
      std::thread([&ran] { ran = true; }).join();
    } catch (const std::system_error&) {
    }
    r += Outcome("thread", ran);
    return r;
  });
  EXPECT_NE(result.find("fork EPERM\nspawn EPERM\nexec EPERM\n"), std::string::npos) << result;
  // Sanitizer builds let ptrace through for the leak checker; Landlock keeps
  // it inside the sandbox.
  if (!kSanitizedBuild || LandlockApplied(result)) {
    EXPECT_NE(result.find("ptrace EPERM\n"), std::string::npos) << result;
  }
  EXPECT_NE(result.find("namespace EPERM\npacket failed\nraw EPERM\ntcp ok\nroute ok\nthread ok\n"), std::string::npos)
      << result;
}

TEST(FetcherSandbox, LimitsBoundCpuFileSizeAndMemory) {
  TempDir work;
  testsupport::ScopedEnv limit(kMemoryLimitVariable, "256");
  const std::string result = InSandbox(work.path() + "/out.htm", "", [] {
    rlimit cpu{}, size{}, memory{};
    ::getrlimit(RLIMIT_CPU, &cpu);
    ::getrlimit(RLIMIT_FSIZE, &size);
    ::getrlimit(RLIMIT_AS, &memory);
    char text[128];
    using Number = unsigned long long;
    std::snprintf(text, sizeof text, "cpu %llu size %llu MiB memory %llu MiB\n", static_cast<Number>(cpu.rlim_cur),
                  static_cast<Number>(size.rlim_cur >> 20), static_cast<Number>(memory.rlim_cur >> 20));
    return std::string(text);
  });
  EXPECT_NE(result.find(kSanitizedBuild ? "cpu 120 size 128 MiB" : "cpu 120 size 128 MiB memory 256 MiB\n"),
            std::string::npos)
      << result;
}

}  // namespace
}  // namespace wrenly
