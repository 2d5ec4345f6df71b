// Tolvane's command line: an optional "-p" proxy pair (any case), an optional
// "-a" (automatic extraction, any case), then URL, output path and, for
// template extraction, the template path. Pure functions.
#pragma once

#include <string>
#include <vector>

namespace wrenly {

// The longest proxy address (host:port) a transfer takes.
constexpr size_t kMaxProxyAddressLength = 259;

enum class FetcherMode { kNothing, kPlain, kExtraction, kAutomatic };

struct FetcherArgs {
  bool useProxy = false;
  std::string proxyAddress;  // as given, also "None"
  std::string url;
  std::string outputPath;
  std::string templatePath;  // empty unless extraction mode
  FetcherMode mode = FetcherMode::kNothing;
  bool proxyTooLong = false;  // the address exceeds kMaxProxyAddressLength
};

// args: the arguments after the program name. The proxy pair is taken only
// when there are at least two arguments; "-a" only right after it (or
// first), and then a template path is ignored; arguments after the third
// positional one are ignored; fewer than two positional ones mean nothing
// is done.
FetcherArgs ParseFetcherArgs(const std::vector<std::string>& args);

}  // namespace wrenly
