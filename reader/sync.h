// The sync of a data root with the news server of its account (account.h):
// the server is the source of the subscriptions and the read state, and a
// refresh is a sync. Local read and unread marks wait in a journal in the
// data root until a sync sends them. Every operation blocks its thread and
// holds the data root's lock only for each change of the files.
#pragma once

#include "reader/account.h"
#include "reader/result.h"

namespace wrenly::reader {

// The reasons a sync or a login can fail, each one sentence (in English, a
// key of the translation table) that starts the refusal's message; the
// message's second line, when there is one, gives the details.
inline constexpr char kSyncWrongPassword[] = "Sync: wrong user name or password.";
inline constexpr char kSyncApiDisabled[] = "Sync: API access is off for this user on the server.";
inline constexpr char kSyncUnreachable[] = "Sync: the server cannot be reached.";
inline constexpr char kSyncNotAServer[] = "Sync: the address is not that of a Tiny Tiny RSS server.";
inline constexpr char kSyncPlainHttp[] = "Sync: plain http to another computer is not allowed for this account.";
inline constexpr char kSyncRefused[] = "Sync: the server refused a request.";

// Logs in with the account, checks that the server is a Tiny Tiny RSS with
// API access for the user, and logs out. Refused (kInvalid) with one of the
// reasons above as the first line of its message.
Result CheckLogin(const Account& account);

}  // namespace wrenly::reader
