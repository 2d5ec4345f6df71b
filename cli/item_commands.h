// wrenly-cli's item commands: parse a feed document without a store, merge
// one into a channel's item store as a refresh does, list a channel's items,
// mark them read or unread, and delete one. Channels are named by number;
// their files live in "ChannelData" under the data root.
#pragma once

#include <vector>

#include "cli/command.h"

namespace wrenly::cli {

std::vector<Command> ItemCommands();

}  // namespace wrenly::cli
