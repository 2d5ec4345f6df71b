// CFeedParser: a downloaded feed document (RSS 0.91/2.0, RDF, Atom 1.0, or
// JSON Feed 1.0/1.1, json_feed.h)
// merged into its channel's item file and URL index, the channel's title,
// link and logo address, and the channel-details page. Always loaded without
// traversal. One object per thread; a refresh merges up to 32 channels at
// once, each into its own files, and the sequence counters they share are
// atomic.
#pragma once

#include <tinyxml2.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/cexml.h"
#include "store/channel_merge.h"
#include "store/feed_items.h"
#include "store/json_feed.h"
#include "store/settings.h"

namespace wrenly {

enum class FeedKind { kNotAFeed, kRss, kRdf, kAtom, kJson };

// "rss", "rdf", "atom", "json" or "not a feed".
const char* FeedKindName(FeedKind kind);

class CFeedParser : public CEXML {
 public:
  // VersionKind values set by Visit on the root element.
  static constexpr int kVersionRss20 = 0;
  static constexpr int kVersionRdf = 1;
  static constexpr int kVersionRss091 = 2;
  static constexpr int kVersionOther = 3;

  explicit CFeedParser(AbortCallback abort = {}, void* context = nullptr);

  // Loads the document without traversal; 1 when it loaded. A file that
  // starts like a JSON object is read as a JSON Feed instead: 1 when it is
  // one, else 0 with LastError() saying so. A JSON Feed's items stay in the
  // file and are read from it by each merge or walk.
  // Of an XML feed only the first `maxItems` items (as many as any merge
  // takes by default) are loaded, with the rest of the document, and the
  // file is read in pieces (feed_document.h); kWholeDocument loads all of
  // it at once.
  static constexpr size_t kWholeDocument = static_cast<size_t>(-1);
  int Load(const std::string& path, size_t maxItems = kMaxArticlesNumber);

  // On the root element: rdf:RDF -> 1, rss version 2.0 -> 0, rss version
  // 0.91 -> 2, anything else leaves VersionKind as it is.
  void Visit(const tinyxml2::XMLElement* parent, const tinyxml2::XMLElement* element) override;
  int VersionKind() const { return versionKind_; }

  FeedKind Kind() const;

  // Merges the first "ArticlesNumber" items (or the limit set below) into
  // the item file and URL index derived from the document's path, then trims
  // the item file to the limit (channel_merge.h). 1 merged; 0 when the
  // document is not a feed (no file is touched) or when the merge could not
  // write its files (merged().written is false).
  int MergeItems();
  // The article limit the next merges use instead of reading the setting
  // (no more items than Load loaded: kMaxArticlesNumber by default).
  void SetArticleLimit(int limit) { articleLimit_ = limit; }
  // Runs the store part of each merge (after the items are read from the
  // document) inside the guard, e.g. under the data root's lock.
  using MergeGuard = std::function<void(const std::function<void()>& merge)>;
  void SetMergeGuard(MergeGuard guard) { mergeGuard_ = std::move(guard); }

  // Every loaded item of the document in document order, fields read as a merge
  // reads them, without touching any store.
  std::vector<FeedItem> ReadItems() const;
  // The same, one item at a time, without holding them all.
  void ForEachItem(const std::function<void(const FeedItem&)>& visit) const;

  std::optional<std::u16string> ChannelTitle() const;
  std::optional<std::u16string> ChannelLink() const;
  std::optional<std::u16string> LogoAddress() const;
  // The site icon the feed names itself (a JSON Feed's "favicon"); nothing
  // for the others, whose icon comes from their link.
  std::optional<std::u16string> SiteIconAddress() const;

  // The channel-details page (HTML).
  std::u16string ChannelInfoHtml();

  // What the last merge recorded: new picture addresses and new article
  // links in the URL index (in order), and how many item records it added.
  std::vector<std::u16string> pictures() const;
  const std::vector<std::u16string>& links() const { return merged_.links; }
  int newItemCount() const { return merged_.newItems; }
  const MergeResult& merged() const { return merged_; }
  void* context() const { return context_; }

 private:
  struct Container {
    FeedKind kind = FeedKind::kNotAFeed;
    const tinyxml2::XMLElement* element = nullptr;
    std::string prefix;  // Atom namespace prefix, e.g. "atom:"
  };
  int LoadXml(const std::string& path, size_t maxItems);
  Container FindContainer() const;
  bool IsItem(const Container& container, const tinyxml2::XMLElement* element) const;
  bool ReadItem(const Container& container, const tinyxml2::XMLElement* element,
                FeedItem& out) const;
  bool Aborted() const { return abort_ && abort_(); }
  const tinyxml2::XMLElement* RssChannelChild(const char* name) const;

  AbortCallback abort_;
  void* context_;
  int versionKind_ = kVersionOther;
  std::optional<JsonFeedChannel> json_;
  std::optional<int> articleLimit_;
  MergeGuard mergeGuard_;
  MergeResult merged_;
};

}  // namespace wrenly
