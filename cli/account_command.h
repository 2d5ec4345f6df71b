// wrenly-cli account: sets, shows and removes the data root's account on a
// news server; the password is read from standard input and never printed.
#pragma once

#include <vector>

#include "cli/command.h"

namespace wrenly::cli {

std::vector<Command> AccountCommands();

}  // namespace wrenly::cli
