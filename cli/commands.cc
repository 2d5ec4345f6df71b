#include "cli/command.h"

namespace wrenly::cli {

std::vector<Command> AllCommands() {
  std::vector<Command> all;
  return all;
}

}  // namespace wrenly::cli
