#include "net/transfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

#include "net/curl_session.h"
#include "net/internet_error.h"
#include "net/messages.h"
#include "net/transfer_control.h"
#include "platform/temp_files.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "platform/unique_fd.h"

namespace wrenly {
namespace {

using Clock = std::chrono::steady_clock;
using net_internal::CurlSession;

constexpr long kMaxRedirects = 10;
constexpr const char* kAgent = "Wrenly Mobile";

std::uint32_t FileErrorCode(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    default: return ERROR_WRITE_FAULT;
  }
}

// Reason phrases for responses that carry none (HTTP/2).
std::string_view StandardReason(long status) {
  switch (status) {
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 410: return "Gone";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    default: return {};
  }
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && AsciiLower(text.substr(0, prefix.size())) == prefix;
}

struct Failure {
  std::uint32_t code = 0;
  std::u16string detail;
};

// One transfer: owns the output file, fills the caller's buffer, and follows
// the response through the header and body callbacks of libcurl.
class Transfer final : public TransferWaker {
 public:
  Transfer(CurlSession& session, std::string_view path, Receiver* notify, DownloadBuffer* buffer,
           ConditionalGet* conditional)
      : session_(session),
        control_(GetTransferControl()),
        path_(path),
        notify_(notify),
        buffer_(buffer),
        conditional_(conditional) {}
  ~Transfer() override {
    DiscardFile();
    curl_slist_free_all(requestHeaders_);
  }
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  HRESULT Run(const std::string& url, std::uint32_t* errorCode, std::u16string* errorText, std::uint64_t* byteCount);
  // The address of the last request, after every redirect libcurl followed.
  std::u16string EffectiveUrl() const;
  void Wake() override { curl_multi_wakeup(session_.multi); }

 private:
  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  void Configure(const std::string& url);
  void AddConditions();
  CURLcode Pump();
  bool HeaderLine(std::string_view line);
  bool Open();
  bool Body(const char* data, size_t n);
  bool WriteFile(const char* data, size_t n);
  void AppendToMemory(const char* data, size_t n);
  void DiscardFile();
  std::optional<Failure> KeepFile();
  std::optional<Failure> Outcome(CURLcode result);
  HRESULT Fail(const Failure& failure, std::uint32_t* errorCode, std::u16string* errorText, std::uint64_t* byteCount);

  CurlSession& session_;
  TransferControl& control_;
  std::string path_;
  Receiver* notify_;
  DownloadBuffer* buffer_;
  ConditionalGet* conditional_;
  curl_slist* requestHeaders_ = nullptr;
  char curlError_[CURL_ERROR_SIZE] = {};

  // The header block being read; one per response, redirects included.
  long blockStatus_ = 0;
  std::string blockReason_;
  bool blockLocation_ = false;
  long long blockLength_ = -1;
  HttpValidators blockValidators_;

  bool redirected_ = false;
  bool opened_ = false;
  bool aborted_ = false;
  bool timedOut_ = false;
  std::optional<Failure> failure_;  // decided inside a callback
  UniqueFd fd_;
  // The body goes to a temporary file beside the target, renamed over it only
  // once the body is complete; empty when writing straight to a device.
  std::string tempPath_;
  std::uint64_t total_ = 0;
  Clock::time_point start_;
  Clock::time_point lastData_;
};

size_t Transfer::OnHeader(char* data, size_t size, size_t count, void* self) {
  const size_t n = size * count;
  return static_cast<Transfer*>(self)->HeaderLine(std::string_view(data, n)) ? n : 0;
}

size_t Transfer::OnBody(char* data, size_t size, size_t count, void* self) {
  const size_t n = size * count;
  return static_cast<Transfer*>(self)->Body(data, n) ? n : 0;
}

void Transfer::Configure(const std::string& url) {
  CURL* easy = session_.easy;
  curl_easy_reset(easy);
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_USERAGENT, kAgent);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(TransferControl::kOpenLimit.count()));
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, curlError_);
  session_.TrackSockets();
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  AddConditions();
  if (control_.UseProxy()) {
    const std::string proxy = control_.ProxyAddress();
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());  // libcurl copies it
    curl_easy_setopt(easy, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");  // no bypass list, whatever the environment says
  } else {
    curl_easy_setopt(easy, CURLOPT_PROXY, "");  // direct, also when http_proxy is set
  }
}

void Transfer::AddConditions() {
  if (conditional_ == nullptr) return;
  conditional_->received = {};
  conditional_->notModified = false;
  const HttpValidators& send = conditional_->send;
  if (!send.etag.empty())
    requestHeaders_ = curl_slist_append(requestHeaders_, ("If-None-Match: " + send.etag).c_str());
  if (!send.lastModified.empty())
    requestHeaders_ = curl_slist_append(requestHeaders_, ("If-Modified-Since: " + send.lastModified).c_str());
  if (requestHeaders_ != nullptr) curl_easy_setopt(session_.easy, CURLOPT_HTTPHEADER, requestHeaders_);
}

// Runs the transfer until it ends, the abort flag is seen, or a time limit
// passes: 30 s until the response arrives, then the read limit of silence.
CURLcode Transfer::Pump() {
  CURLM* multi = session_.multi;
  if (curl_multi_add_handle(multi, session_.easy) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
  control_.AddRunning(this);
  CURLcode result = CURLE_OK;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      result = CURLE_OUT_OF_MEMORY;
      break;
    }
    int queued = 0;
    if (CURLMsg* message = curl_multi_info_read(multi, &queued); message != nullptr && message->msg == CURLMSG_DONE) {
      result = message->data.result;
      break;
    }
    if (control_.AbortFlag()) {
      aborted_ = true;
      break;
    }
    const Clock::time_point now = Clock::now();
    const Clock::time_point deadline =
        opened_ ? lastData_ + control_.ReadLimit() : start_ + TransferControl::kOpenLimit;
    if (now >= deadline) {
      timedOut_ = true;
      break;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    curl_multi_poll(multi, nullptr, 0, static_cast<int>(std::min<long long>(wait, 60000)), nullptr);
  }
  control_.RemoveRunning(this);
  curl_multi_remove_handle(multi, session_.easy);
  return result;
}

bool Transfer::HeaderLine(std::string_view line) {
  lastData_ = Clock::now();
  const std::string_view text = Trim(line, kSpaceChars);
  if (StartsWithNoCase(text, "http/")) {
    const size_t space = text.find(' ');
    const std::string_view rest = space == std::string_view::npos ? std::string_view() : Trim(text.substr(space + 1));
    blockStatus_ = 0;
    size_t i = 0;
    for (; i < rest.size() && i < 3 && rest[i] >= '0' && rest[i] <= '9'; ++i)
      blockStatus_ = blockStatus_ * 10 + (rest[i] - '0');
    blockReason_ = std::string(Trim(rest.substr(i)));
    blockLocation_ = false;
    blockLength_ = -1;
    blockValidators_ = {};
    return true;
  }
  if (text.empty()) {
    if (blockStatus_ >= 100 && blockStatus_ < 200) return true;  // interim response
    if (blockStatus_ >= 300 && blockStatus_ < 400 && blockLocation_) {
      redirected_ = true;  // libcurl follows it
      return true;
    }
    session_.AcknowledgeNow();
    return Open();
  }
  if (StartsWithNoCase(text, "location:")) {
    blockLocation_ = !Trim(text.substr(9)).empty();
  } else if (StartsWithNoCase(text, "etag:")) {
    blockValidators_.etag = std::string(Trim(text.substr(5)));
  } else if (StartsWithNoCase(text, "last-modified:")) {
    blockValidators_.lastModified = std::string(Trim(text.substr(14)));
  } else if (StartsWithNoCase(text, "content-length:")) {
    const std::string value(Trim(text.substr(15)));
    char* end = nullptr;
    const long long length = std::strtoll(value.c_str(), &end, 10);
    if (end != value.c_str() && *end == '\0' && length >= 0) blockLength_ = length;
  }
  return true;
}

// The final response has arrived: judge its status and size, then create the
// file and the memory copy.
bool Transfer::Open() {
  opened_ = true;
  if (blockStatus_ >= 400) {
    std::string reason = blockReason_.empty() ? std::string(StandardReason(blockStatus_)) : blockReason_;
    std::string text = "HTTP " + std::to_string(blockStatus_) + (reason.empty() ? "" : " " + reason);
    failure_ = Failure{ERROR_INTERNET_EXTENDED_ERROR, Utf8ToUtf16(text)};
    return false;
  }
  if (blockLength_ > static_cast<long long>(kMaxDownloadBytes)) {
    failure_ = Failure{ERROR_HTTP_INVALID_SERVER_RESPONSE, kResponseTooLargeText};
    return false;
  }
  Trace("Response received\n");
  if (conditional_ != nullptr) {
    conditional_->received = blockValidators_;
    // Not modified: the caller keeps what it has, so nothing is created.
    if (blockStatus_ == 304) {
      conditional_->notModified = true;
      return true;
    }
  }
  if (!path_.empty()) {
    // A device or pipe is written directly; anything else through a
    // temporary file, so the target is never a cut-short body.
    struct stat existing;
    const bool direct = ::stat(path_.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode);
    if (direct) {
      fd_.reset(::open(path_.c_str(), O_WRONLY | O_CLOEXEC));
    } else {
      // A caller that already named a temporary file of its own gets the
      // body in it, without a second one.
      tempPath_ = IsOwnDownloadTempPath(path_) ? path_ : DownloadTempPath(path_);
      fd_.reset(::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    }
    if (!fd_) {
      const int error = errno;
      tempPath_.clear();
      Trace("The output file could not be created\n");
      failure_ = Failure{FileErrorCode(error), {}};
      return false;
    }
  }
  if (buffer_ != nullptr) {
    buffer_->data.reset(new (std::nothrow) char[DownloadBuffer::kGrowth + 1]());
    buffer_->capacity = buffer_->data ? DownloadBuffer::kGrowth : 0;
  }
  return true;
}

bool Transfer::Body(const char* data, size_t n) {
  if (!opened_ && !Open()) return false;
  lastData_ = Clock::now();
  if (conditional_ != nullptr && conditional_->notModified) return true;  // a 304 has no body to keep
  if (total_ + n > kMaxDownloadBytes) {
    failure_ = Failure{ERROR_HTTP_INVALID_SERVER_RESPONSE, kResponseTooLargeText};
    return false;
  }
  AppendToMemory(data, n);
  if (!WriteFile(data, n)) return false;
  total_ += n;
  TraceF("Received %zu bytes\n", n);
  PostMessageTo(notify_, WM_DOWNLOAD_PROGRESS, total_, 0);
  if (control_.AbortFlag()) {
    aborted_ = true;
    return false;
  }
  return true;
}

// Fixed steps keep small bodies tight; past 1 MiB the step grows with the
// block, so a large body is not copied over and over (quadratic time).
size_t GrowthStep(size_t capacity) {
  constexpr size_t kFixedSteps = 8;
  if (capacity < kFixedSteps * DownloadBuffer::kGrowth) return DownloadBuffer::kGrowth;
  return capacity / 2 / DownloadBuffer::kGrowth * DownloadBuffer::kGrowth;
}

// Grows the copy (see GrowthStep); a copy that cannot grow is dropped and the
// transfer goes on.
void Transfer::AppendToMemory(const char* data, size_t n) {
  if (buffer_ == nullptr || !buffer_->data) return;
  if (total_ + n >= buffer_->capacity) {
    size_t capacity = buffer_->capacity;
    while (total_ + n >= capacity) capacity += GrowthStep(capacity);
    std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity + 1]());
    if (!grown) {
      buffer_->data.reset();
      buffer_->capacity = 0;
      return;
    }
    std::memcpy(grown.get(), buffer_->data.get(), total_);
    buffer_->data = std::move(grown);
    buffer_->capacity = capacity;
  }
  std::memcpy(buffer_->data.get() + total_, data, n);
}

bool Transfer::WriteFile(const char* data, size_t n) {
  while (fd_ && n > 0) {
    const ssize_t written = ::write(fd_.get(), data, n);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      failure_ = Failure{FileErrorCode(written < 0 ? errno : ENOSPC), {}};
      return false;
    }
    data += written;
    n -= static_cast<size_t>(written);
  }
  return true;
}

// Drops the temporary file of a body that is not kept.
void Transfer::DiscardFile() {
  fd_.reset();
  if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
  tempPath_.clear();
}

// The body is complete: the temporary file replaces the target.
std::optional<Failure> Transfer::KeepFile() {
  const int fd = fd_.release();
  if (fd >= 0 && ::close(fd) != 0) return Failure{FileErrorCode(errno), {}};
  if (tempPath_.empty()) return std::nullopt;
  if (tempPath_ != path_ && ::rename(tempPath_.c_str(), path_.c_str()) != 0) return Failure{FileErrorCode(errno), {}};
  tempPath_.clear();
  return std::nullopt;
}

// What the ended transfer amounts to. A body is complete when libcurl ended
// it without error: the length matched a given Content-Length, chunked
// encoding ended properly, or the connection closed cleanly without either.
// A body cut short by the read limit fails with a time-out, by the
// connection with a connection abort; an abort ends quietly but keeps no file.
std::optional<Failure> Transfer::Outcome(CURLcode result) {
  if (failure_) return failure_;
  if (!opened_) {
    if (aborted_) return Failure{ERROR_INTERNET_OPERATION_CANCELLED, {}};
    if (timedOut_) return Failure{ERROR_INTERNET_TIMEOUT, {}};
    if (result == CURLE_UNSUPPORTED_PROTOCOL && redirected_) return Failure{ERROR_HTTP_REDIRECT_FAILED, {}};
    if (result != CURLE_OK) return Failure{net_internal::InternetErrorFromCurl(result), {}};
    if (!Open()) return failure_;
    return KeepFile();
  }
  if (aborted_) {
    Trace("Transfer aborted\n");
    DiscardFile();
    return std::nullopt;
  }
  if (timedOut_) {
    Trace("Read timed out\n");
    return Failure{ERROR_INTERNET_TIMEOUT, {}};
  }
  if (result != CURLE_OK) {
    TraceF("Transfer ended early: %s\n", curlError_);
    return Failure{ERROR_INTERNET_CONNECTION_ABORTED, {}};
  }
  return KeepFile();
}

HRESULT Transfer::Fail(const Failure& failure, std::uint32_t* errorCode, std::u16string* errorText,
                       std::uint64_t* byteCount) {
  DiscardFile();
  if (buffer_ != nullptr) *buffer_ = DownloadBuffer{};
  if (byteCount != nullptr) *byteCount = 0;
  SetLastInternetError(failure.code, failure.detail);
  std::uint32_t code = 0;
  const std::u16string text = FormatInternetError(&code);
  if (errorCode != nullptr) *errorCode = code;
  if (errorText != nullptr) *errorText = text;
  Trace("Transfer failed\n");
  Trace(text + u"\n");
  PostMessageTo(notify_, WM_DOWNLOAD_PROGRESS, kProgressFailed, 1);
  return INET_E_DOWNLOAD_FAILURE;
}

std::u16string Transfer::EffectiveUrl() const {
  char* url = nullptr;
  if (curl_easy_getinfo(session_.easy, CURLINFO_EFFECTIVE_URL, &url) != CURLE_OK || url == nullptr) return {};
  return Utf8ToUtf16(url);
}

HRESULT Transfer::Run(const std::string& url, std::uint32_t* errorCode, std::u16string* errorText,
                      std::uint64_t* byteCount) {
  Configure(url);
  start_ = lastData_ = Clock::now();
  const CURLcode result = Pump();
  if (std::optional<Failure> failure = Outcome(result)) return Fail(*failure, errorCode, errorText, byteCount);
  if (byteCount != nullptr) *byteCount = total_;
  Trace("Transfer complete\n");
  PostMessageTo(notify_, WM_DOWNLOAD_PROGRESS, total_, 1);
  return S_OK;
}

}  // namespace

HRESULT DownloadUrlToFile(std::u16string_view url, std::string_view filePath, std::uint32_t* errorCode,
                          std::u16string* errorText, Receiver* notify, DownloadBuffer* buffer,
                          std::uint64_t* byteCount, ConditionalGet* conditional, std::u16string* finalUrl) {
  if (errorCode != nullptr) *errorCode = 0;
  if (errorText != nullptr) errorText->clear();
  if (finalUrl != nullptr) finalUrl->clear();
  if (buffer != nullptr) *buffer = DownloadBuffer{};
  const std::string url8 = Utf16ToUtf8(url);
  TraceF("DownloadUrlToFile %s -> %.*s\n", url8.c_str(), static_cast<int>(filePath.size()), filePath.data());

  std::optional<CurlSession> own;  // for a transfer nested in another on this thread
  CurlSession* session = net_internal::ThreadSession();
  if (session == nullptr) session = &own.emplace();
  if (!session->ok()) {
    Trace("The transfer session could not be set up\n");
    SetLastInternetError(ERROR_INTERNET_INTERNAL_ERROR);
    if (errorCode != nullptr) *errorCode = ERROR_INTERNET_INTERNAL_ERROR;
    if (errorText != nullptr) *errorText = FormatInternetError(nullptr);
    PostMessageTo(notify, WM_DOWNLOAD_PROGRESS, kProgressFailed, 1);
    return INET_E_DOWNLOAD_FAILURE;
  }
  session->busy = true;
  HRESULT result = S_OK;
  {
    Transfer transfer(*session, filePath, notify, buffer, conditional);
    result = transfer.Run(url8, errorCode, errorText, byteCount);
    if (result == S_OK && finalUrl != nullptr) *finalUrl = transfer.EffectiveUrl();
  }
  session->busy = false;
  return result;
}

}  // namespace wrenly
