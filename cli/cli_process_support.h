// Helpers of the tests that run the built wrenly-cli as a child process.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace wrenly::cli {

// Where a child's standard streams go: a file's path each; empty keeps this
// process's standard input and throws output away.
struct CliStreams {
  std::string in, out, err;
};

// Starts wrenly-cli with the arguments and the environment of this process;
// -1 when it could not be started.
inline pid_t StartCli(const std::vector<std::string>& args, const CliStreams& streams = {}) {
  const std::string program = std::string(WRENLY_BIN_DIR) + "/wrenly-cli";
  std::vector<std::string> copies{"wrenly-cli"};
  copies.insert(copies.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!streams.in.empty()) posix_spawn_file_actions_addopen(&actions, 0, streams.in.c_str(), O_RDONLY, 0);
  for (const auto& [fd, path] : {std::pair{1, &streams.out}, std::pair{2, &streams.err}}) {
    const char* target = path->empty() ? "/dev/null" : path->c_str();
    posix_spawn_file_actions_addopen(&actions, fd, target, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
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
