// The two places an account's password can be kept: the desktop's secret
// store (libsecret, only while a secret service answers on the session bus)
// and a private file beside the settings file, readable by its owner only.
// Both key a password by server, user and the account's own id, so two data
// roots with the same login, or two logins, never share or remove each
// other's password. Safe for concurrent use; no call waits more than a few
// seconds for the session bus.
#pragma once

#include <optional>
#include <string>

#include "reader/account.h"
#include "reader/result.h"

namespace wrenly::reader {

struct PasswordKey {
  std::string server;
  std::string user;
  std::string account;  // the id the account file holds
};

// Where a new password goes: the secret store when a secret service owns its
// name on the session bus now (asked without starting one), else the file.
PasswordPlace ChoosePasswordPlace();
bool SecretServiceAnswers();

Result StorePassword(PasswordPlace place, const PasswordKey& key, const std::string& password);
// The password, nothing when that place has none for the key; refused when
// the place cannot be read.
ValueResult<std::optional<std::string>> LookupPassword(PasswordPlace place, const PasswordKey& key);
// Done also when there was none.
Result RemovePassword(PasswordPlace place, const PasswordKey& key);

// The private file: "Wrenly Mobile.passwords" in the settings file's folder
// (a data root may be on a card that cannot keep file modes).
std::string PasswordFilePath();

// What the front ends say about a place, in English.
const char* PasswordPlaceText(PasswordPlace place);

namespace secret_service {
Result Store(const PasswordKey& key, const std::string& password);
ValueResult<std::optional<std::string>> Lookup(const PasswordKey& key);
Result Remove(const PasswordKey& key);
}  // namespace secret_service

namespace password_file {
Result Store(const PasswordKey& key, const std::string& password);
ValueResult<std::optional<std::string>> Lookup(const PasswordKey& key);
Result Remove(const PasswordKey& key);
}  // namespace password_file

}  // namespace wrenly::reader
