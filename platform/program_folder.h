// The program folder: the folder that holds the running executable, and with
// it Tolvane, Templates/, Localization/ and SampleChannels.opml.
#pragma once

#include <string>

namespace wrenly {

// Absolute path without a trailing "/"; empty when /proc/self/exe is unreadable.
std::string GetProgramFolder();

}  // namespace wrenly
