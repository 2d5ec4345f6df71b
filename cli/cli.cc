#include "cli/cli.h"

#include <algorithm>
#include <ostream>
#include <string>

#include "cli/command.h"
#include "store/stale_temp_files.h"

namespace wrenly::cli {
namespace {

constexpr const char* kVersion = "0.1.0";

std::string Synopsis(const Command& command) {
  std::string text = command.name;
  if (*command.usage != '\0') text.append(" ").append(command.usage);
  return text;
}

void PrintOverview(std::ostream& out) {
  out << "usage: wrenly-cli COMMAND [ARGS...]\n"
         "       wrenly-cli COMMAND --help\n"
         "       wrenly-cli --version\n\ncommands:\n";
  for (const Command& c : AllCommands()) out << "  " << Synopsis(c) << '\n';
}

bool WantsHelp(const std::vector<std::string>& args) {
  return std::find(args.begin(), args.end(), "--help") != args.end();
}

}  // namespace

int UsageError(const Command& command, std::ostream& err) {
  err << "usage: wrenly-cli " << Synopsis(command) << '\n';
  return kExitUsage;
}

int UsageError(std::string_view name, std::ostream& err) {
  for (const Command& c : AllCommands())
    if (c.name == name) return UsageError(c, err);
  return kExitUsage;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    PrintOverview(err);
    return kExitUsage;
  }
  if (args[0] == "--version") {
    out << "wrenly-cli " << kVersion << '\n';
    return kExitOk;
  }
  if (args[0] == "--help" || args[0] == "help") {
    PrintOverview(out);
    return kExitOk;
  }
  const std::vector<Command> commands = AllCommands();
  const auto it = std::find_if(commands.begin(), commands.end(),
                               [&](const Command& c) { return args[0] == c.name; });
  if (it == commands.end()) {
    err << "wrenly-cli: unknown command \"" << args[0] << "\"\n";
    PrintOverview(err);
    return kExitUsage;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (WantsHelp(rest)) {
    out << "usage: wrenly-cli " << Synopsis(*it) << "\n\n" << it->help << '\n';
    return kExitOk;
  }
  // Files of a killed earlier run would otherwise stay for good.
  RemoveStaleTempFilesAtStart();
  return it->run(rest, out, err);
}

}  // namespace wrenly::cli
