// The account file is a small JSON object in the data root: kind, url, user,
// allowPlainHttp, where the password is kept and the id that keys it there.
// Every save gives the password a fresh id and removes the old one only once
// the new file is in place, so a failed save leaves the old account whole.
#include "reader/account.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/file_ops.h"
#include "platform/text.h"
#include "reader/account_texts.h"
#include "reader/password_store.h"
#include "reader/server_address.h"
#include "reader/sync_state.h"
#include "store/data_root_lock.h"

namespace wrenly::reader {
namespace {

using Json = nlohmann::json;

constexpr char kKindTtrss[] = "ttrss";
constexpr char kPlaceSecretService[] = "secret-service";
constexpr char kPlacePrivateFile[] = "private-file";

struct AccountRecord {
  StoredAccount stored;
  std::string passwordId;

  PasswordKey Key() const { return {stored.account.url, stored.account.user, passwordId}; }
};

Result Unreadable(const std::string& path, const std::string& why) {
  return Result::Refused(Refusal::kFile, SentenceWith(kAccountUnreadableText, path + ": " + why));
}

std::optional<std::string> StringField(const Json& document, const char* name) {
  const auto it = document.find(name);
  if (it == document.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

// The record in the file, nothing when there is no file.
ValueResult<std::optional<AccountRecord>> ReadRecord(const std::string& root) {
  const std::string path = AccountFilePath(root);
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (errno == ENOENT) return {Result::Done(), std::nullopt};
    return {Unreadable(path, std::strerror(errno)), std::nullopt};
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const Json document = Json::parse(bytes.str(), nullptr, false);
  if (document.is_discarded() || !document.is_object()) return {Unreadable(path, "not an account"), std::nullopt};
  AccountRecord record;
  Account& account = record.stored.account;
  const auto kind = StringField(document, "kind");
  const auto url = StringField(document, "url");
  const auto user = StringField(document, "user");
  const auto place = StringField(document, "passwordPlace");
  const auto id = StringField(document, "passwordId");
  const auto plain = document.find("allowPlainHttp");
  if (!kind || !url || !user || !place || !id || plain == document.end() || !plain->is_boolean())
    return {Unreadable(path, "a field is missing"), std::nullopt};
  if (*place != kPlaceSecretService && *place != kPlacePrivateFile)
    return {Unreadable(path, "unknown password place \"" + *place + "\""), std::nullopt};
  account.kind = *kind;
  account.url = *url;
  account.user = *user;
  account.allow_plain_http = plain->get<bool>();
  record.stored.place = *place == kPlaceSecretService ? PasswordPlace::kSecretService : PasswordPlace::kPrivateFile;
  record.passwordId = *id;
  return {Result::Done(), std::move(record)};
}

Result WriteRecord(const std::string& root, const AccountRecord& record) {
  const Account& account = record.stored.account;
  const Json document = {
      {"kind", account.kind},
      {"url", account.url},
      {"user", account.user},
      {"allowPlainHttp", account.allow_plain_http},
      {"passwordPlace", record.stored.place == PasswordPlace::kSecretService ? kPlaceSecretService : kPlacePrivateFile},
      {"passwordId", record.passwordId}};
  std::string error;
  const std::string path = AccountFilePath(root);
  if (!WriteFileAtomically(path, document.dump(1, '\t', false, Json::error_handler_t::replace) + "\n", &error))
    return Result::Refused(Refusal::kFile, SentenceWith(kAccountUnwritableText, path + ": " + error));
  return Result::Done();
}

std::string NewPasswordId() {
  std::random_device random;
  char id[17];
  std::snprintf(id, sizeof id, "%08x%08x", random(), random());
  return id;
}

// A done result says the first thing that went wrong after the fact.
void Note(Result& result, const std::string& note) {
  if (result.message.empty()) result.message = note;
}

Result CheckAccount(const Account& account) {
  if (account.kind != kKindTtrss)
    return Result::Refused(Refusal::kInvalid, SentenceWith(kOnlyTtrssText));
  if (Result address = CheckServerAddress(account.url, account.allow_plain_http); !address.done()) return address;
  if (Trim(account.user).empty()) return Result::Refused(Refusal::kInvalid, SentenceWith(kUserEmptyText));
  if (account.password.empty()) return Result::Refused(Refusal::kInvalid, SentenceWith(kPasswordEmptyText));
  return Result::Done();
}

// Stores the password where the secret service takes it, else in the file;
// the note says why the secret store was passed over when it answered.
ValueResult<PasswordPlace> StoreNewPassword(const PasswordKey& key, const std::string& password) {
  if (ChoosePasswordPlace() == PasswordPlace::kSecretService) {
    const Result stored = StorePassword(PasswordPlace::kSecretService, key, password);
    if (stored.done()) return {Result::Done(), PasswordPlace::kSecretService};
    const Result inFile = StorePassword(PasswordPlace::kPrivateFile, key, password);
    if (!inFile.done()) return {inFile, PasswordPlace::kPrivateFile};
    return {Result::Done(SentenceWith(kPasswordInFileInsteadText, stored.message)),
            PasswordPlace::kPrivateFile};
  }
  return {StorePassword(PasswordPlace::kPrivateFile, key, password), PasswordPlace::kPrivateFile};
}

}  // namespace

std::string AccountFilePath(const std::string& root) { return root + "/Account.json"; }

ValueResult<std::optional<StoredAccount>> ReadAccount(const std::string& root) {
  const DataRootLock lock(root, LockMode::kShared);
  const auto record = ReadRecord(root);
  if (!record.done() || !record.value) return {record.result, std::nullopt};
  return {Result::Done(), record.value->stored};
}

ValueResult<std::optional<Account>> LoadAccount(const std::string& root) {
  const DataRootLock lock(root, LockMode::kShared);
  const auto record = ReadRecord(root);
  if (!record.done() || !record.value) return {record.result, std::nullopt};
  const auto password = LookupPassword(record.value->stored.place, record.value->Key());
  if (!password.done()) return {password.result, std::nullopt};
  Account account = record.value->stored.account;
  if (!password.value)
    return {Result::Refused(Refusal::kFile, SentenceWith(kPasswordMissingText,
                                                         account.user + " on " + account.url + ", in " +
                                                             PasswordPlaceText(record.value->stored.place))),
            std::nullopt};
  account.password = *password.value;
  return {Result::Done(), std::move(account)};
}

ValueResult<PasswordPlace> SaveAccount(const std::string& root, const Account& given) {
  Account account = given;
  account.url = std::string(Trim(account.url));
  account.user = std::string(Trim(account.user));
  if (Result checked = CheckAccount(account); !checked.done()) return {checked, PasswordPlace::kPrivateFile};
  const DataRootLock lock(root, LockMode::kExclusive);
  // An unreadable old file is replaced: saving is how the person repairs it.
  const auto old = ReadRecord(root);
  AccountRecord record;
  record.passwordId = NewPasswordId();
  const std::string password = account.password;
  account.password.clear();
  record.stored.account = std::move(account);
  ValueResult<PasswordPlace> place = StoreNewPassword(record.Key(), password);
  if (!place.done()) {
    // A store that failed only in flushing its folder holds the password.
    RemovePassword(place.value, record.Key());
    return place;
  }
  record.stored.place = place.value;
  if (Result written = WriteRecord(root, record); !written.done()) {
    // Only the flush of the folder may have failed, with the new file in place.
    const auto now = ReadRecord(root);
    if (!now.done() || !now.value || now.value->passwordId != record.passwordId) {
      RemovePassword(place.value, record.Key());
      return {written, place.value};
    }
    Note(place.result, written.message);
  }
  if (old.done() && old.value) {
    const Result removed = RemovePassword(old.value->stored.place, old.value->Key());
    if (!removed.done()) Note(place.result, SentenceWith(kOldPasswordStaysText, removed.message));
  }
  return place;
}

Result RemoveAccount(const std::string& root) {
  const DataRootLock lock(root, LockMode::kExclusive);
  const auto record = ReadRecord(root);
  if (!record.done()) return record.result;
  if (!record.value) return Result::Refused(Refusal::kNotFound, SentenceWith(kNoAccountText));
  // The file first: it is what makes the account; a password that cannot be
  // removed now (a secret store that does not answer) is only reported.
  const std::string path = AccountFilePath(root);
  if (std::remove(path.c_str()) != 0 && errno != ENOENT)
    return Result::Refused(Refusal::kFile, SentenceWith(kAccountUnwritableText, path + ": " + std::strerror(errno)));
  SyncFolder(root);
  // The server session a sync kept open is as good as the password until
  // the server ends it.
  SyncState(root).ForgetSession();
  const Result removed = RemovePassword(record.value->stored.place, record.value->Key());
  return Result::Done(removed.done() ? "" : SentenceWith(kPasswordStaysText, removed.message));
}

}  // namespace wrenly::reader
