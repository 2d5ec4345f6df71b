// The data root's account on a news server the person runs: which server,
// who logs in, and where the password is kept (the desktop's secret store
// when one answers, else a file only the user can read). With an account the
// server is the source of the subscriptions and the read state (sync.h).
// Safe for concurrent use; every call reads or replaces the files afresh.
#pragma once

#include <optional>
#include <string>

#include "reader/result.h"

namespace wrenly::reader {

// Where an account's password is kept.
enum class PasswordPlace {
  kSecretService,  // the desktop's secret store (libsecret)
  kPrivateFile,    // a file readable by its owner only
};

struct Account {
  std::string kind = "ttrss";  // the server's API; only Tiny Tiny RSS for now
  std::string url;             // the server's address, as typed (http or https)
  std::string user;
  std::string password;
  // Plain http to a host that is not this machine is refused unless this is set.
  bool allow_plain_http = false;
};

// The account of the data root `root`, with its password; nothing when none is set.
// Refused (kFile) when the account file or the password cannot be read.
ValueResult<std::optional<Account>> LoadAccount(const std::string& root);

// Sets the account of `root`, replacing any other; refused (kInvalid) for an
// address that is not http(s) or is plain http to another host without
// allow_plain_http, and (kFile) when it cannot be stored. Says where the
// password went.
ValueResult<PasswordPlace> SaveAccount(const std::string& root, const Account& account);

// Removes the account and its password; the channels stay, as local ones.
Result RemoveAccount(const std::string& root);

// The account as stored, its password not read (left empty), and where the
// password is kept: what a front end shows without asking the secret store.
struct StoredAccount {
  Account account;
  PasswordPlace place = PasswordPlace::kPrivateFile;
};
ValueResult<std::optional<StoredAccount>> ReadAccount(const std::string& root);

// The account file of `root` ("Account.json" in the data root).
std::string AccountFilePath(const std::string& root);

}  // namespace wrenly::reader
