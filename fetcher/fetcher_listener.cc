#include "fetcher/fetcher_listener.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include "net/messages.h"
#include "net/transfer_control.h"
#include "platform/trace.h"

namespace wrenly {
namespace {

// SIGUSR1 asks for an abort; SIGUSR2 only ends the signal thread.
sigset_t ListenerSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGUSR1);
  sigaddset(&set, SIGUSR2);
  return set;
}

void WriteLine(const char* line, size_t length) {
  while (length > 0) {
    const ssize_t n = ::write(STDOUT_FILENO, line, length);
    if (n <= 0) return;
    line += n;
    length -= static_cast<size_t>(n);
  }
}

}  // namespace

CFetcherListener::CFetcherListener() {
  const sigset_t set = ListenerSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

CFetcherListener::~CFetcherListener() {
  if (receiving_) RemoveBroadcastReceiver(this);
  if (thread_.joinable()) {
    pthread_kill(threadHandle_, SIGUSR2);
    thread_.join();
  }
}

bool CFetcherListener::Start() {
  try {
    thread_ = std::thread([this] { WaitForSignals(); });
  } catch (const std::system_error&) {
    return false;
  }
  threadHandle_ = thread_.native_handle();
  AddBroadcastReceiver(this);
  receiving_ = true;
  return true;
}

void CFetcherListener::WaitForSignals() {
  const sigset_t set = ListenerSignals();
  for (;;) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0 || signal == SIGUSR2) return;
    Abort();
  }
}

void CFetcherListener::Abort() {
  TransferControl& control = GetTransferControl();
  control.SetAbortFlag();
  Trace("Abort requested (SIGUSR1).\n");
  if (control.TransfersRunning()) {
    Trace("Set EXIT event and exit.\n");
    control.WakeRunningTransfers();
  }
  connection_.Set();
}

void CFetcherListener::Post(MessageId message, std::uint64_t wParam, std::int64_t lParam) {
  if (message == WM_NETCONNECTION_STATE) {
    if (wParam == kConnectionUp || wParam == kConnectionReleased) connection_.Set();
  } else if (message == WM_DOWNLOAD_PROGRESS) {
    char line[64];
    const int length = std::snprintf(line, sizeof line, "progress %llu %lld\n",
                                     static_cast<unsigned long long>(wParam), static_cast<long long>(lParam));
    if (length > 0) WriteLine(line, static_cast<size_t>(length));
  }
}

}  // namespace wrenly
