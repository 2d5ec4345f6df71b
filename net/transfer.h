// DownloadUrlToFile: the one transfer operation of both programs. Fetches one
// http or https URL (following at most 10 redirects, decoding gzip and
// deflate) into a file and/or a memory copy, with progress messages, the
// process-wide abort and proxy settings of TransferControl, and time limits.
// Blocks the calling thread; any number of threads may transfer at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "net/hresult.h"
#include "platform/notifier.h"

namespace wrenly {

// The memory copy of a body: a zero-filled block of capacity + 1 bytes that
// holds the body followed by at least one zero byte, so it reads as a C string.
// The capacity starts at kGrowth and grows by kGrowth whenever the body
// reaches it (by half the capacity, in whole kGrowth, past 1 MiB).
struct DownloadBuffer {
  static constexpr std::size_t kGrowth = 0x20000;
  std::unique_ptr<char[]> data;  // none when no copy exists
  std::size_t capacity = 0;
};

// The validators of a response ("ETag" and "Last-Modified" as the server
// wrote them); empty when it sent none.
struct HttpValidators {
  std::string etag;
  std::string lastModified;
};

// A conditional GET: `send` goes out as "If-None-Match" and
// "If-Modified-Since" (each only when not empty). After the transfer,
// `received` holds the final response's validators and `notModified` tells a
// 304 answer, for which no file is created and no memory copy is made.
struct ConditionalGet {
  HttpValidators send;
  HttpValidators received;
  bool notModified = false;
};

// Bodies above this size are refused, so a hostile server cannot fill memory or disk.
constexpr std::uint64_t kMaxDownloadBytes = 64u * 1024 * 1024;

// url: http or https only (also after redirects). filePath: UTF-8 path of the
// file to write, or empty for none.
// errorCode/errorText: 0 and cleared at the start; on failure the error number
// (net/internet_error.h) and its text. notify: receives WM_DOWNLOAD_PROGRESS
// (bytes so far, 0) after each chunk and (bytes, 1) or (kProgressFailed, 1)
// at the end; none = every broadcast receiver. buffer: receives the memory
// copy. byteCount: receives the number of body bytes (decoded) received.
// finalUrl: receives the address the body was served from, which differs
// from url when redirects were followed (what relative addresses in the body
// refer to); empty on failure.
//
// The body goes to a temporary file in the target's folder that replaces the
// target only once the body is complete (the length matched Content-Length,
// chunked encoding ended properly, or the connection closed cleanly without
// either); a device is written directly. Until then the old file stays. A
// filePath that DownloadTempPath gave this process is written in place and
// removed on failure: the caller renames it where it belongs.
//
// Returns S_OK for a complete body with a status below 400, and also when an
// abort cut the body short: that ends quietly, leaves no file and keeps the
// memory copy of what arrived. Returns INET_E_DOWNLOAD_FAILURE when the URL
// could not be opened, the status was 400 or above, the body exceeded
// kMaxDownloadBytes, the body stopped arriving for the read limit
// (ERROR_INTERNET_TIMEOUT), the connection broke before the body was complete
// (ERROR_INTERNET_CONNECTION_ABORTED) or the file could not be written; then
// no new file and no memory copy remain. With `conditional`, a 304 answer
// returns S_OK with notModified set (and no file); without it, a 304 is taken
// as an (empty) answer like any other status below 400. While the abort flag is set, a
// transfer that has not had its response yet fails with
// ERROR_INTERNET_OPERATION_CANCELLED.
HRESULT DownloadUrlToFile(std::u16string_view url, std::string_view filePath, std::uint32_t* errorCode,
                          std::u16string* errorText, Receiver* notify = nullptr, DownloadBuffer* buffer = nullptr,
                          std::uint64_t* byteCount = nullptr, ConditionalGet* conditional = nullptr,
                          std::u16string* finalUrl = nullptr);

}  // namespace wrenly
