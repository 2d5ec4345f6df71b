#include "platform/notifier.h"

#include <algorithm>
#include <mutex>
#include <shared_mutex>
#include <vector>

namespace wrenly {
namespace {

constexpr MessageId kFirstRegistered = 0xC000;

struct Registry {
  std::mutex mutex;
  std::vector<std::string> names;  // index + kFirstRegistered is the number
};

struct Receivers {
  std::shared_mutex mutex;
  std::vector<Receiver*> list;
};

Registry& Names() {
  static Registry registry;
  return registry;
}

Receivers& BroadcastList() {
  static Receivers receivers;
  return receivers;
}

}  // namespace

MessageId RegisterMessage(std::string_view name) {
  Registry& r = Names();
  std::lock_guard lock(r.mutex);
  const auto it = std::find(r.names.begin(), r.names.end(), name);
  if (it != r.names.end()) return kFirstRegistered + static_cast<MessageId>(it - r.names.begin());
  r.names.emplace_back(name);
  return kFirstRegistered + static_cast<MessageId>(r.names.size() - 1);
}

std::string RegisteredMessageName(MessageId message) {
  Registry& r = Names();
  std::lock_guard lock(r.mutex);
  if (message < kFirstRegistered || message - kFirstRegistered >= r.names.size()) return {};
  return r.names[message - kFirstRegistered];
}

void AddBroadcastReceiver(Receiver* receiver) {
  Receivers& r = BroadcastList();
  std::unique_lock lock(r.mutex);
  r.list.push_back(receiver);
}

void RemoveBroadcastReceiver(Receiver* receiver) {
  Receivers& r = BroadcastList();
  std::unique_lock lock(r.mutex);
  std::erase(r.list, receiver);
}

void Broadcast(MessageId message, std::uint64_t wParam, std::int64_t lParam) {
  Receivers& r = BroadcastList();
  std::shared_lock lock(r.mutex);
  for (Receiver* receiver : r.list) receiver->Post(message, wParam, lParam);
}

void PostMessageTo(Receiver* target, MessageId message, std::uint64_t wParam, std::int64_t lParam) {
  if (target != nullptr)
    target->Post(message, wParam, lParam);
  else
    Broadcast(message, wParam, lParam);
}

}  // namespace wrenly
