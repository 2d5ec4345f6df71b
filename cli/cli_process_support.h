// Helpers of the tests that run the built wrenly-cli as a child process.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <string>
#include <vector>

extern char** environ;

namespace wrenly::cli {

// Starts wrenly-cli with the arguments, the environment of this process and
// its output thrown away; -1 when it could not be started.
inline pid_t StartCli(const std::vector<std::string>& args) {
  const std::string program = std::string(WRENLY_BIN_DIR) + "/wrenly-cli";
  std::vector<std::string> copies{"wrenly-cli"};
  copies.insert(copies.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The child's exit status, or 128 + the signal that ended it.
inline int WaitCli(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

inline int RunCliProgram(const std::vector<std::string>& args) {
  const pid_t pid = StartCli(args);
  return pid < 0 ? -1 : WaitCli(pid);
}

}  // namespace wrenly::cli
