// Fuzz target: the feed date parsers on arbitrary text, read as UTF-8 for
// the canonical form and as bytes for the ISO and RFC 822 parsers.
#include <string>

#include "platform/text.h"
#include "store/dates.h"

using namespace wrenly;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  ParseIsoDate(bytes);
  ParseRfc822Date(bytes);
  std::u16string canonical;
  if (CanonicalizeDate(Utf8ToUtf16(bytes), canonical) && canonical.size() != 19) __builtin_trap();
  return 0;
}
