#include "reader/password_store.h"

namespace wrenly::reader {

PasswordPlace ChoosePasswordPlace() {
  return SecretServiceAnswers() ? PasswordPlace::kSecretService : PasswordPlace::kPrivateFile;
}

Result StorePassword(PasswordPlace place, const PasswordKey& key, const std::string& password) {
  return place == PasswordPlace::kSecretService ? secret_service::Store(key, password)
                                                : password_file::Store(key, password);
}

ValueResult<std::optional<std::string>> LookupPassword(PasswordPlace place, const PasswordKey& key) {
  return place == PasswordPlace::kSecretService ? secret_service::Lookup(key) : password_file::Lookup(key);
}

Result RemovePassword(PasswordPlace place, const PasswordKey& key) {
  return place == PasswordPlace::kSecretService ? secret_service::Remove(key) : password_file::Remove(key);
}

const char* PasswordPlaceText(PasswordPlace place) {
  return place == PasswordPlace::kSecretService ? "the desktop's secret store"
                                                : "a private file (readable by you only)";
}

}  // namespace wrenly::reader
