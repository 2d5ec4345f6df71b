#include <gtest/gtest.h>

#include "cli/cli_test_support.h"

namespace wrenly::cli {
namespace {

TEST(Cli, VersionAndUsage) {
  EXPECT_EQ(RunArgs({"--version"}).status, 0);
  EXPECT_EQ(RunArgs({"--version"}).out, "wrenly-cli 0.1.0\n");
  const CliResult none = RunArgs({});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("usage:"), std::string::npos);
  const CliResult unknown = RunArgs({"frobnicate"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("unknown command \"frobnicate\""), std::string::npos);
}

}  // namespace
}  // namespace wrenly::cli
