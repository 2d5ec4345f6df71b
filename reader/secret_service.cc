// The secret store module: the desktop's secret store through libsecret.
// Nothing here waits long or asks the person anything: the service is used
// only while its name has an owner on the session bus (asked without D-Bus
// activation), only through an unlocked default collection (a locked one
// would need an unlock prompt), and every call is cancelled after a few
// seconds.
#include <libsecret/secret.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "reader/secret_module.h"

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

struct ObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using ObjectPtr = std::unique_ptr<T, ObjectUnref>;
struct TableUnref {
  void operator()(GHashTable* table) const { g_hash_table_unref(table); }
};
using AttributesPtr = std::unique_ptr<GHashTable, TableUnref>;
struct ValueUnref {
  void operator()(SecretValue* value) const { secret_value_unref(value); }
};
using ValuePtr = std::unique_ptr<SecretValue, ValueUnref>;
struct ListFree {
  void operator()(GList* list) const { g_list_free_full(list, g_object_unref); }
};

struct ErrorHolder {
  GError* error = nullptr;
  ~ErrorHolder() {
    if (error != nullptr) g_error_free(error);
  }
  std::string text() const { return error != nullptr ? error->message : "no answer"; }
};

SecretAnswer Failed(SecretAnswer::Outcome outcome, const ErrorHolder& error) { return {outcome, false, error.text()}; }

GHashTable* Attributes(const PasswordKey& key) {
  GHashTable* attributes = g_hash_table_new(g_str_hash, g_str_equal);
  g_hash_table_insert(attributes, const_cast<char*>("server"), const_cast<char*>(key.server.c_str()));
  g_hash_table_insert(attributes, const_cast<char*>("user"), const_cast<char*>(key.user.c_str()));
  g_hash_table_insert(attributes, const_cast<char*>("account"), const_cast<char*>(key.account.c_str()));
  return attributes;
}

// A proxy of the service of its own, or null with the reason in error: the
// shared one would outlive a secret service (or session bus) that restarts.
SecretService* Service(Deadline& deadline, ErrorHolder& error) {
  return secret_service_open_sync(SECRET_TYPE_SERVICE, nullptr, SECRET_SERVICE_NONE, deadline.get(), &error.error);
}

// A call to the bus itself, waiting at most kNameQueryMilliseconds.
GVariant* CallBus(GDBusConnection* bus, const char* method, GVariant* arguments, const char* replyType,
                  GCancellable* cancellable) {
  return g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                     method, arguments, G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NO_AUTO_START,
                                     kNameQueryMilliseconds, cancellable, nullptr);
}

bool Answers() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address == nullptr || *address == '\0') return false;
  Deadline deadline;
  // A connection of its own, greeted by hand: GLib's own greeting of a
  // message bus waits for the answer without a time limit.
  GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
      address, G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT, nullptr, deadline.get(), nullptr);
  if (bus == nullptr) return false;
  gboolean owned = FALSE;
  if (GVariant* hello = CallBus(bus, "Hello", nullptr, "(s)", deadline.get())) {
    g_variant_unref(hello);
    if (GVariant* reply =
            CallBus(bus, "NameHasOwner", g_variant_new("(s)", "org.freedesktop.secrets"), "(b)", deadline.get())) {
      g_variant_get(reply, "(b)", &owned);
      g_variant_unref(reply);
    }
  }
  g_dbus_connection_close_sync(bus, nullptr, nullptr);
  g_object_unref(bus);
  return owned != FALSE;
}

SecretAnswer Store(const PasswordKey& key, const std::string& password) {
  Deadline deadline;
  ErrorHolder error;
  const ObjectPtr<SecretService> service(Service(deadline, error));
  if (!service) return Failed(SecretAnswer::kSilent, error);
  const ObjectPtr<SecretCollection> collection(secret_collection_for_alias_sync(
      service.get(), SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, deadline.get(), &error.error));
  if (!collection) return Failed(SecretAnswer::kFailed, error);
  // Storing into a locked keyring would wait for the person to unlock it.
  if (secret_collection_get_locked(collection.get())) return {SecretAnswer::kLocked, false, {}};
  const std::string label = "Wrenly: " + key.user + " on " + key.server;
  const AttributesPtr attributes(Attributes(key));
  const ValuePtr value(secret_value_new(password.c_str(), -1, "text/plain"));
  if (!secret_service_store_sync(service.get(), Schema(), attributes.get(), SECRET_COLLECTION_DEFAULT, label.c_str(),
                                 value.get(), deadline.get(), &error.error))
    return Failed(SecretAnswer::kFailed, error);
  return {};
}

SecretAnswer Lookup(const PasswordKey& key) {
  if (!Answers()) return {SecretAnswer::kSilent, false, {}};
  Deadline deadline;
  ErrorHolder error;
  const ObjectPtr<SecretService> service(Service(deadline, error));
  if (!service) return Failed(SecretAnswer::kSilent, error);
  const AttributesPtr attributes(Attributes(key));
  // Without SECRET_SEARCH_UNLOCK: a locked item is reported, never prompted for.
  const std::unique_ptr<GList, ListFree> items(secret_service_search_sync(
      service.get(), Schema(), attributes.get(), SECRET_SEARCH_LOAD_SECRETS, deadline.get(), &error.error));
  if (error.error != nullptr) return Failed(SecretAnswer::kFailed, error);
  if (!items) return {};
  const ValuePtr value(secret_item_get_secret(static_cast<SecretItem*>(items->data)));
  if (!value) return {SecretAnswer::kLocked, false, {}};
  const char* text = secret_value_get_text(value.get());
  return {SecretAnswer::kDone, true, text != nullptr ? text : ""};
}

SecretAnswer Remove(const PasswordKey& key) {
  if (!Answers()) return {SecretAnswer::kSilent, false, {}};
  Deadline deadline;
  ErrorHolder error;
  const ObjectPtr<SecretService> service(Service(deadline, error));
  if (!service) return Failed(SecretAnswer::kSilent, error);
  const AttributesPtr attributes(Attributes(key));
  secret_service_clear_sync(service.get(), Schema(), attributes.get(), deadline.get(), &error.error);
  if (error.error != nullptr) return Failed(SecretAnswer::kFailed, error);
  return {};
}

}  // namespace
}  // namespace wrenly::reader

extern "C" __attribute__((visibility("default"))) const wrenly::reader::SecretModule* WrenlySecretModule() {
  using namespace wrenly::reader;
  static const SecretModule module{Answers, Store, Lookup, Remove};
  return &module;
}
