#include "reader/sync_session.h"

#include <strings.h>

#include "platform/text.h"
#include "reader/server_address.h"
#include "reader/sync.h"

namespace wrenly::reader {

Result ServerRefusal(const sync::ServerStatus& status) {
  const char16_t* sentence = kSyncRefusedText;
  switch (status.error) {
    case sync::ServerError::kUnreachable:
      sentence = kSyncUnreachableText;
      break;
    case sync::ServerError::kWrongPassword:
      sentence = kSyncWrongPasswordText;
      break;
    case sync::ServerError::kApiDisabled:
      sentence = kSyncApiDisabledText;
      break;
    case sync::ServerError::kNotAServer:
      sentence = kSyncNotAServerText;
      break;
    case sync::ServerError::kPlainHttp:
      sentence = kSyncPlainHttpText;
      break;
    default:
      break;
  }
  std::string message = Utf16ToUtf8(sentence);
  if (!status.message.empty()) message += "\n" + status.message;
  return Result::Refused(Refusal::kInvalid, std::move(message));
}

ValueResult<std::unique_ptr<SyncSession>> SyncSession::Open(const Account& account, const std::string& kept) {
  if (Result allowed = CheckServerAddress(account.url, account.allow_plain_http); !allowed.done()) {
    const bool http = account.url.size() >= 7 && strncasecmp(account.url.c_str(), "http://", 7) == 0;
    return {ServerRefusal({http ? sync::ServerError::kPlainHttp : sync::ServerError::kNotAServer, allowed.message})};
  }
  std::unique_ptr<sync::SyncServer> server = sync::MakeTtrssServer(account.url);
  if (!kept.empty())
    server->Resume(kept, account.user, account.password);
  else if (const sync::ServerStatus login = server->Login(account.user, account.password); !login.ok())
    return {ServerRefusal(login)};
  return {Result::Done(), std::unique_ptr<SyncSession>(new SyncSession(std::move(server)))};
}

SyncSession::~SyncSession() {
  if (!kept_) server_->Logout();
}

std::string SyncSession::Keep() {
  kept_ = true;
  return server_->session();
}

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
