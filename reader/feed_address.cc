#include "reader/feed_address.h"

#include "platform/text.h"

namespace wrenly::reader {

std::u16string ComparableFeedAddress(std::u16string_view address) {
  std::u16string text(Trim(address));
  const std::size_t colon = text.find(u"://");
  if (colon == std::u16string::npos) return text;
  const std::u16string scheme = AsciiLower(std::u16string_view(text).substr(0, colon));
  const std::size_t hostStart = colon + 3;
  const std::size_t hostEnd = std::min(text.find_first_of(u"/?#", hostStart), text.size());
  std::u16string host = AsciiLower(std::u16string_view(text).substr(hostStart, hostEnd - hostStart));
  const std::u16string_view defaultPort = scheme == u"http" ? u":80" : scheme == u"https" ? u":443" : u"";
  if (!defaultPort.empty() && host.ends_with(defaultPort)) host.resize(host.size() - defaultPort.size());
  std::u16string rest = text.substr(hostEnd);
  if (rest.empty() || rest.front() != u'/') rest.insert(0, u"/");
  return scheme + u"://" + host + rest;
}

bool SameFeedAddress(std::u16string_view a, std::u16string_view b) {
  return ComparableFeedAddress(a) == ComparableFeedAddress(b);
}

}  // namespace wrenly::reader
