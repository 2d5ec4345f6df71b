// wrenly-cli's full-text commands: extract (the automatic extraction of a
// saved page, printed) and fulltext (a channel's full-text choice).
#pragma once

#include <vector>

#include "cli/command.h"

namespace wrenly::cli {

std::vector<Command> FullTextCommands();

}  // namespace wrenly::cli
