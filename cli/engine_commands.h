// wrenly-cli's engine commands: refresh, auto (the automatic-update schedule
// in the foreground), and set/get of settings.
#pragma once

#include <vector>

#include "cli/command.h"

namespace wrenly::cli {

std::vector<Command> EngineCommands();

}  // namespace wrenly::cli
