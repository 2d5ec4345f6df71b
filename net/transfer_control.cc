#include "net/transfer_control.h"

#include <utility>

namespace wrenly {

TransferControl::TransferControl() : readLimitMs_(kDefaultReadLimit.count()), proxyAddress_(kDefaultProxyAddress) {}

bool TransferControl::WakeRunningTransfers() {
  std::lock_guard lock(mutex_);
  for (TransferWaker* waker : running_) waker->Wake();
  return !running_.empty();
}

bool TransferControl::AbortRunningTransfers() {
  SetAbortFlag();
  return WakeRunningTransfers();
}

bool TransferControl::TransfersRunning() const {
  std::lock_guard lock(mutex_);
  return !running_.empty();
}

void TransferControl::SetProxyAddress(std::string address) {
  std::lock_guard lock(mutex_);
  proxyAddress_ = std::move(address);
}

std::string TransferControl::ProxyAddress() const {
  std::lock_guard lock(mutex_);
  return proxyAddress_;
}

void TransferControl::AddRunning(TransferWaker* waker) {
  std::lock_guard lock(mutex_);
  running_.push_back(waker);
}

void TransferControl::RemoveRunning(TransferWaker* waker) {
  std::lock_guard lock(mutex_);
  std::erase(running_, waker);
}

TransferControl& GetTransferControl() {
  static TransferControl control;
  return control;
}

}  // namespace wrenly
