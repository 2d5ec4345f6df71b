#include "reader/sync_documents.h"

#include <ctime>
#include <nlohmann/json.hpp>

namespace wrenly::reader {
namespace {

std::string Rfc3339(std::int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm utc{};
  gmtime_r(&time, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

}  // namespace

std::string HeadlineLink(const sync::Headline& headline) {
  return headline.link.empty() ? "ttrss-article:" + std::to_string(headline.id) : headline.link;
}

std::string HeadlinesDocument(const std::string& title, const std::vector<sync::Headline>& headlines) {
  nlohmann::json items = nlohmann::json::array();
  // Newest first, as feeds usually list them.
  for (auto it = headlines.rbegin(); it != headlines.rend(); ++it) {
    nlohmann::json item = {{"id", std::to_string(it->id)},
                           {"url", HeadlineLink(*it)},
                           {"title", it->title},
                           {"content_html", it->content}};
    if (it->updated > 0) item["date_published"] = Rfc3339(it->updated);
    if (!it->author.empty()) item["authors"] = {{{"name", it->author}}};
    for (const std::string& address : it->attachments) item["attachments"].push_back({{"url", address}});
    items.push_back(std::move(item));
  }
  const nlohmann::json document = {
      {"version", "https://jsonfeed.org/version/1.1"}, {"title", title}, {"items", std::move(items)}};
  return document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace wrenly::reader
