// The desktop's secret store through libsecret. Nothing here waits long or
// asks the person anything: the service is used only while its name has an
// owner on the session bus (asked without D-Bus activation), only through an
// unlocked default collection (a locked one would need an unlock prompt),
// and every call is cancelled after a few seconds.
#include <libsecret/secret.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "reader/password_store.h"

namespace wrenly::reader {
namespace {

constexpr auto kCallLimit = std::chrono::seconds(5);
constexpr int kNameQueryMilliseconds = 1000;

const SecretSchema* Schema() {
  static const SecretSchema schema = {"net.wrenly.AccountPassword",
                                      SECRET_SCHEMA_NONE,
                                      {{"server", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                       {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                       {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                       {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                      0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  return &schema;
}

// A cancellable that a watchdog thread cancels when the time limit is up.
class Deadline {
 public:
  Deadline() : cancellable_(g_cancellable_new()), watchdog_([this] { Watch(); }) {}
  ~Deadline() {
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    wake_.notify_one();
    watchdog_.join();
    g_object_unref(cancellable_);
  }
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;
  GCancellable* get() { return cancellable_; }

 private:
  void Watch() {
    std::unique_lock lock(mutex_);
    if (!wake_.wait_for(lock, kCallLimit, [this] { return finished_; })) g_cancellable_cancel(cancellable_);
  }

  GCancellable* cancellable_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool finished_ = false;
  std::thread watchdog_;  // last: started once the rest is ready
};

struct ErrorHolder {
  GError* error = nullptr;
  ~ErrorHolder() {
    if (error != nullptr) g_error_free(error);
  }
  std::string text() const { return error != nullptr ? error->message : "no answer"; }
};

Result Failed(const char* what, const ErrorHolder& error) {
  return Result::Refused(Refusal::kFile, std::string(what) + " (" + error.text() + ").");
}

GHashTable* Attributes(const PasswordKey& key) {
  GHashTable* attributes = g_hash_table_new(g_str_hash, g_str_equal);
  g_hash_table_insert(attributes, const_cast<char*>("server"), const_cast<char*>(key.server.c_str()));
  g_hash_table_insert(attributes, const_cast<char*>("user"), const_cast<char*>(key.user.c_str()));
  g_hash_table_insert(attributes, const_cast<char*>("account"), const_cast<char*>(key.account.c_str()));
  return attributes;
}

// The service, or null with the reason in error.
SecretService* Service(Deadline& deadline, ErrorHolder& error) {
  return secret_service_get_sync(SECRET_SERVICE_NONE, deadline.get(), &error.error);
}

}  // namespace

bool SecretServiceAnswers() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address == nullptr || *address == '\0') return false;
  Deadline deadline;
  ErrorHolder error;
  GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
      address,
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, deadline.get(), &error.error);
  if (bus == nullptr) return false;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
      g_variant_new("(s)", "org.freedesktop.secrets"), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NO_AUTO_START,
      kNameQueryMilliseconds, deadline.get(), nullptr);
  gboolean owned = FALSE;
  if (reply != nullptr) {
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
  }
  g_dbus_connection_close_sync(bus, nullptr, nullptr);
  g_object_unref(bus);
  return owned != FALSE;
}

namespace secret_service {

Result Store(const PasswordKey& key, const std::string& password) {
  Deadline deadline;
  ErrorHolder error;
  SecretService* service = Service(deadline, error);
  if (service == nullptr) return Failed("The desktop's secret store does not answer", error);
  SecretCollection* collection = secret_collection_for_alias_sync(service, SECRET_COLLECTION_DEFAULT,
                                                                  SECRET_COLLECTION_NONE, deadline.get(), &error.error);
  g_object_unref(service);
  if (collection == nullptr) return Failed("The desktop's secret store has no default keyring", error);
  const bool locked = secret_collection_get_locked(collection);
  g_object_unref(collection);
  if (locked) return Result::Refused(Refusal::kFile, "The desktop's secret store is locked.");
  const std::string label = "Wrenly: " + key.user + " on " + key.server;
  GHashTable* attributes = Attributes(key);
  const gboolean stored = secret_password_storev_sync(Schema(), attributes, SECRET_COLLECTION_DEFAULT, label.c_str(),
                                                      password.c_str(), deadline.get(), &error.error);
  g_hash_table_unref(attributes);
  if (!stored) return Failed("The desktop's secret store did not take the password", error);
  return Result::Done();
}

ValueResult<std::optional<std::string>> Lookup(const PasswordKey& key) {
  if (!SecretServiceAnswers())
    return {Result::Refused(Refusal::kFile,
                            "The password is kept in the desktop's secret store, which does not answer now."),
            std::nullopt};
  Deadline deadline;
  ErrorHolder error;
  SecretService* service = Service(deadline, error);
  if (service == nullptr) return {Failed("The desktop's secret store does not answer", error), std::nullopt};
  GHashTable* attributes = Attributes(key);
  // Without SECRET_SEARCH_UNLOCK: a locked item is reported, never prompted for.
  GList* items = secret_service_search_sync(service, Schema(), attributes, SECRET_SEARCH_LOAD_SECRETS,
                                            deadline.get(), &error.error);
  g_hash_table_unref(attributes);
  g_object_unref(service);
  if (error.error != nullptr) return {Failed("The desktop's secret store could not be searched", error), std::nullopt};
  ValueResult<std::optional<std::string>> found{Result::Done(), std::nullopt};
  if (items != nullptr) {
    auto* item = static_cast<SecretItem*>(items->data);
    SecretValue* value = secret_item_get_secret(item);
    if (value != nullptr) {
      found.value = secret_value_get_text(value) != nullptr ? secret_value_get_text(value) : "";
      secret_value_unref(value);
    } else {
      found.result = Result::Refused(Refusal::kFile, "The desktop's secret store is locked.");
    }
  }
  g_list_free_full(items, g_object_unref);
  return found;
}

Result Remove(const PasswordKey& key) {
  if (!SecretServiceAnswers())
    return Result::Refused(Refusal::kFile, "The password stays in the desktop's secret store, which does not answer now.");
  Deadline deadline;
  ErrorHolder error;
  GHashTable* attributes = Attributes(key);
  secret_password_clearv_sync(Schema(), attributes, deadline.get(), &error.error);
  g_hash_table_unref(attributes);
  if (error.error != nullptr) return Failed("The password could not be removed from the desktop's secret store", error);
  return Result::Done();
}

}  // namespace secret_service
}  // namespace wrenly::reader
