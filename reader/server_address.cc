#include "reader/server_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>
#include <string>

#include "platform/text.h"
#include "reader/account_texts.h"

namespace wrenly::reader {
namespace {

// The host of "scheme://[user@]host[:port][/...]", without brackets.
std::string HostOf(std::string_view afterScheme) {
  std::string_view authority = afterScheme.substr(0, afterScheme.find_first_of("/?#"));
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
  if (authority.starts_with('[')) {
    const std::size_t close = authority.find(']');
    return std::string(authority.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
  }
  return std::string(authority.substr(0, authority.find(':')));
}

bool IsLoopbackV4(const in_addr& address) { return (ntohl(address.s_addr) >> 24) == 127; }

}  // namespace

bool IsThisMachine(std::string_view host) {
  if (host.starts_with('[') && host.ends_with(']')) host = host.substr(1, host.size() - 2);
  const std::string name = AsciiLower(host);
  if (name == "localhost" || name == "localhost.") return true;
  in_addr v4{};
  if (inet_pton(AF_INET, name.c_str(), &v4) == 1) return IsLoopbackV4(v4);
  in6_addr v6{};
  if (inet_pton(AF_INET6, name.c_str(), &v6) != 1) return false;
  if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
  if (!IN6_IS_ADDR_V4MAPPED(&v6)) return false;
  std::memcpy(&v4.s_addr, &v6.s6_addr[12], 4);
  return IsLoopbackV4(v4);
}

Result CheckServerAddress(std::string_view url, bool allowPlainHttp) {
  url = Trim(url);
  const std::size_t colon = url.find("://");
  const std::string scheme = AsciiLower(url.substr(0, colon == std::string_view::npos ? 0 : colon));
  if (scheme != "http" && scheme != "https")
    return Result::Refused(Refusal::kInvalid, SentenceWith(kAddressSchemeText));
  const std::string host = HostOf(url.substr(colon + 3));
  if (host.empty()) return Result::Refused(Refusal::kInvalid, SentenceWith(kAddressHostText));
  if (scheme == "http" && !allowPlainHttp && !IsThisMachine(host))
    return Result::Refused(Refusal::kInvalid, SentenceWith(kPlainHttpText));
  return Result::Done();
}

}  // namespace wrenly::reader
