// The sync of a data root with the news server of its account (account.h):
// the server is the source of the subscriptions and the read state, and a
// refresh is a sync. Local read and unread marks wait in a journal in the
// data root until a sync sends them. Every operation blocks its thread and
// holds the data root's lock only for each change of the files.
#pragma once

#include <string>
#include <vector>

#include "reader/account.h"
#include "reader/result.h"

namespace wrenly::reader {

// The reasons a sync or a login can fail, each one sentence (in English, a
// key of the translation table) that starts the refusal's message; the
// message's second line, when there is one, gives the details.
inline constexpr char16_t kSyncWrongPasswordText[] = u"Sync: wrong user name or password.";
inline constexpr char16_t kSyncApiDisabledText[] = u"Sync: API access is off for this user on the server.";
inline constexpr char16_t kSyncUnreachableText[] = u"Sync: the server cannot be reached.";
inline constexpr char16_t kSyncNotAServerText[] = u"Sync: the address is not that of a Tiny Tiny RSS server.";
inline constexpr char16_t kSyncPlainHttpText[] = u"Sync: plain http to another computer is not allowed for this account.";
inline constexpr char16_t kSyncRefusedText[] = u"Sync: the server refused a request.";

// Logs in with the account, checks that the server is a Tiny Tiny RSS with
// API access for the user, and logs out. Refused (kInvalid) with one of the
// reasons above as the first line of its message.
Result CheckLogin(const Account& account);

}  // namespace wrenly::reader

namespace wrenly::reader {

// What a sync did.
struct SyncReport {
  int requests = 0;         // requests sent to the server
  int channelsAdded = 0;    // channels the server had and this data root not
  int channelsRemoved = 0;  // channels unsubscribed on the server or by the journal
  int channelsSent = 0;     // local channels subscribed on the server
  int newItems = 0;
  int changesSent = 0;      // local read, unread and unsubscribe changes sent
  int changesReceived = 0;  // items whose read flag the server's state changed
  // What stayed local, and why (a channel the server refused, say).
  std::vector<std::string> notes;
};

// Syncs the data root with the account's server: sends the journal of local
// changes (a pending local change wins over the server's state), mirrors the
// server's categories and feeds in the catalog (keeping each channel's
// number, files and settings; a local channel the server does not know yet
// is subscribed there), merges the new headlines into the channels' items,
// and takes the server's read state. Refused (kInvalid) with one of the
// reasons above when the server cannot be used; nothing local is lost then.
ValueResult<SyncReport> Sync(const std::string& root, const Account& account);

// True when the data root takes part in a sync (it has synced once): its
// read and unread marks and unsubscriptions are then journaled for the next
// sync. Used by ReaderData's operations.
bool SyncJournalActive(const std::string& root);

}  // namespace wrenly::reader
