// The abort paths of a refresh. The refresh-abort flag is tested by every
// step of a refresh and of a full-text job; AbortTransfers stops every
// running transfer of this process and every fetcher child it waits for.
// Safe for concurrent use: plain atomic flags, no locks.
#pragma once

namespace wrenly {

bool IsRefreshAborted();
// Sets the refresh-abort flag (at program close and on Cancel).
void RequestRefreshAbort();
// Cleared once a refresh and all its full-text jobs are over.
void ClearRefreshAbort();

// Raises the transfer abort flag, wakes every running transfer and sends
// SIGUSR1 to every running fetcher. Used by every Cancel.
void AbortTransfers();

}  // namespace wrenly
