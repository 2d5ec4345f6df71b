// The desktop's secret store lives in a module, libwrenly-secret.so beside
// the programs, loaded the first time an account needs it: libsecret and
// GLib's D-Bus would otherwise be mapped at every program start, a third of
// a short wrenly-cli command's time. This is what the module hands over.
#pragma once

#include <string>

#include "reader/password_store.h"

namespace wrenly::reader {

struct SecretAnswer {
  enum Outcome { kDone, kSilent, kLocked, kFailed };
  Outcome outcome = kDone;
  bool found = false;  // lookup: a password was stored for the key
  std::string text;    // the password found, or what the service said
};

struct SecretModule {
  bool (*answers)();
  SecretAnswer (*store)(const PasswordKey& key, const std::string& password);
  SecretAnswer (*lookup)(const PasswordKey& key);
  SecretAnswer (*remove)(const PasswordKey& key);
};

inline constexpr char kSecretModuleName[] = "libwrenly-secret.so";

}  // namespace wrenly::reader

// The module's one exported function.
extern "C" const wrenly::reader::SecretModule* WrenlySecretModule();
