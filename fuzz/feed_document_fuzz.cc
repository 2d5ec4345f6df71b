// Fuzz target: an XML document read whole and read bounded to its first
// one or two items must load alike (both or neither), and then give the
// same channel fields and the same first items. A difference aborts.
#include <cstdlib>
#include <string_view>

#include "store/feed_document.h"
#include "store/feed_parser.h"

using namespace wrenly;

namespace {

void Require(bool same) {
  if (!same) std::abort();
}

void Compare(std::string_view bytes, const CFeedParser& whole, int wholeLoaded, size_t limit) {
  const std::optional<BoundedFeedDocument> kept = BoundFeedDocument(bytes, limit, nullptr);
  CFeedParser bounded;
  const int loaded = kept ? bounded.LoadDocument("", kept->head, kept->text) : 0;
  Require(loaded == wholeLoaded);
  if (loaded != 1) return;
  Require(bounded.Kind() == whole.Kind());
  Require(bounded.ChannelTitle() == whole.ChannelTitle());
  Require(bounded.ChannelLink() == whole.ChannelLink());
  Require(bounded.LogoAddress() == whole.LogoAddress());
  std::vector<FeedItem> first = whole.ReadItems();
  if (first.size() > limit) first.resize(limit);
  const std::vector<FeedItem> items = bounded.ReadItems();
  Require(items.size() == first.size());
  for (size_t i = 0; i < items.size(); ++i) {
    Require(items[i].title == first[i].title && items[i].link == first[i].link);
    Require(items[i].date == first[i].date && items[i].description == first[i].description);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CFeedParser whole;
  const int loaded = whole.LoadDocument("", bytes.substr(0, 127), bytes);
  for (const size_t limit : {size_t{1}, size_t{2}}) Compare(bytes, whole, loaded, limit);
  return 0;
}
