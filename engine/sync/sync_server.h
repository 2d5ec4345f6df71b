// SyncServer: a news server the person runs, which holds their
// subscriptions and read state (Tiny Tiny RSS now; a Google Reader API or
// Nextcloud News backend can follow behind the same interface). A session
// logs in, asks and changes, and logs out. Every call blocks the calling
// thread; one object belongs to one thread at a time. Nothing throws.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace wrenly::sync {

// Why a call to the server failed.
enum class ServerError {
  kNone,
  kUnreachable,    // no answer (network, refused connection, TLS, timeout)
  kWrongPassword,  // the server refused the user name or the password
  kApiDisabled,    // the user's API access is off on the server
  kNotAServer,     // something answered, but not the server's API
  kPlainHttp,      // plain http to another host was not allowed
  kUnsupported,    // the server's API cannot do this
  kRefused,        // the server refused the request (its own reason)
  kNotLoggedIn,    // the session ended (a kept one the server expired)
};

struct ServerStatus {
  ServerError error = ServerError::kNone;
  std::string message;  // in English, says what failed; empty when done
  bool ok() const { return error == ServerError::kNone; }
};

struct ServerCategory {
  std::int64_t id = 0;
  std::string title;
};

struct ServerFeed {
  std::int64_t id = 0;
  std::int64_t categoryId = 0;  // 0: no category
  std::string title, url;
  int unread = 0;
};

struct Headline {
  std::int64_t id = 0, feedId = 0;
  bool unread = true;
  std::string title, link, author, content;
  std::int64_t updated = 0;  // seconds since 1970
  std::vector<std::string> attachments;  // addresses of pictures and files
};

// What a sync asks first.
struct ServerOverview {
  std::vector<ServerCategory> categories;
  std::vector<ServerFeed> feeds;  // with their unread counts
  // The articles read on the server lately, the last read first: ids and
  // feeds only, as many as one request gives.
  std::vector<Headline> recentlyRead;
};

struct HeadlineQuery {
  std::int64_t feedId = 0;  // see allFeeds
  bool allFeeds = false;    // every feed of the user at once
  std::int64_t sinceId = 0; // only articles with a higher id
  bool unreadOnly = false;
  bool withContent = true;  // content and attachments
};

class SyncServer {
 public:
  virtual ~SyncServer() = default;

  virtual ServerStatus Login(const std::string& user, const std::string& password) = 0;
  virtual ServerStatus Logout() = 0;
  // Goes on with a session an earlier login gave, without a request. When
  // the server has ended it, the next call logs in again with the user
  // name and password and is sent once more.
  virtual void Resume(const std::string& session, const std::string& user, const std::string& password) = 0;
  // The session's id; empty when logged out.
  virtual std::string session() const = 0;
  virtual ServerStatus Categories(std::vector<ServerCategory>& categories) = 0;
  // The categories, the feeds and the articles read lately, asked at once.
  virtual ServerStatus Overview(ServerOverview& overview) = 0;
  // Gives each matching headline, oldest id first, a page at a time.
  virtual ServerStatus Headlines(const HeadlineQuery& query, const std::function<void(Headline&&)>& visit) = 0;
  // Marks the articles read or unread, many per request.
  virtual ServerStatus SetRead(const std::vector<std::int64_t>& ids, bool read) = 0;
  // Subscribes to the feed in the category (0: none); `feedId` gets its id.
  virtual ServerStatus Subscribe(const std::string& url, std::int64_t categoryId, std::int64_t& feedId) = 0;
  virtual ServerStatus Unsubscribe(std::int64_t feedId) = 0;
  // kUnsupported when the API cannot make categories.
  virtual ServerStatus AddCategory(const std::string& title, std::int64_t& categoryId) = 0;
  // Requests sent so far.
  virtual int requests() const = 0;
};

// Most article ids one read-state request carries.
constexpr std::size_t kReadBatch = 1000;

// A Tiny Tiny RSS server at `url` (its address as typed; "api/" is added).
std::unique_ptr<SyncServer> MakeTtrssServer(const std::string& url);

}  // namespace wrenly::sync
