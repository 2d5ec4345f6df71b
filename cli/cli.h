// wrenly-cli's dispatcher: picks the command named by the first argument,
// answers --help and --version, and returns the exit status.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace wrenly::cli {

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace wrenly::cli
