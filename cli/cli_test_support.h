// Helpers of the wrenly-cli tests: a command run in this process with its
// exit status and output captured, and the lines of --json output.
#pragma once

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace wrenly::cli {

struct CliResult {
  int status;
  std::string out, err;
};

inline CliResult RunArgs(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = RunCli(args, out, err);
  return {status, out.str(), err.str()};
}

// One JSON value per line of text.
inline std::vector<nlohmann::json> JsonLines(const std::string& text) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

}  // namespace wrenly::cli
