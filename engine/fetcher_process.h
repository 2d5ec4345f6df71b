// Running the fetcher program (Tolvane) as a child process: the argument
// vector, the wait with a time limit, the "error <code> <text>" line it writes
// to stderr on failure, its progress lines on stdout (passed on as
// WM_DOWNLOAD_PROGRESS broadcasts) and the page line after an extraction, and SIGUSR1 as the abort request to every
// running child. Safe for concurrent use; each run blocks its calling thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/fetcher_exit.h"

namespace wrenly {

// A fetcher that has not ended after this long is killed; its job fails.
constexpr std::chrono::milliseconds kFetcherTimeLimit = std::chrono::minutes(3);


// The template path that asks the fetcher for automatic extraction (no
// template): it can never name a real template, which lives in the data root.
inline constexpr char kAutomaticExtraction[] = "<automatic>";

// The arguments after the program name: ["-p", proxy,] url, output[, template],
// or ["-p", proxy,] "-a", url, output for kAutomaticExtraction. The proxy is
// the setting with blanks trimmed, or "None" when that is empty.
std::vector<std::string> FetcherArguments(std::u16string_view url, const std::string& outputPath,
                                          const std::string& templatePath, bool useProxy,
                                          std::u16string_view proxySetting);

struct FetcherRun {
  bool started = false;
  bool timedOut = false;     // killed at the time limit
  int exitStatus = -1;       // the child's exit status; -1 when it ended by a signal or
                             // its status could not be read
  int signal = 0;            // the signal that ended it, or 0
  std::uint32_t errorCode = 0;  // from the error line, 0 without one
  std::u16string errorText;
  std::u16string pageAddress;   // from the page line, "" without one
};

// Starts program with the arguments (its own process group, so a terminal's
// Ctrl-C reaches only this process, which then aborts through SIGUSR1), and
// waits at most `limit`. While it waits, `aborted` is asked a few times a
// second; once it says true the child receives SIGUSR1 (once).
FetcherRun RunFetcherProgram(const std::string& program, const std::vector<std::string>& arguments,
                             std::chrono::milliseconds limit,
                             const std::function<bool()>& aborted = {});

// Sends SIGUSR1 to every fetcher child this process is waiting for.
void SignalRunningFetchers();

// Tests only: `delay` runs where the wait for a child killed at the time
// limit begins, standing in for a child that takes long to end (one stuck in
// the kernel on a hung card or network file system). Empty: no delay.
void SetKilledChildDelayForTesting(std::function<void()> delay);

// Parses one progress line "progress <bytes> <ended>" (ended 0 or 1;
// bytes 4294967295 for a failed transfer); false for other lines.
bool ParseFetcherProgress(std::string_view line, std::uint64_t& bytes, int& ended);
// Parses "error <code> <text>"; the code is decimal or 0x-prefixed hex.
bool ParseFetcherError(std::string_view line, std::uint32_t& code, std::u16string& text);
// Parses "page <address>" (kFetcherPagePrefix); only an http or https
// address counts.
bool ParseFetcherPage(std::string_view line, std::u16string& address);

}  // namespace wrenly
