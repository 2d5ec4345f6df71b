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

#include "reader/reading.h"
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

// One channel for SubscribeAll.
struct NewChannel {
  std::u16string category;  // empty: at the top
  std::u16string title;
  // Empty: an outline without an address, the way the wizard makes a
  // category (nothing when the title is there already).
  std::u16string url;
  // The extraction script to store as the channel's template copy.
  std::optional<std::u16string> script;
};

// What SubscribeAll did with one NewChannel.
struct Subscription {
  Result result;
  int number = 0;  // the new channel's number; 0 for an outline without address or when refused
  // kDuplicateAddress: the title of the channel that has the address.
  std::u16string holder;
};

// A channel of a template file, with the script that extracts its articles'
// full texts (empty when the file gives none after it).
struct TemplateChannel {
  std::u16string title, url, script;
};

// The channels of one template file; a file whose root names no group puts
// its channels at the top.
struct TemplateGroup {
  std::optional<std::u16string> name;
  std::vector<TemplateChannel> channels;
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

  // --- the wizard and the channel properties (reader/new_channels.cc,
  // reader/channel_sources.cc) ---

  // True once the catalog file exists.
  bool HasCatalog() const;
  // Adds the channels in order, in one change of the catalog, and stores
  // each one's extraction script as its template copy ("Ch%03d.tpl", UTF-8
  // with a byte-order mark) once the catalog is saved. Each channel is
  // refused alone (an address already subscribed or met earlier in the list,
  // a title already in its category); an unreadable catalog refuses them all
  // and nothing is changed.
  ValueResult<std::vector<Subscription>> SubscribeAll(const std::vector<NewChannel>& channels);
  // The channel's full-text choice; refused when no channel has the address.
  ValueResult<FullTextMode> FullText(std::u16string_view url) const;
  // The description page built from the channel's last downloaded feed
  // (its HTML as the feed gives it); empty when there is none.
  std::u16string ChannelDescriptionHtml(int channel) const;
  // The sample channel list to offer: the data root's copy (downloaded) when
  // there is one, else the program folder's.
  std::string SampleChannelsPath() const;
  // The outlines of an OPML file such as the sample list; nothing when it
  // cannot be read.
  static std::optional<std::vector<OpmlEntry>> ReadOpml(const std::string& path);
  // The template files ("*.xml") of the folders, a file name found in more
  // than one read from the first; by default the data root's "Templates"
  // (downloaded), then the program folder's. Files that cannot be read are
  // left out.
  std::vector<TemplateGroup> ListTemplates(std::vector<std::string> folders = {}) const;

  // --- reading: the headline list and the article (reader/reading_operations.cc) ---
  // Each refuses a catalog that cannot be read (kUnreadableCatalog) and a
  // channel it does not name (kNotFound), and then changes nothing.

  // The channel's items for its list and its logo. A channel without an
  // item file has no items; one that cannot be opened is refused (kFile).
  ValueResult<ChannelItems> ReadChannel(int channel) const;
  // Opens an item: marks it read, keeping its full-text bit (the error record
  // stays as it is), and gives its body with the stored files of its
  // pictures. Refused when the link names no item. The catalog's counts are
  // left to StoreItemCounts: its save waits for the disk, too long for every
  // step from article to article.
  ValueResult<StoredArticle> OpenArticle(int channel, std::u16string_view link);
  // A full-text job for the item finished: when the URL index names a full
  // text for its link, the item turns unread, keeping its full-text bit, so
  // the person sees there is more to read. Refused when the link names no
  // item. The counts are left to StoreItemCounts, as for OpenArticle.
  ValueResult<FullTextState> FullTextFinished(int channel, std::u16string_view link);
  // Stores the channel's counts, read from its item file as it is now, in
  // the catalog (read-modify-write). Refused (kFile) when the item file
  // cannot be read or the catalog not saved.
  Result StoreItemCounts(int channel);

  // --- the channel list (reader/channel_listing.cc) ---

  // The channels as ListChannels gives them and the categories (outlines
  // at the top with a title and no feed address), from one reading.
  Result ListCatalog(std::vector<CatalogEntry>& channels, std::vector<std::u16string>& categories) const;
  // Makes the data root and the channels' folder where they are missing.
  Result CreateFolders() const;
  // Saves an empty catalog when there is no catalog file (HasCatalog).
  Result CreateCatalog();
  // The folder of the catalog and of the channels' files.
  std::string ChannelFolder() const;

 private:
  std::string root_;
};

}  // namespace wrenly::reader
