#include "engine/refresh_controller.h"

#include <system_error>

#include "engine/auto_update.h"
#include "engine/messages.h"
#include "engine/refresh_abort.h"
#include "net/messages.h"
#include "net/network_connection.h"
#include "net/transfer_control.h"
#include "platform/trace.h"
#include "store/settings.h"

namespace wrenly {
namespace {

// How often the end of a refresh looks at the download manager's queue.
constexpr std::chrono::milliseconds kEndTimerTick{500};

// The built-in connection backend the "AlwaysConnected" setting asks for. A
// backend that is neither (a test's) is left in place.
void ChooseConnectionBackend() {
  CNetworkConnection& connection = TheNetworkConnection();
  ConnectionBackend& watch = DefaultConnectionBackend();
  ConnectionBackend& always = AlwaysConnectedBackend();
  if (!connection.UsesBackend(watch) && !connection.UsesBackend(always)) return;
  ConnectionBackend& wanted = GetSettingInt(setting::kAlwaysConnected) != 0 ? always : watch;
  if (!connection.UsesBackend(wanted)) connection.UseBackend(wanted);
}

}  // namespace

CRefreshController::CRefreshController(IChannelPanel& panel, CDownloadManager& manager, Receiver* view,
                                       int parallelChannels)
    : context_{&panel, &manager, view, parallelChannels, {}} {}

CRefreshController::~CRefreshController() {
  std::unique_lock lock(mutex_);
  closing_ = true;
  waiting_ = false;
  if (running_) AbortLocked();
  changed_.notify_all();
  lock.unlock();
  if (thread_.joinable()) thread_.join();
  for (std::thread& retired : retired_) retired.join();
}

void CRefreshController::ToggleRefresh() {
  {
    std::lock_guard lock(mutex_);
    if (running_) {
      waiting_ = false;
      AbortLocked();
      return;
    }
  }
  RequestStart();
}

void CRefreshController::Abort() {
  bool wasWaiting = false;
  {
    std::lock_guard lock(mutex_);
    wasWaiting = waiting_ && !running_;
    waiting_ = false;
    if (running_) AbortLocked();
  }
  // Nobody waits for the connection any more, so its request ends too.
  if (wasWaiting) TheNetworkConnection().StopConnection();
}

void CRefreshController::StartScheduledRefresh() {
  {
    std::lock_guard lock(mutex_);
    if (running_ || waiting_) return;
  }
  RequestStart();
}

void CRefreshController::RequestStart() {
  {
    std::lock_guard lock(mutex_);
    if (closing_) return;
    // Waiting from here on: a connection that comes up while the test below
    // runs starts the refresh through OnNetConnectionState.
    waiting_ = true;
  }
  // The connection test broadcasts, and this controller is a receiver.
  ChooseConnectionBackend();
  const bool usableNow = EnsureNetworkConnection(GetSettingInt(setting::kUseNetAgency) != 0) == 0;
  std::lock_guard lock(mutex_);
  if (!usableNow || !waiting_ || running_) return;
  waiting_ = false;
  StartLocked();
}

void CRefreshController::OnNetConnectionState(std::uint64_t state) {
  std::lock_guard lock(mutex_);
  if (state == kConnectionUp) {
    if (!waiting_ || running_) return;
    waiting_ = false;
    StartLocked();
  } else if (state == kConnectionReleased || state == kConnectionNoFastPath || state == kConnectionUnusable) {
    if (running_) AbortLocked();
    // The request for the connection gave up: the wait ends without a refresh.
    if (state == kConnectionReleased && !running_) waiting_ = false;
  }
}

void CRefreshController::OnCradleChanged(std::uint64_t cradled) {
  std::lock_guard lock(mutex_);
  if (cradled != 1 || running_ || GetSettingInt(setting::kAutoUpdateMode) != kAutoUpdateWhenDocked) return;
  // Docked: the cradle provides the connection, so no connection test.
  waiting_ = false;
  StartLocked();
}

void CRefreshController::Post(MessageId message, std::uint64_t wParam, std::int64_t) {
  if (message == WM_REFRESH_TOGGLE)
    ToggleRefresh();
  else if (message == WM_REFRESH_SCHEDULED)
    StartScheduledRefresh();
  else if (message == WM_NETCONNECTION_STATE)
    OnNetConnectionState(wParam);
  else if (message == WM_CRADLE_CHANGED)
    OnCradleChanged(wParam);
}

bool CRefreshController::running() {
  std::lock_guard lock(mutex_);
  return running_;
}

bool CRefreshController::waitingForConnection() {
  std::lock_guard lock(mutex_);
  return waiting_;
}

void CRefreshController::WaitUntilDone() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return !running_ && ending_ == 0; });
  JoinRetiredLocked();
}

void CRefreshController::JoinRetiredLocked() {
  // With no thread ending, every retired one has left its last use of the lock.
  if (ending_ != 0) return;
  for (std::thread& retired : retired_) retired.join();
  retired_.clear();
}

void CRefreshController::StartLocked() {
  if (closing_) return;
  // New work: a Cancel of earlier work must not cut this refresh short.
  GetTransferControl().ClearAbortFlag();
  JoinRetiredLocked();
  // Collect the previous refresh's thread. While it is still sending its end
  // messages it needs this lock once more, so it is joined later instead.
  if (thread_.joinable()) {
    if (ending_ != 0)
      retired_.push_back(std::move(thread_));
    else
      thread_.join();
  }
  try {
    thread_ = std::thread(&CRefreshController::ThreadMain, this);
    running_ = true;
  } catch (const std::system_error&) {
    Trace("The refresh thread could not be started\n");
  }
}

void CRefreshController::AbortLocked() {
  // The refresh-abort flag goes up first: a transfer cut short by the abort
  // must find the refresh aborted, or its partial document would be judged
  // as a feed (and recorded as "not a feed").
  RequestRefreshAbort();
  AbortTransfers();
}

void CRefreshController::ThreadMain() {
  RefreshChannelsThread(context_);
  // The full-text phase: the refresh ends at the first tick that finds the
  // download manager's queue empty.
  std::unique_lock lock(mutex_);
  while (!context_.manager->IsIdle() && !closing_) changed_.wait_for(lock, kEndTimerTick);
  ClearRefreshAbort();
  running_ = false;
  ++ending_;
  context_.manager->ClearJobs();
  lock.unlock();
  PostMessageTo(context_.view, WM_REFRESH_DONE, 0, 0);
  BroadcastRegistered(kMsgDownloadFinished);
  lock.lock();
  --ending_;
  changed_.notify_all();
}

}  // namespace wrenly
