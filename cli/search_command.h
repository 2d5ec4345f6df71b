// wrenly-cli search: the stored headlines that hold every word of a query,
// newest first, as text or JSON lines.
#pragma once

#include <vector>

#include "cli/command.h"

namespace wrenly::cli {

std::vector<Command> SearchCommands();

}  // namespace wrenly::cli
