// The item operations of ReaderData: each holds the data root's lock for
// the whole change, checks first that the catalog can be read (its counts
// follow every change), and then stores the channel's new counts in it.
#include <cstdio>
#include <filesystem>

#include "platform/text.h"
#include "reader/catalog_file.h"
#include "reader/reader_data.h"
#include "reader/sync_state.h"
#include "store/channel_files.h"
#include "store/data_root_lock.h"
#include "store/feed_parser.h"
#include "store/paths.h"

namespace wrenly::reader {
namespace {

std::string NoItem(int channel, std::u16string_view link) {
  return "channel " + std::to_string(channel) + " has no item " + Utf16ToUtf8(link);
}

// Stores the channel's counts, read from its item file, in the catalog
// loaded at the start of the operation (the lock has been held since, so
// it is the file on disk). A catalog that does not name the channel, or an
// item file that cannot be read, leaves the stored counts as they are.
// The result's note says when the catalog could not be saved.
Result StoreChannelCountsOf(const ReaderData& data, ListedCatalog& catalog, int channel) {
  const CatalogEntry* entry = catalog.FindNumber(channel);
  if (entry == nullptr) return Result::Done();
  const std::string itemFile = data.ChannelPath(channel, ".bin");
  ItemCounts counts = CountItems(itemFile);
  if (!counts.readable && FileExists(itemFile)) return Result::Done();
  const std::u16string url = entry->Get(u"xmlUrl");
  if (!StoreChannelCounts(catalog, {{url, {counts.total, counts.total - counts.read}}}))
    return Result::Done(catalog.LastError());
  return Result::Done();
}

}  // namespace

ValueResult<int> ReaderData::Merge(int channel, const std::string& feedPath) {
  if (!FileExists(feedPath)) return {Result::Refused(Refusal::kFile, "cannot read " + feedPath)};
  const DataRootLock lock(root_, LockMode::kExclusive);
  ListedCatalog catalog;
  if (Result loaded = LoadCatalog(*this, catalog); !loaded.done()) return {loaded};
  const std::string fresh = ChannelPath(channel, "~.xml");
  std::error_code ec;
  std::filesystem::copy_file(feedPath, fresh, std::filesystem::copy_options::overwrite_existing, ec);
  if (ec) return {Result::Refused(Refusal::kFile, "cannot write " + fresh)};
  CFeedParser feed;
  const bool loaded = feed.Load(fresh) == 1;
  if (!loaded || feed.MergeItems() == 0) {
    std::remove(fresh.c_str());
    if (!feed.merged().written)
      return {Result::Refused(Refusal::kFile,
                              "the items of channel " + std::to_string(channel) + " could not be written")};
    return {Result::Refused(Refusal::kInvalid, feedPath + " is not a feed" + (loaded ? "" : ": " + feed.LastError()) +
                                                   "; nothing was changed")};
  }
  DeleteErrorRecord(ChannelPath(channel, ".bin"));
  if (std::rename(fresh.c_str(), ChannelPath(channel, ".xml").c_str()) != 0)
    return {Result::Refused(Refusal::kFile, "cannot rename " + fresh)};
  return {StoreChannelCountsOf(*this, catalog, channel), feed.newItemCount()};
}

Result ReaderData::ForEachItem(int channel, const std::function<void(const ItemRecord&)>& visit) const {
  const DataRootLock lock(root_, LockMode::kShared);
  CChannelStore store(ChannelPath(channel, ".bin"), false);
  while (store.ReadNext()) visit(store.current());
  return Result::Done();
}

Result ReaderData::Mark(int channel, bool read, std::u16string_view link) {
  const DataRootLock lock(root_, LockMode::kExclusive);
  ListedCatalog catalog;
  if (Result loaded = LoadCatalog(*this, catalog); !loaded.done()) return loaded;
  CChannelStore store(ChannelPath(channel, ".bin"), false);
  if (!link.empty() && !store.ContainsLink(link)) return Result::Refused(Refusal::kNotFound, NoItem(channel, link));
  // Two passes set or clear the read bit and keep the full-text bit:
  // 2 then 3 turn 0 into 2 and 1 into 3; 0 then 1 undo that.
  store.UpdateField(link, ItemField::kReadFlag, read ? kFlagRead : kFlagUnread);
  store.UpdateField(link, ItemField::kReadFlag, read ? kFlagReadFullText : kFlagUnreadFullText);
  Result stored = StoreChannelCountsOf(*this, catalog, channel);
  if (!JournalMark(root_, channel, read, link))
    return Result::Done("the change could not be noted for the next sync with the server");
  return stored;
}

Result ReaderData::DeleteItem(int channel, std::u16string_view link) {
  const DataRootLock lock(root_, LockMode::kExclusive);
  ListedCatalog catalog;
  if (Result loaded = LoadCatalog(*this, catalog); !loaded.done()) return loaded;
  CChannelStore store(ChannelPath(channel, ".bin"), false);
  if (!store.DeleteItem(link)) return Result::Refused(Refusal::kNotFound, NoItem(channel, link));
  return StoreChannelCountsOf(*this, catalog, channel);
}

Result ReaderData::DeleteAllItems(int channel) {
  const DataRootLock lock(root_, LockMode::kExclusive);
  ListedCatalog catalog;
  if (Result loaded = LoadCatalog(*this, catalog); !loaded.done()) return loaded;
  DeleteChannelItems(root_ + "/ChannelData", channel);
  return StoreChannelCountsOf(*this, catalog, channel);
}

ItemCounts ReaderData::Counts(int channel) const {
  const DataRootLock lock(root_, LockMode::kShared);
  const std::string file = ChannelPath(channel, ".bin");
  // No item file (after Delete All, say) holds no items.
  if (!FileExists(file)) return ItemCounts{0, 0, true};
  return CountItems(file);
}

}  // namespace wrenly::reader
