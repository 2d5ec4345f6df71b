// The secret store as the rest of the reader sees it: the module
// (reader/secret_module.h) loaded once, on first use, and its answers told
// in the account's sentences. Without the module no secret service answers,
// so passwords go into the private file.
#include <dlfcn.h>

#include <mutex>

#include "platform/program_folder.h"
#include "platform/trace.h"
#include "reader/account_texts.h"
#include "reader/secret_module.h"

namespace wrenly::reader {
namespace {

const SecretModule* Module() {
  static const SecretModule* module = nullptr;
  static std::once_flag loaded;
  std::call_once(loaded, [] {
    const std::string path = GetProgramFolder() + "/" + kSecretModuleName;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto entry = handle != nullptr ? reinterpret_cast<decltype(&WrenlySecretModule)>(
                                               ::dlsym(handle, "WrenlySecretModule"))
                                         : nullptr;
    if (entry == nullptr) {
      TraceF("The secret store module %s cannot be loaded: %s\n", path.c_str(), ::dlerror());
      return;
    }
    module = entry();
  });
  return module;
}

Result Told(const SecretAnswer& answer) {
  switch (answer.outcome) {
    case SecretAnswer::kDone:
      return Result::Done();
    case SecretAnswer::kSilent:
      return Result::Refused(Refusal::kFile, SentenceWith(kSecretStoreSilentText, answer.text));
    case SecretAnswer::kLocked:
      return Result::Refused(Refusal::kFile, SentenceWith(kSecretStoreLockedText, answer.text));
    case SecretAnswer::kFailed:
      break;
  }
  return Result::Refused(Refusal::kFile, SentenceWith(kSecretStoreFailedText, answer.text));
}

Result NoModule() { return Result::Refused(Refusal::kFile, SentenceWith(kSecretStoreSilentText, kSecretModuleName)); }

}  // namespace

bool SecretServiceAnswers() {
  const SecretModule* module = Module();
  return module != nullptr && module->answers();
}

namespace secret_service {

Result Store(const PasswordKey& key, const std::string& password) {
  const SecretModule* module = Module();
  return module != nullptr ? Told(module->store(key, password)) : NoModule();
}

ValueResult<std::optional<std::string>> Lookup(const PasswordKey& key) {
  const SecretModule* module = Module();
  if (module == nullptr) return {NoModule(), std::nullopt};
  SecretAnswer answer = module->lookup(key);
  if (answer.outcome != SecretAnswer::kDone) return {Told(answer), std::nullopt};
  if (!answer.found) return {Result::Done(), std::nullopt};
  return {Result::Done(), std::move(answer.text)};
}

Result Remove(const PasswordKey& key) {
  const SecretModule* module = Module();
  return module != nullptr ? Told(module->remove(key)) : NoModule();
}

}  // namespace secret_service
}  // namespace wrenly::reader
