#include "bench/child_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>

extern char** environ;

namespace bench {

ChildRun RunChild(std::vector<std::string> argv) {
  std::vector<char*> pointers;
  for (std::string& a : argv) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ChildRun run;
  if (rc != 0) return run;
  int status = 0;
  while (wait4(pid, &status, 0, &run.usage) < 0 && errno == EINTR) {
  }
  const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
  run.ms = elapsed.count();
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

double Ms(const timeval& time) { return static_cast<double>(time.tv_sec) * 1000 + time.tv_usec / 1000.0; }

}  // namespace bench
