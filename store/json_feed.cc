#include "store/json_feed.h"

#include <nlohmann/json.hpp>

#include "platform/text.h"
#include "store/html_entities.h"
#include "store/picture_addresses.h"

namespace wrenly {
namespace {

using nlohmann::json;

// Deeper nesting than any feed needs is refused before parsing, so a
// hostile document cannot exhaust the stack.
constexpr int kMaxDepth = 64;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view WithoutMark(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  return bytes;
}

bool NestsTooDeep(std::string_view bytes) {
  int depth = 0;
  bool inString = false;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '{' || c == '[') {
      if (++depth > kMaxDepth) return true;
    } else if (c == '}' || c == ']') {
      --depth;
    }
  }
  return false;
}

bool IsJsonFeedVersion(const json& version) {
  if (!version.is_string()) return false;
  const std::string& v = version.get_ref<const std::string&>();
  for (std::string_view prefix : {"https://jsonfeed.org/version/", "http://jsonfeed.org/version/", ""}) {
    if (!std::string_view(v).starts_with(prefix)) continue;
    const std::string_view number = std::string_view(v).substr(prefix.size());
    if (number == "1" || number == "1.1" || (prefix.empty() && number == "1.0")) return true;
  }
  return false;
}

// A string member as UTF-16; nothing when absent, not a string or empty.
std::optional<std::u16string> Text(const json& object, const char* name) {
  const auto it = object.find(name);
  if (it == object.end() || !it->is_string()) return std::nullopt;
  const std::string& value = it->get_ref<const std::string&>();
  if (value.empty()) return std::nullopt;
  return Utf8ToUtf16(value);
}

std::u16string FirstOf(const json& object, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (std::optional<std::u16string> text = Text(object, name)) return *text;
  return {};
}

bool ShowsPicture(std::u16string_view html, std::u16string_view address) {
  for (const std::u16string& shown : PictureAddresses(html))
    if (shown == address) return true;
  return false;
}

FeedItem ReadItem(const json& item) {
  FeedItem out;
  out.title = FirstOf(item, {"title"});
  out.link = FirstOf(item, {"url", "external_url", "id"});
  out.date = FirstOf(item, {"date_published", "date_modified"});
  if (std::optional<std::u16string> html = Text(item, "content_html"))
    out.description = *html;
  else if (std::optional<std::u16string> text = Text(item, "content_text"))
    out.description = EscapeHtmlText(*text);
  else
    out.description = FirstOf(item, {"summary"});
  // The item's picture goes in front of the body, so it is downloaded, shown
  // and deleted with the item like any picture the body names. A quote in
  // the address would end the attribute early; it is written as %22.
  if (std::optional<std::u16string> image = Text(item, "image"); image && !ShowsPicture(out.description, *image)) {
    std::u16string address;
    for (char16_t c : *image) address += c == u'"' ? std::u16string(u"%22") : std::u16string(1, c);
    out.description = u"<p><img src=\"" + address + u"\"></p>" + out.description;
  }
  return out;
}

}  // namespace

bool LooksLikeJson(std::string_view bytes) {
  bytes = WithoutMark(bytes);
  while (!bytes.empty() && IsBlank(bytes.front())) bytes.remove_prefix(1);
  return bytes.starts_with('{');
}

std::optional<JsonFeed> ParseJsonFeed(std::string_view bytes) {
  bytes = WithoutMark(bytes);
  if (!LooksLikeJson(bytes) || NestsTooDeep(bytes)) return std::nullopt;
  const json document = json::parse(bytes, nullptr, false);
  if (document.is_discarded() || !document.is_object()) return std::nullopt;
  const auto version = document.find("version");
  const auto items = document.find("items");
  if (version == document.end() || !IsJsonFeedVersion(*version) || items == document.end() || !items->is_array())
    return std::nullopt;
  JsonFeed feed;
  feed.title = Text(document, "title");
  feed.homePageUrl = Text(document, "home_page_url");
  feed.icon = Text(document, "icon");
  feed.favicon = Text(document, "favicon");
  for (const json& item : *items)
    if (item.is_object()) feed.items.push_back(ReadItem(item));
  return feed;
}

}  // namespace wrenly
