#include "fetcher/fetcher_args.h"

#include "platform/text.h"

namespace wrenly {

FetcherArgs ParseFetcherArgs(const std::vector<std::string>& args) {
  FetcherArgs result;
  size_t first = 0;
  if (args.size() >= 2 && AsciiLower(args[0]) == "-p") {
    result.useProxy = true;
    result.proxyAddress = args[1];
    result.proxyTooLong = args[1].size() > kMaxProxyAddressLength;
    first = 2;
  }
  const bool automatic = first < args.size() && AsciiLower(args[first]) == "-a";
  if (automatic) ++first;
  const size_t positional = args.size() - first;
  if (positional < 2) return result;
  result.url = args[first];
  result.outputPath = args[first + 1];
  result.mode = automatic ? FetcherMode::kAutomatic : FetcherMode::kPlain;
  if (!automatic && positional >= 3) {
    result.templatePath = args[first + 2];
    result.mode = FetcherMode::kExtraction;
  }
  return result;
}

}  // namespace wrenly
