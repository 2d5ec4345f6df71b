// JSON Feed 1.0 and 1.1 documents read into the same item fields as RSS:
// title, link (url, else external_url, else id), date (date_published, else
// date_modified), description (content_html, else content_text escaped,
// else summary, with the item's image in front when the body does not show
// it), and the feed's title, home page, icon and favicon. Pure functions;
// safe anywhere. Never throws: bad JSON is simply not a JSON Feed.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/feed_items.h"

namespace wrenly {

struct JsonFeed {
  std::optional<std::u16string> title;
  std::optional<std::u16string> homePageUrl;
  std::optional<std::u16string> icon;
  std::optional<std::u16string> favicon;
  std::vector<FeedItem> items;
};

// Whether the bytes start like a JSON object ("{" after blanks and an
// optional UTF-8 byte-order mark), which no XML document does.
bool LooksLikeJson(std::string_view bytes);

// The feed, or nothing when the bytes are not JSON or not a JSON Feed: an
// object whose "version" names JSON Feed 1 or 1.1 (the jsonfeed.org address
// ".../version/1" or ".../version/1.1", or the short "1", "1.0", "1.1"
// that some publishers write) and whose "items" is an array. Items that are
// not objects are skipped; fields of the wrong type count as missing.
std::optional<JsonFeed> ParseJsonFeed(std::string_view bytes);

}  // namespace wrenly
