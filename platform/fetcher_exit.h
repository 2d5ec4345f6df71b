// The exit statuses of the fetcher program (Tolvane): written by the program,
// read by the engine that runs it as a child.
#pragma once

namespace wrenly {

constexpr int kFetcherExitDone = 0;
constexpr int kFetcherExitCannotStart = 1;
constexpr int kFetcherExitTransferFailed = 2;

}  // namespace wrenly
