// The dock watch: a machine on external power counts as docked (in its
// cradle). The watch polls the power supplies under a sysfs folder and posts
// WM_CRADLE_CHANGED (wParam 1 docked, 0 undocked) to its target when the
// state changes. Start/Close from one thread; the target is called on the
// watch's thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/notifier.h"

namespace wrenly {

constexpr const char* kPowerSupplyRoot = "/sys/class/power_supply";

// True when a supply under root that is not a battery reports "online" 1.
bool IsOnExternalPower(const std::string& powerSupplyRoot);

class CDockWatch {
 public:
  CDockWatch(Receiver* target, std::string powerSupplyRoot = kPowerSupplyRoot);
  ~CDockWatch();
  CDockWatch(const CDockWatch&) = delete;
  CDockWatch& operator=(const CDockWatch&) = delete;

  // Remembers the present state and starts polling every two seconds.
  void Start();
  // After this returns, the target is not called again.
  void Close();
  // One poll: posts the message when the state differs from the last one.
  void CheckNow();
  bool docked() const { return docked_; }

 private:
  void Main();

  Receiver* const target_;
  const std::string root_;
  std::atomic<bool> docked_{false};
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace wrenly
