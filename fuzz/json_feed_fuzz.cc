// Fuzz target: arbitrary bytes read as a JSON Feed.
#include <string_view>

#include "store/json_feed.h"

using namespace wrenly;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  LooksLikeJson(bytes);
  ParseJsonFeed(bytes);
  return 0;
}
