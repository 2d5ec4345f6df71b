#include "net/http_post.h"

#include <curl/curl.h>

#include "net/transfer_control.h"

namespace wrenly {
namespace {

struct Receiving {
  std::string* body;
  std::size_t limit;
  bool tooLarge = false;
};

std::size_t Receive(char* data, std::size_t size, std::size_t count, void* user) {
  auto* receiving = static_cast<Receiving*>(user);
  const std::size_t bytes = size * count;
  if (receiving->body->size() + bytes > receiving->limit) {
    receiving->tooLarge = true;
    return 0;
  }
  receiving->body->append(data, bytes);
  return bytes;
}

int Progress(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return GetTransferControl().AbortFlag() ? 1 : 0;
}

}  // namespace

HttpPoster::HttpPoster(std::size_t maxAnswerBytes) : easy_(curl_easy_init()), maxAnswerBytes_(maxAnswerBytes) {}

HttpPoster::~HttpPoster() {
  if (easy_ != nullptr) curl_easy_cleanup(static_cast<CURL*>(easy_));
}

PostAnswer HttpPoster::Post(const std::string& url, std::string_view contentType, std::string_view body) {
  PostAnswer answer;
  CURL* easy = static_cast<CURL*>(easy_);
  if (easy == nullptr) {
    answer.error = "the HTTP library could not be started";
    return answer;
  }
  ++requests_;
  Receiving receiving{&answer.body, maxAnswerBytes_};
  const std::string typeHeader = "Content-Type: " + std::string(contentType);
  curl_slist* headers = curl_slist_append(nullptr, typeHeader.c_str());
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, 30000L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, 50L);
  curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Receive);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &receiving);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, Progress);
  const TransferControl& control = GetTransferControl();
  const std::string proxy = control.UseProxy() ? control.ProxyAddress() : std::string();
  curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
  const CURLcode code = curl_easy_perform(easy);
  curl_slist_free_all(headers);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, nullptr);
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &answer.status);
  answer.reached = answer.status != 0;
  if (receiving.tooLarge) {
    answer.error = "the answer is larger than " + std::to_string(maxAnswerBytes_) + " bytes";
    answer.body.clear();
  } else if (code != CURLE_OK) {
    answer.error = curl_easy_strerror(code);
    answer.body.clear();
  }
  return answer;
}

}  // namespace wrenly
