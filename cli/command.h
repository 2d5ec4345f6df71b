// The commands of wrenly-cli. Each command group (catalog, items, refresh...)
// lives in its own file and hands its table to AllCommands().
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace wrenly::cli {

// Exit statuses of every command.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct Command {
  const char* name;
  const char* usage;  // arguments after the name, e.g. "URL TITLE [--category NAME]"
  const char* help;   // one or two sentences
  int (*run)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
};

std::vector<Command> AllCommands();

// Prints "usage: wrenly-cli NAME USAGE" to err and returns kExitUsage.
int UsageError(const Command& command, std::ostream& err);
// The same for the command of that name.
int UsageError(std::string_view name, std::ostream& err);

}  // namespace wrenly::cli
