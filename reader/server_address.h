// Which server addresses an account may use: http and https only, and plain
// http only to this machine (its password would otherwise cross the network
// unencrypted) unless the person allows it. Safe for concurrent use.
#pragma once

#include <string_view>

#include "reader/result.h"

namespace wrenly::reader {

// Done for an address the account may use; refused (kInvalid) with a
// message that says why and what to do.
Result CheckServerAddress(std::string_view url, bool allowPlainHttp);

// True for a host name that is this machine: "localhost", 127.0.0.0/8 and
// ::1 (also in brackets and as an IPv4-mapped address).
bool IsThisMachine(std::string_view host);

}  // namespace wrenly::reader
