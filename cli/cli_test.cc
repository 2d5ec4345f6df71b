#include "cli/cli.h"

#include <gtest/gtest.h>

#include <sstream>

namespace wrenly::cli {
namespace {

struct Result {
  int status;
  std::string out, err;
};

Result RunCommand(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int status = RunCli(args, out, err);
  return {status, out.str(), err.str()};
}

TEST(Cli, VersionAndUsage) {
  EXPECT_EQ(RunCommand({"--version"}).status, 0);
  EXPECT_EQ(RunCommand({"--version"}).out, "wrenly-cli 0.1.0\n");
  const Result none = RunCommand({});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("usage:"), std::string::npos);
  const Result unknown = RunCommand({"frobnicate"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("unknown command \"frobnicate\""), std::string::npos);
}

}  // namespace
}  // namespace wrenly::cli
