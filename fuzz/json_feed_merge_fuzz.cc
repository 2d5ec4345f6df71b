// Fuzz target: arbitrary bytes as a downloaded JSON Feed, read as a stream.
// The document is read whole and in small pieces, which must give the same
// items; every text keeps its length limit and is well-formed UTF-16; then
// the file is merged into a scratch channel at the highest article limit,
// as a refresh does. Run with a memory limit (scripts/fuzz sets 256 MB).
#include <cstdlib>
#include <filesystem>

#include "fuzz/fuzz_support.h"
#include "store/feed_parser.h"
#include "store/json_feed.h"
#include "store/settings.h"

using namespace wrenly;

namespace {

bool WellFormed(const std::u16string& text, size_t cap) {
  if (text.size() > cap) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xDC00 && c <= 0xDFFF) return false;
    if (c >= 0xD800 && c <= 0xDBFF && (++i == text.size() || text[i] < 0xDC00 || text[i] > 0xDFFF)) return false;
  }
  return true;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

// The items of a reading whose pieces are at most `piece` bytes long.
std::vector<FeedItem> ReadInPieces(std::string_view bytes, size_t piece, std::optional<JsonFeedChannel>& channel) {
  std::vector<FeedItem> items;
  channel = ReadJsonFeed(
      [&bytes, piece]() {
        const std::string_view next = bytes.substr(0, piece);
        bytes.remove_prefix(next.size());
        return next;
      },
      [&items](FeedItem&& item) {
        items.push_back(std::move(item));
        return true;
      });
  return items;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::optional<JsonFeedChannel> whole, pieces;
  const std::vector<FeedItem> all = ReadInPieces(bytes, bytes.size() + 1, whole);
  const std::vector<FeedItem> again = ReadInPieces(bytes, 1 + size % 7, pieces);
  Check(all.size() == again.size() && whole.has_value() == pieces.has_value());
  for (size_t i = 0; i < all.size(); ++i) {
    Check(all[i].link == again[i].link && all[i].description == again[i].description);
    Check(WellFormed(all[i].title, kMaxJsonTextUnits) && WellFormed(all[i].link, kMaxJsonTextUnits) &&
          WellFormed(all[i].date, kMaxJsonTextUnits));
  }
  if (whole) Check(!whole->title || WellFormed(*whole->title, kMaxJsonTextUnits));

  const std::string folder = fuzz::ScratchHome() + "/data";
  const std::string feed = folder + "/Ch100~.xml";
  std::error_code ec;
  for (const char* name : {"/Ch100.bin", "/Ch100.iid"}) std::filesystem::remove(folder + name, ec);
  if (!fuzz::WriteBytes(feed, data, size)) return 0;
  CFeedParser parser;
  parser.SetArticleLimit(kMaxArticlesNumber);
  // A document that does not start like JSON is loaded as XML.
  if (parser.Load(feed) != 1 || parser.Kind() != FeedKind::kJson) return 0;
  Check(whole.has_value());
  parser.MergeItems();
  Check(parser.newItemCount() <= kMaxArticlesNumber);
  return 0;
}
