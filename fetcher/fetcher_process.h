// The Tolvane program: one plain download or one template run per process.
// Exit status 0 when done (every extraction run, whatever the script did,
// and a command line with nothing to do), 1 when the program cannot start,
// 2 when a plain download failed; a failure also writes one line
// "error <code> <text>" to stderr. Runs on the main thread.
#pragma once

#include <string>
#include <vector>

#include "platform/fetcher_exit.h"

namespace wrenly {

// args: the arguments after the program name.
int RunTolvane(const std::vector<std::string>& args);

}  // namespace wrenly
