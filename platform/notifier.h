// Window messages without windows: the programs' fixed and registered
// messages are posted to a Receiver (a screen, the command-line front end, a
// test) or, when no receiver is named, to every broadcast receiver of the
// process. The Qt front end marshals what it receives to its GUI thread.
// Safe for concurrent use; receivers are called on the posting thread with no
// lock of the notifier held, so a receiver may post, register or withdraw.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wrenly {

using MessageId = std::uint32_t;

class Receiver {
 public:
  virtual ~Receiver() = default;
  virtual void Post(MessageId message, std::uint64_t wParam, std::int64_t lParam) = 0;
};

// The same name always gives the same number, from 0xC000 upward, as
// registered window messages do.
MessageId RegisterMessage(std::string_view name);
// The name a registered message was made from; empty for fixed messages.
std::string RegisteredMessageName(MessageId message);

void AddBroadcastReceiver(Receiver* receiver);
// After this returns, the receiver is not called again, and no call of it on
// another thread is still running (a receiver may withdraw itself from its
// own Post; that call then simply finishes).
void RemoveBroadcastReceiver(Receiver* receiver);

void Broadcast(MessageId message, std::uint64_t wParam, std::int64_t lParam);
// To target when given, else to every broadcast receiver.
void PostMessageTo(Receiver* target, MessageId message, std::uint64_t wParam, std::int64_t lParam);

}  // namespace wrenly
