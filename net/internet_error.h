// Error numbers of failed transfers: the WinInet numbers the programs and
// their callers rely on, a few system error numbers for local file failures,
// their short English texts, and the last failure of the calling thread.
// Safe for concurrent use; the last failure is kept per thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wrenly {

// System error numbers (local files, memory).
constexpr std::uint32_t ERROR_PATH_NOT_FOUND = 3;
constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
constexpr std::uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr std::uint32_t ERROR_WRITE_FAULT = 29;
constexpr std::uint32_t ERROR_DISK_FULL = 112;

// WinInet error numbers.
constexpr std::uint32_t ERROR_INTERNET_TIMEOUT = 12002;
constexpr std::uint32_t ERROR_INTERNET_EXTENDED_ERROR = 12003;
constexpr std::uint32_t ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr std::uint32_t ERROR_INTERNET_INVALID_URL = 12005;
constexpr std::uint32_t ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr std::uint32_t ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr std::uint32_t ERROR_INTERNET_OPERATION_CANCELLED = 12017;
constexpr std::uint32_t ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr std::uint32_t ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr std::uint32_t ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr std::uint32_t ERROR_HTTP_REDIRECT_FAILED = 12156;
constexpr std::uint32_t ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;
constexpr std::uint32_t ERROR_INTERNET_SECURE_FAILURE = 12175;

// The detail of a response larger than a download may be.
inline constexpr char16_t kResponseTooLargeText[] = u"Response too large";

// The short English text of an error number; empty when the number is unknown.
std::u16string InternetErrorText(std::uint32_t code);

// Records the last failure of this thread. detail replaces the number's own
// text: the server's response line for ERROR_INTERNET_EXTENDED_ERROR, or a
// more precise reason ("Response too large").
void SetLastInternetError(std::uint32_t code, std::u16string_view detail = {});

// The text of this thread's last failure; *code receives its number.
std::u16string FormatInternetError(std::uint32_t* code);

}  // namespace wrenly
