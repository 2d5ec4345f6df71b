#include "reader/sync_session.h"

#include <algorithm>

#include "reader/sync.h"

namespace wrenly::reader {

Result ServerRefusal(const sync::ServerStatus& status) {
  const char* sentence = kSyncRefused;
  switch (status.error) {
    case sync::ServerError::kUnreachable:
      sentence = kSyncUnreachable;
      break;
    case sync::ServerError::kWrongPassword:
      sentence = kSyncWrongPassword;
      break;
    case sync::ServerError::kApiDisabled:
      sentence = kSyncApiDisabled;
      break;
    case sync::ServerError::kNotAServer:
      sentence = kSyncNotAServer;
      break;
    case sync::ServerError::kPlainHttp:
      sentence = kSyncPlainHttp;
      break;
    default:
      break;
  }
  std::string message = sentence;
  if (!status.message.empty()) message += "\n" + status.message;
  return Result::Refused(Refusal::kInvalid, std::move(message));
}

bool IsPlainHttpToAnotherHost(const std::string& url) {
  std::string lower = url.substr(0, std::min<std::size_t>(url.size(), 7));
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  if (lower != "http://") return false;
  std::string host = url.substr(7, url.find_first_of("/?#", 7) - 7);
  if (const std::size_t at = host.rfind('@'); at != std::string::npos) host.erase(0, at + 1);
  if (host.starts_with("[")) {
    host = host.substr(1, host.find(']') - 1);
  } else if (const std::size_t colon = host.find(':'); colon != std::string::npos) {
    host.erase(colon);
  }
  std::transform(host.begin(), host.end(), host.begin(), [](unsigned char c) { return std::tolower(c); });
  return !(host == "localhost" || host.ends_with(".localhost") || host.starts_with("127.") || host == "::1");
}

ValueResult<std::unique_ptr<SyncSession>> SyncSession::Open(const Account& account) {
  if (!account.allow_plain_http && IsPlainHttpToAnotherHost(account.url))
    return {ServerRefusal({sync::ServerError::kPlainHttp, account.url + " is plain http to another computer"})};
  std::unique_ptr<sync::SyncServer> server = sync::MakeTtrssServer(account.url);
  if (const sync::ServerStatus login = server->Login(account.user, account.password); !login.ok())
    return {ServerRefusal(login)};
  return {Result::Done(), std::unique_ptr<SyncSession>(new SyncSession(std::move(server)))};
}

SyncSession::~SyncSession() { server_->Logout(); }

Result CheckLogin(const Account& account) {
  ValueResult<std::unique_ptr<SyncSession>> session = SyncSession::Open(account);
  if (!session.done()) return session.result;
  // A session may log in without API access; any call tells.
  std::vector<sync::ServerCategory> categories;
  if (const sync::ServerStatus asked = session.value->server().Categories(categories); !asked.ok())
    return ServerRefusal(asked);
  return Result::Done();
}

}  // namespace wrenly::reader
