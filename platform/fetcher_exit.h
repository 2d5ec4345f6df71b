// What the fetcher program (Tolvane) tells the engine that runs it as a
// child: its exit statuses, and the stdout line that names the address the
// article's page was served from. Written by the program, read by the engine.
#pragma once

namespace wrenly {

constexpr int kFetcherExitDone = 0;
constexpr int kFetcherExitCannotStart = 1;
constexpr int kFetcherExitTransferFailed = 2;

// "page <address>": where the page of an extraction run was finally served
// from, after redirects.
inline constexpr char kFetcherPagePrefix[] = "page ";

}  // namespace wrenly
