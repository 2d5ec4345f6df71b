// The Tiny Tiny RSS JSON API (level 15 and later): every call is a POST of a
// JSON object with "op" and the session id to <server>/api/, answered by
// {"seq", "status", "content"}; status 1 is an error named in content.error.
#include <nlohmann/json.hpp>

#include <array>
#include <functional>
#include <system_error>
#include <thread>

#include "engine/sync/sync_server.h"
#include "net/http_post.h"

namespace wrenly::sync {
namespace {

using nlohmann::json;

// Headlines asked per request; the server gives at most 200.
constexpr int kHeadlinePage = 200;
// Pages of one query asked at once after a full first page. Most of a
// page's time is the server's own query, which its workers run side by side.
constexpr std::size_t kParallelPages = 3;

// Runs the calls at once: the first on this thread, each other on a thread
// of its own, or after it here when no thread can be started.
template <std::size_t N>
void SideBySide(const std::array<std::function<void()>, N>& calls) {
  std::array<std::jthread, N> threads;
  std::size_t started = 1;
  try {
    for (; started < N; ++started) threads[started] = std::jthread(calls[started]);
  } catch (const std::system_error&) {
  }
  calls[0]();
  for (std::size_t i = started; i < N; ++i) calls[i]();
}

std::string ApiUrl(std::string url) {
  while (!url.empty() && url.back() == ' ') url.pop_back();
  if (url.size() >= 4 && url.compare(url.size() - 4, 4, "/api") == 0) url += '/';
  if (url.size() < 5 || url.compare(url.size() - 5, 5, "/api/") != 0) {
    if (url.empty() || url.back() != '/') url += '/';
    url += "api/";
  }
  return url;
}

std::int64_t Number(const json& value) {
  if (value.is_number_integer()) return value.get<std::int64_t>();
  if (value.is_string()) {
    try {
      return std::stoll(value.get<std::string>());
    } catch (...) {
      return 0;
    }
  }
  return 0;
}

std::string Text(const json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool Flag(const json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end()) return false;
  if (it->is_boolean()) return it->get<bool>();
  return Number(*it) != 0;
}

class TtrssServer : public SyncServer {
 public:
  explicit TtrssServer(const std::string& url) : api_(ApiUrl(url)) {}

  ServerStatus Login(const std::string& user, const std::string& password) override {
    json content;
    ServerStatus status = Call({{"op", "login"}, {"user", user}, {"password", password}}, content);
    if (!status.ok()) return status;
    session_ = Text(content, "session_id");
    if (session_.empty()) return {ServerError::kNotAServer, "the server gave no session"};
    user_ = user;
    password_ = password;
    return {};
  }

  void Resume(const std::string& session, const std::string& user, const std::string& password) override {
    session_ = session;
    user_ = user;
    password_ = password;
  }

  std::string session() const override { return session_; }

  ServerStatus Logout() override {
    json content;
    ServerStatus status = Call(posters_[0], {{"op", "logout"}}, content);
    session_.clear();
    return status;
  }

  ServerStatus Categories(std::vector<ServerCategory>& categories) override {
    return AskCategories(posters_[0], categories);
  }

  ServerStatus Overview(ServerOverview& overview) override {
    ServerStatus status = AskOverview(overview);
    if (status.error != ServerError::kNotLoggedIn) return status;
    if (ServerStatus login = LogInAgain(status); !login.ok()) return login;
    overview = {};
    return AskOverview(overview);
  }

  ServerStatus Headlines(const HeadlineQuery& query, const std::function<void(Headline&&)>& visit) override {
    json first;
    if (ServerStatus status = Page(posters_[0], query, 0, first); !status.ok()) return status;
    bool full = Visit(first, visit);
    for (int skip = kHeadlinePage; full; skip += kHeadlinePage * static_cast<int>(kParallelPages)) {
      std::array<json, kParallelPages> pages;
      std::array<ServerStatus, kParallelPages> statuses;
      std::array<std::function<void()>, kParallelPages> calls;
      for (std::size_t i = 0; i < kParallelPages; ++i)
        calls[i] = [&, i] { statuses[i] = Page(posters_[i], query, PageSkip(skip, i), pages[i]); };
      SideBySide(calls);
      for (std::size_t i = 0; i < kParallelPages && full; ++i) {
        if (!statuses[i].ok()) return statuses[i];
        full = Visit(pages[i], visit);
      }
    }
    return {};
  }

  ServerStatus SetRead(const std::vector<std::int64_t>& ids, bool read) override {
    for (std::size_t first = 0; first < ids.size(); first += kReadBatch) {
      std::string list;
      for (std::size_t i = first; i < std::min(ids.size(), first + kReadBatch); ++i) {
        if (!list.empty()) list += ',';
        list += std::to_string(ids[i]);
      }
      // field 2: unread; mode 0 sets it false, 1 true.
      json content;
      ServerStatus status = Call(
          {{"op", "updateArticle"}, {"article_ids", list}, {"mode", read ? 0 : 1}, {"field", 2}}, content);
      if (!status.ok()) return status;
    }
    return {};
  }

  ServerStatus Subscribe(const std::string& url, std::int64_t categoryId, std::int64_t& feedId) override {
    json content;
    ServerStatus status =
        Call({{"op", "subscribeToFeed"}, {"feed_url", url}, {"category_id", categoryId}}, content);
    if (!status.ok()) return status;
    const json code = content.is_object() ? content.value("status", json()) : json();
    if (!code.is_object()) return NotAServer("subscribeToFeed");
    feedId = Number(code.value("feed_id", json()));
    switch (Number(code.value("code", json()))) {
      case 0:
      case 1:
        return {};
      case 2:
        return {ServerError::kRefused, "the server refused the address " + url};
      case 3:
        return {ServerError::kRefused, "the server found no feed at " + url};
      case 4:
        return {ServerError::kRefused, "the server found several feeds at " + url};
      default:
        return {ServerError::kRefused, "the server could not download " + url + ": " + Text(code, "message")};
    }
  }

  ServerStatus Unsubscribe(std::int64_t feedId) override {
    json content;
    return Call({{"op", "unsubscribeFeed"}, {"feed_id", feedId}}, content);
  }

  ServerStatus AddCategory(const std::string&, std::int64_t&) override {
    return {ServerError::kUnsupported, "Tiny Tiny RSS's API cannot make categories"};
  }

  int requests() const override {
    int sent = 0;
    for (const HttpPoster& poster : posters_) sent += poster.requests();
    return sent;
  }

 private:
  static ServerStatus NotAServer(const std::string& op) {
    return {ServerError::kNotAServer, "the server's answer to " + op + " is not Tiny Tiny RSS's"};
  }

  // The three requests of the overview at once.
  ServerStatus AskOverview(ServerOverview& overview) {
    static_assert(kParallelPages >= 3, "the overview's three requests go out at once");
    std::array<ServerStatus, 3> statuses;
    SideBySide<3>({[&] { statuses[0] = AskCategories(posters_[0], overview.categories); },
                   [&] { statuses[1] = AskFeeds(posters_[1], overview.feeds); },
                   [&] { statuses[2] = AskRecentlyRead(posters_[2], overview.recentlyRead); }});
    for (const ServerStatus& status : statuses)
      if (!status.ok()) return status;
    return {};
  }

  ServerStatus AskCategories(HttpPoster& poster, std::vector<ServerCategory>& categories) const {
    json content;
    ServerStatus status = Call(poster, {{"op", "getCategories"}, {"include_empty", true}}, content);
    if (!status.ok()) return status;
    if (!content.is_array()) return NotAServer("getCategories");
    for (const json& item : content) {
      if (!item.is_object()) continue;
      const std::int64_t id = Number(item.value("id", json()));
      if (id > 0) categories.push_back({id, Text(item, "title")});
    }
    return {};
  }

  ServerStatus AskFeeds(HttpPoster& poster, std::vector<ServerFeed>& feeds) const {
    json content;
    // -3: every feed of the user, without the virtual ones (labels and such).
    ServerStatus status = Call(poster, {{"op", "getFeeds"}, {"cat_id", -3}, {"unread_only", false}}, content);
    if (!status.ok()) return status;
    if (!content.is_array()) return NotAServer("getFeeds");
    for (const json& item : content) {
      if (!item.is_object()) continue;
      ServerFeed feed;
      feed.id = Number(item.value("id", json()));
      feed.categoryId = Number(item.value("cat_id", json()));
      feed.title = Text(item, "title");
      feed.url = Text(item, "feed_url");
      feed.unread = static_cast<int>(Number(item.value("unread", json())));
      if (feed.id > 0 && !feed.url.empty()) feeds.push_back(std::move(feed));
    }
    return {};
  }

  ServerStatus AskRecentlyRead(HttpPoster& poster, std::vector<Headline>& headlines) const {
    // -6: the articles read in the last day, the last read first (the
    // server's own order for it).
    json content;
    ServerStatus status = Call(poster,
                               {{"op", "getHeadlines"},
                                {"feed_id", -6},
                                {"limit", kHeadlinePage},
                                {"view_mode", "all_articles"},
                                {"show_content", false}},
                               content);
    if (!status.ok()) return status;
    if (!content.is_array()) return NotAServer("getHeadlines");
    Visit(content, [&headlines](Headline&& headline) { headlines.push_back(std::move(headline)); });
    return {};
  }

  static int PageSkip(int skip, std::size_t page) { return skip + static_cast<int>(page) * kHeadlinePage; }

  // Asks one page of the query's headlines; `content` gets them when done.
  ServerStatus Page(HttpPoster& poster, const HeadlineQuery& query, int skip, json& content) const {
    json request = {{"op", "getHeadlines"},
                    {"feed_id", query.allFeeds ? -4 : query.feedId},
                    {"limit", kHeadlinePage},
                    {"skip", skip},
                    {"since_id", query.sinceId},
                    {"view_mode", query.unreadOnly ? "unread" : "all_articles"},
                    {"show_content", query.withContent},
                    {"include_attachments", query.withContent},
                    // The article as its site wrote it, as a refresh would
                    // download it; the server's cleaning costs it the most time.
                    {"sanitize", false},
                    {"order_by", "date_reverse"}};
    ServerStatus status = Call(poster, std::move(request), content);
    if (status.ok() && !content.is_array()) return NotAServer("getHeadlines");
    return status;
  }

  // Visits the page's headlines; false when it was the last page.
  static bool Visit(json& page, const std::function<void(Headline&&)>& visit) {
    for (json& item : page)
      if (item.is_object()) visit(ToHeadline(item));
    return page.size() >= static_cast<std::size_t>(kHeadlinePage);
  }

  static Headline ToHeadline(json& item) {
    Headline headline;
    headline.id = Number(item.value("id", json()));
    headline.feedId = Number(item.value("feed_id", json()));
    headline.unread = Flag(item, "unread");
    headline.title = Text(item, "title");
    headline.link = Text(item, "link");
    headline.author = Text(item, "author");
    headline.content = Text(item, "content");
    headline.updated = Number(item.value("updated", json()));
    const auto attachments = item.find("attachments");
    if (attachments != item.end() && attachments->is_array())
      for (const json& attachment : *attachments)
        if (attachment.is_object() && !Text(attachment, "content_url").empty())
          headline.attachments.push_back(Text(attachment, "content_url"));
    return headline;
  }

  // Sends one request; `content` gets the answer's content when done.
  // A call on the first connection; one the server refuses for an ended
  // session is sent again after a new login.
  ServerStatus Call(json request, json& content) {
    ServerStatus status = Call(posters_[0], request, content);
    if (status.error != ServerError::kNotLoggedIn) return status;
    if (ServerStatus login = LogInAgain(status); !login.ok()) return login;
    return Call(posters_[0], std::move(request), content);
  }

  // Logs in again, once, with the credentials of a session the server
  // ended; `ended` is given back when that cannot be tried, else the
  // login's own answer (a password changed meanwhile is told as such).
  ServerStatus LogInAgain(const ServerStatus& ended) {
    if (user_.empty() || loggedInAgain_) return ended;
    loggedInAgain_ = true;
    session_.clear();
    const std::string user = user_, password = password_;
    return Login(user, password);
  }

  ServerStatus Call(HttpPoster& poster, json request, json& content) const {
    if (!session_.empty()) request["sid"] = session_;
    const PostAnswer answer = poster.Post(api_, "application/json", request.dump());
    if (!answer.reached) return {ServerError::kUnreachable, "the server " + api_ + " cannot be reached: " + answer.error};
    if (!answer.error.empty()) return {ServerError::kUnreachable, "the answer of " + api_ + " broke off: " + answer.error};
    if (answer.status >= 400)
      return {ServerError::kNotAServer, api_ + " answered HTTP " + std::to_string(answer.status) +
                                            "; is the address that of a Tiny Tiny RSS?"};
    json reply = json::parse(answer.body, nullptr, false);
    if (!reply.is_object() || !reply.contains("status") || !reply.contains("content"))
      return {ServerError::kNotAServer, api_ + " is not a Tiny Tiny RSS API"};
    content = std::move(reply["content"]);
    if (Number(reply["status"]) == 0) return {};
    const std::string error = content.is_object() ? Text(content, "error") : std::string();
    if (error == "LOGIN_ERROR") return {ServerError::kWrongPassword, "wrong user name or password"};
    if (error == "NOT_LOGGED_IN") return {ServerError::kNotLoggedIn, "the server ended the session"};
    if (error == "API_DISABLED")
      return {ServerError::kApiDisabled, "API access is off for this user (the server's preferences can turn it on)"};
    return {ServerError::kRefused, "the server refused " + request.value("op", std::string()) + ": " +
                                       (error.empty() ? "no reason given" : error)};
  }

  std::string api_;
  std::string session_;
  std::string user_, password_;  // for a new login when a resumed session ended
  bool loggedInAgain_ = false;
  // One kept-alive connection per page asked at once; the first serves
  // every other call.
  std::array<HttpPoster, kParallelPages> posters_;
};

}  // namespace

std::unique_ptr<SyncServer> MakeTtrssServer(const std::string& url) { return std::make_unique<TtrssServer>(url); }

}  // namespace wrenly::sync
