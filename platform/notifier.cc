#include "platform/notifier.h"

#include <algorithm>
#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

namespace wrenly {
namespace {

constexpr MessageId kFirstRegistered = 0xC000;

struct Registry {
  std::mutex mutex;
  std::vector<std::string> names;  // index + kFirstRegistered is the number
};

// A receiver being called, and the thread calling it.
struct Call {
  Receiver* receiver;
  std::thread::id thread;
};

// The lock guards the list and the calls in flight; it is never held while a
// receiver runs, so a receiver may post, register and withdraw freely.
struct Receivers {
  std::mutex mutex;
  std::condition_variable callEnded;
  std::vector<Receiver*> list;
  std::list<Call> calls;
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
  // Calls on other threads end first; a receiver withdrawing itself from its
  // own Post must not wait for that very call.
  const auto self = std::this_thread::get_id();
  r.callEnded.wait(lock, [&] {
    return std::none_of(r.calls.begin(), r.calls.end(),
                        [&](const Call& c) { return c.receiver == receiver && c.thread != self; });
  });
}

void Broadcast(MessageId message, std::uint64_t wParam, std::int64_t lParam) {
  Receivers& r = BroadcastList();
  std::unique_lock lock(r.mutex);
  const std::vector<Receiver*> targets = r.list;
  for (Receiver* receiver : targets) {
    // One withdrawn by an earlier receiver of this broadcast is skipped.
    if (std::find(r.list.begin(), r.list.end(), receiver) == r.list.end()) continue;
    const auto call = r.calls.insert(r.calls.end(), Call{receiver, std::this_thread::get_id()});
    lock.unlock();
    receiver->Post(message, wParam, lParam);
    lock.lock();
    r.calls.erase(call);
    r.callEnded.notify_all();
  }
}

void PostMessageTo(Receiver* target, MessageId message, std::uint64_t wParam, std::int64_t lParam) {
  if (target != nullptr)
    target->Post(message, wParam, lParam);
  else
    Broadcast(message, wParam, lParam);
}

}  // namespace wrenly
