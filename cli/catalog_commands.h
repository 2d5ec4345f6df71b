// wrenly-cli's catalog commands: list, add, rename, move and delete channels
// and categories of "ChannelData/Channels.opml" under the data root, import
// an OPML file and export the catalog, each through the reader's data
// (reader/reader_data.h). A missing catalog starts out empty; a catalog that
// cannot be read is reported and never overwritten.
#pragma once

#include <vector>

#include "cli/command.h"

namespace wrenly::cli {

std::vector<Command> CatalogCommands();

}  // namespace wrenly::cli
