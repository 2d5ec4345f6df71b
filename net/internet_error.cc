#include "net/internet_error.h"

namespace wrenly {
namespace {

struct LastFailure {
  std::uint32_t code = 0;
  std::u16string detail;
};

thread_local LastFailure lastFailure;

}  // namespace

std::u16string InternetErrorText(std::uint32_t code) {
  switch (code) {
    case ERROR_PATH_NOT_FOUND: return u"The system cannot find the path specified";
    case ERROR_ACCESS_DENIED: return u"Access is denied";
    case ERROR_NOT_ENOUGH_MEMORY: return u"Not enough memory is available to complete the operation";
    case ERROR_WRITE_FAULT: return u"The file could not be written";
    case ERROR_DISK_FULL: return u"There is not enough space on the disk";
    case ERROR_INTERNET_TIMEOUT: return u"The operation timed out";
    case ERROR_INTERNET_EXTENDED_ERROR: return u"The server returned an error";
    case ERROR_INTERNET_INTERNAL_ERROR: return u"An internal error occurred";
    case ERROR_INTERNET_INVALID_URL: return u"The URL is invalid";
    case ERROR_INTERNET_UNRECOGNIZED_SCHEME: return u"The URL does not use a recognized protocol";
    case ERROR_INTERNET_NAME_NOT_RESOLVED: return u"The server name or address could not be resolved";
    case ERROR_INTERNET_OPERATION_CANCELLED: return u"The operation was canceled";
    case ERROR_INTERNET_CANNOT_CONNECT: return u"A connection with the server could not be established";
    case ERROR_INTERNET_CONNECTION_ABORTED: return u"The connection with the server was terminated abnormally";
    case ERROR_HTTP_INVALID_SERVER_RESPONSE: return u"The server returned an invalid or unrecognized response";
    case ERROR_HTTP_REDIRECT_FAILED:
      return u"The redirection failed because the scheme is not allowed or there were too many redirections";
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR: return u"A secure connection with the server could not be established";
    case ERROR_INTERNET_SECURE_FAILURE: return u"The server's security certificate could not be verified";
    default: return {};
  }
}

void SetLastInternetError(std::uint32_t code, std::u16string_view detail) {
  lastFailure.code = code;
  lastFailure.detail.assign(detail);
}

std::u16string FormatInternetError(std::uint32_t* code) {
  if (code != nullptr) *code = lastFailure.code;
  if (!lastFailure.detail.empty()) return lastFailure.detail;
  return InternetErrorText(lastFailure.code);
}

}  // namespace wrenly
