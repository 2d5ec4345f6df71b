#include "fetcher/fetcher_args.h"

#include <gtest/gtest.h>

namespace wrenly {
namespace {

TEST(FetcherArgs, ModesByPositionalCount) {
  EXPECT_EQ(ParseFetcherArgs({}).mode, FetcherMode::kNothing);
  EXPECT_EQ(ParseFetcherArgs({"http://a/"}).mode, FetcherMode::kNothing);
  const FetcherArgs plain = ParseFetcherArgs({"http://a/", "out.img"});
  EXPECT_EQ(plain.mode, FetcherMode::kPlain);
  EXPECT_EQ(plain.url, "http://a/");
  EXPECT_EQ(plain.outputPath, "out.img");
  EXPECT_FALSE(plain.useProxy);
  const FetcherArgs extraction = ParseFetcherArgs({"http://a/", "out.htm", "t.tpl", "extra"});
  EXPECT_EQ(extraction.mode, FetcherMode::kExtraction);
  EXPECT_EQ(extraction.templatePath, "t.tpl");
}

TEST(FetcherArgs, ProxyPairInAnyCase) {
  const FetcherArgs upper = ParseFetcherArgs({"-P", "proxy:8080", "http://a/", "out"});
  EXPECT_TRUE(upper.useProxy);
  EXPECT_EQ(upper.proxyAddress, "proxy:8080");
  EXPECT_EQ(upper.mode, FetcherMode::kPlain);
  EXPECT_EQ(upper.url, "http://a/");
  const FetcherArgs none = ParseFetcherArgs({"-p", "None", "http://a/", "out", "t.tpl"});
  EXPECT_EQ(none.proxyAddress, "None");
  EXPECT_EQ(none.mode, FetcherMode::kExtraction);
  // The pair leaves too few positional arguments: nothing to do.
  EXPECT_EQ(ParseFetcherArgs({"-p", "proxy:8080", "http://a/"}).mode, FetcherMode::kNothing);
}

TEST(FetcherArgs, LoneProxyOptionIsNotAPair) {
  const FetcherArgs lone = ParseFetcherArgs({"-p"});
  EXPECT_FALSE(lone.useProxy);
  EXPECT_EQ(lone.mode, FetcherMode::kNothing);
  // "-p" later on the line is an ordinary argument.
  const FetcherArgs later = ParseFetcherArgs({"http://a/", "-p"});
  EXPECT_FALSE(later.useProxy);
  EXPECT_EQ(later.outputPath, "-p");
}

TEST(FetcherArgs, AutomaticExtractionAfterTheProxyPair) {
  const FetcherArgs automatic = ParseFetcherArgs({"-p", "proxy:8080", "-A", "http://a/", "out.htm", "t.tpl"});
  EXPECT_EQ(automatic.mode, FetcherMode::kAutomatic);
  EXPECT_TRUE(automatic.useProxy);
  EXPECT_EQ(automatic.url, "http://a/");
  EXPECT_EQ(automatic.outputPath, "out.htm");
  EXPECT_EQ(automatic.templatePath, "");
  EXPECT_EQ(ParseFetcherArgs({"-a", "http://a/", "out.htm"}).mode, FetcherMode::kAutomatic);
  EXPECT_EQ(ParseFetcherArgs({"-a", "http://a/"}).mode, FetcherMode::kNothing);
  // Only in its place: later it is an ordinary argument.
  EXPECT_EQ(ParseFetcherArgs({"http://a/", "-a"}).mode, FetcherMode::kPlain);
}

TEST(FetcherArgs, OverlongProxyAddressIsFlagged) {
  EXPECT_FALSE(ParseFetcherArgs({"-p", std::string(259, 'h'), "u", "o"}).proxyTooLong);
  EXPECT_TRUE(ParseFetcherArgs({"-p", std::string(260, 'h'), "u", "o"}).proxyTooLong);
}

}  // namespace
}  // namespace wrenly
