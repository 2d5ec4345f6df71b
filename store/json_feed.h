// JSON Feed 1.0 and 1.1 documents read into the same item fields as RSS:
// title, link (url, else external_url, else id), date (date_published, else
// date_modified), description (content_html, else content_text escaped,
// else summary, with the item's image in front when the body does not show
// it), and the feed's title, home page, icon and favicon. Pure functions;
// safe anywhere. Never throws.
//
// The document is read as a stream, a piece at a time, and only the items a
// caller asks for are built, so memory stays small whatever the document
// holds. Damage costs as little as possible: bytes that are not UTF-8 and
// lone surrogates become U+FFFD, numbers are never evaluated, and an item
// that is not well-formed JSON is dropped alone (a document cut short keeps
// the items before the cut).
#pragma once

#include <cstddef>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/feed_items.h"

namespace wrenly {

// Longest text kept of an item's body (content_html, content_text, summary)
// and of every other text, in UTF-16 units; the rest of a longer one is cut.
constexpr size_t kMaxJsonBodyUnits = 512 * 1024;
constexpr size_t kMaxJsonTextUnits = 8 * 1024;

struct JsonFeedChannel {
  std::optional<std::u16string> title;
  std::optional<std::u16string> homePageUrl;
  std::optional<std::u16string> icon;
  std::optional<std::u16string> favicon;
};

struct JsonFeed : JsonFeedChannel {
  std::vector<FeedItem> items;
};

// The next piece of a document; an empty one at its end.
using ByteSource = std::function<std::string_view()>;
// Gets each item in document order; false ends the reading there.
using JsonItemVisitor = std::function<bool(FeedItem&&)>;

// Whether the bytes start like a JSON object ("{" after blanks and an
// optional UTF-8 byte-order mark), which no XML document does.
bool LooksLikeJson(std::string_view bytes);

// Reads a document. The channel, or nothing when it is not a JSON Feed: an
// object whose "version" names JSON Feed 1 or 1.1 (the jsonfeed.org address
// ".../version/1" or ".../version/1.1", or the short "1", "1.0", "1.1"
// that some publishers write) and whose "items" is an array (the first
// such member; a later "items" is ignored). Elements of "items" that are not
// objects are skipped; fields of the wrong type count as missing; of a
// member written twice the last counts. Without `visit` the items are
// skipped unbuilt. When `visit` ends the reading, the result tells only
// what came before.
std::optional<JsonFeedChannel> ReadJsonFeed(const ByteSource& source, const JsonItemVisitor& visit = {});

// The same over a file, read in pieces; nothing when it cannot be opened.
std::optional<JsonFeedChannel> ReadJsonFeedFile(const std::string& path, const JsonItemVisitor& visit = {});

// The whole document in memory, with its first `maxItems` items.
std::optional<JsonFeed> ParseJsonFeed(std::string_view bytes,
                                      size_t maxItems = std::numeric_limits<size_t>::max());

}  // namespace wrenly
