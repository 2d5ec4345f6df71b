// A logged-in session with an account's server, and the sentence each of the
// server's failures is told with. Internal to reader/'s sync.
#pragma once

#include <memory>
#include <string>

#include "engine/sync/sync_server.h"
#include "reader/account.h"
#include "reader/result.h"

namespace wrenly::reader {

// A refusal (kInvalid) whose message is the failure's sentence (sync.h),
// then the server's details on a second line.
Result ServerRefusal(const sync::ServerStatus& status);

// The account's server, logged in; refused when the address is not allowed
// or the login fails. Logs out when it goes, unless it is kept.
class SyncSession {
 public:
  // With `kept`, the session an earlier sync of the account kept goes on
  // without a login (a new login follows when the server ended it).
  static ValueResult<std::unique_ptr<SyncSession>> Open(const Account& account, const std::string& kept = {});
  ~SyncSession();
  SyncSession(const SyncSession&) = delete;
  SyncSession& operator=(const SyncSession&) = delete;

  sync::SyncServer& server() { return *server_; }
  // Keeps the session open for the next sync, which saves it a login and
  // this one a logout; gives its id.
  std::string Keep();

 private:
  explicit SyncSession(std::unique_ptr<sync::SyncServer> server) : server_(std::move(server)) {}
  std::unique_ptr<sync::SyncServer> server_;
  bool kept_ = false;
};

}  // namespace wrenly::reader
