// ReaderData: the person's operations on one data root, for every front end
// (the window and wrenly-cli): subscribe and unsubscribe, rename, move and
// categories, import and export of the catalog, the full-text choice, the
// channel counts, and the items of a channel (merge, list, mark, delete,
// counts). Each operation holds the data root's lock (store/data_root_lock.h)
// for itself alone: shared to read, exclusive to change. A change of the
// catalog loads the file as it is on disk, applies the change and saves it
// at once, so no copy held by a screen or another process is ever written
// back. A catalog that exists but cannot be read refuses every change, the
// channel's items included, and is never overwritten.
// Safe for concurrent use; objects are cheap and hold only the root's path.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reader/result.h"
#include "store/channel_counts.h"
#include "store/channel_store.h"
#include "store/full_text_mode.h"
#include "store/item_record.h"
#include "store/opml_import.h"

namespace wrenly::reader {

// The category channels go to when none is named.
inline constexpr char16_t kOthersCategory[] = u"Others";

// One channel as the catalog holds it: its category (empty for a channel at
// the top) and every attribute of its outline as stored.
struct CatalogEntry {
  std::u16string category;
  std::map<std::u16string, std::u16string> attributes;

  // The attribute's value, empty when missing.
  std::u16string Get(std::u16string_view name) const;
  // "uniqueID" as a channel number; 0 when missing or not a number.
  int Number() const;
};

class ReaderData {
 public:
  explicit ReaderData(std::string dataRoot);
  // The data root the settings name now.
  static ReaderData Current();

  const std::string& root() const { return root_; }
  std::string CatalogPath() const;
  // ChannelData/Ch%03d + suffix.
  std::string ChannelPath(int channel, std::string_view suffix) const;

  // --- the catalog (reader/catalog_operations.cc) ---

  // The channels, in catalog order: outlines in a category, and outlines
  // with an address at the top. A missing catalog is an empty one.
  Result ListChannels(std::vector<CatalogEntry>& entries) const;
  // Adds a channel to the category (made when missing) and gives its number.
  // Refuses a feed address already subscribed (reader/feed_address.h) and a
  // title already in the category.
  ValueResult<int> Subscribe(std::u16string_view category, std::u16string_view title, std::u16string_view url);
  Result AddCategory(std::u16string_view name);
  // Renames a category, or else the first channel titled oldText.
  Result Rename(std::u16string_view oldText, std::u16string_view newText);
  // Gives the channel with that feed address a new title.
  Result RenameChannel(std::u16string_view url, std::u16string_view title);
  Result Move(std::u16string_view url, std::u16string_view category);
  // Removes the channel from the catalog, then its files.
  Result Unsubscribe(std::u16string_view url);
  // Removes the category with every channel in it, then their files.
  Result DeleteCategory(std::u16string_view name);
  // Adds the channels of an OPML file (see store/opml_import.h); addresses
  // already subscribed, or met earlier in the file, are refused.
  ValueResult<ImportCounts> Import(const std::string& opmlPath);
  // Writes a copy of the catalog to the path, atomically.
  Result Export(const std::string& path) const;
  Result SetFullText(std::u16string_view url, FullTextMode mode);
  // Stores counts as "itemCount" and "newItemCount" of the channels named by
  // address, where they changed (the end of a refresh).
  Result StoreCounts(const std::map<std::u16string, ChannelCountValues>& countsByUrl);

  // --- the items of a channel (reader/item_operations.cc) ---

  // Merges a feed document into the channel as a refresh does and gives the
  // number of new items; the catalog gets the channel's new counts.
  ValueResult<int> Merge(int channel, const std::string& feedPath);
  // Every live record of the item file in file order (the error record too).
  Result ForEachItem(int channel, const std::function<void(const ItemRecord&)>& visit) const;
  // Marks one item (by link), or every item when the link is empty, read or
  // unread, keeping the full-text bit. Refused when the link names no item.
  Result Mark(int channel, bool read, std::u16string_view link = {});
  // Deletes one item with its full text and pictures.
  Result DeleteItem(int channel, std::u16string_view link);
  // Deletes every item of the channel with their files; the channel stays.
  Result DeleteAllItems(int channel);
  // Read from the item file (none: no items); not readable when it cannot be opened.
  ItemCounts Counts(int channel) const;

  // --- the channel list (reader/channel_listing.cc) ---

  // The channels as ListChannels gives them and the categories (outlines
  // at the top with a title and no feed address), from one reading.
  Result ListCatalog(std::vector<CatalogEntry>& channels, std::vector<std::u16string>& categories) const;
  // Whether there is a catalog file (a first start has none).
  bool HasCatalog() const;
  // Makes the data root and the channels' folder where they are missing.
  Result CreateFolders() const;
  // Saves an empty catalog when there is no catalog file.
  Result CreateCatalog();
  // The folder of the catalog and of the channels' files.
  std::string ChannelFolder() const;

 private:
  std::string root_;
};

}  // namespace wrenly::reader
