// The full-text job: the fetcher program cuts an article's text out of its
// web page with the channel's template; afterwards the item is marked as
// having its full text and, when "DownloadImage" is on, the article's
// pictures are fetched (again through the fetcher, in plain-download mode).
// Runs on the download manager's worker; blocks it while a fetcher runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/download_manager.h"
#include "engine/fetcher_process.h"

namespace wrenly {

// The error texts of a fetcher that could not do its work.
inline constexpr char16_t kFetcherNotStartedText[] = u"Execute Internet downloading error.";
inline constexpr char16_t kFetcherTimedOutText[] = u"The fetcher did not finish in time and was stopped.";
inline constexpr char16_t kFetcherCrashedText[] = u"The fetcher ended abnormally.";

// Starts the fetcher from the program folder and waits for it (at most
// `limit`, then it is killed). Returns 0 when it succeeded, else an error
// number that also goes to errorCode, with its text in errorText. A fetcher
// that was killed or crashed leaves no output file behind.
std::uint32_t RunFetcher(std::u16string_view url, const std::string& outputPath,
                         const std::string& templatePath, std::uint32_t& errorCode,
                         std::u16string& errorText, bool useProxy,
                         std::chrono::milliseconds limit = kFetcherTimeLimit);

// What a finished fetcher run amounts to, as RunFetcher returns it. A child
// ended by a signal (a crash, or its sandbox: SIGSYS, SIGKILL or SIGXCPU at a
// limit) fails like one that could not fetch, and its output file goes.
std::uint32_t JudgeFetcherRun(const FetcherRun& run, const std::string& outputPath, std::uint32_t& errorCode,
                              std::u16string& errorText);

void RunFullTextJob(const FullTextJob& job);

}  // namespace wrenly
