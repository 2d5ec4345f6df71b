#include "engine/refresh_abort.h"

#include <atomic>

#include "engine/fetcher_process.h"
#include "net/transfer_control.h"
#include "platform/trace.h"

namespace wrenly {
namespace {

std::atomic<bool> refreshAborted{false};

}  // namespace

bool IsRefreshAborted() { return refreshAborted.load(); }

void RequestRefreshAbort() {
  Trace("Download thread will be terminated, waiting...\n");
  refreshAborted = true;
}

void ClearRefreshAbort() { refreshAborted = false; }

void AbortTransfers() {
  GetTransferControl().AbortRunningTransfers();
  SignalRunningFetchers();
}

}  // namespace wrenly
