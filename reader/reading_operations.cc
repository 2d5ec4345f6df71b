// The reading operations of ReaderData, for the headline list and the
// article view: each holds the data root's lock for itself alone (shared to
// read, exclusive to change) and first finds the channel in the catalog as
// it is on disk.
#include <map>
#include <utility>

#include "platform/text.h"
#include "platform/text_file.h"
#include "reader/catalog_file.h"
#include "reader/reader_data.h"
#include "reader/sync_state.h"
#include "store/channel_files.h"
#include "store/channel_store.h"
#include "store/data_root_lock.h"
#include "store/paths.h"

namespace wrenly::reader {
namespace {

// Loads the catalog and finds the channel in it; the entry is the catalog's.
ValueResult<const CatalogEntry*> FindChannel(const ReaderData& data, ListedCatalog& catalog, int channel) {
  if (Result loaded = LoadCatalog(data, catalog); !loaded.done()) return {loaded};
  const CatalogEntry* entry = catalog.FindNumber(channel);
  if (entry == nullptr)
    return {Result::Refused(Refusal::kNotFound, "there is no channel " + std::to_string(channel) +
                                                    " in the catalog " + data.CatalogPath())};
  return {Result::Done(), entry};
}

Result NoItem(int channel, std::u16string_view link) {
  return Result::Refused(Refusal::kNotFound,
                         "channel " + std::to_string(channel) + " has no item " + Utf16ToUtf8(link));
}

// Where the URL index puts an address's stored files: its stamp and sequence.
struct IndexEntry {
  uint32_t stamp = 0;
  uint32_t sequence = 0;
};

// The URL index of the item file by address (the first live record of each).
std::map<std::u16string, IndexEntry> ReadUrlIndex(const std::string& itemFile) {
  std::map<std::u16string, IndexEntry> index;
  RecordReader reader(UrlIndexPathFor(itemFile));
  for (ItemRecord record; reader.Next(record, RecordReader::kLink);)
    if (IsLive(record)) index.emplace(std::move(record.link), IndexEntry{record.flag, record.type});
  return index;
}

// Sets or clears the read bit of one item, whichever of its two flag values
// it has: UpdateField moves 0<->2 and 1<->3 only.
void SetReadBit(CChannelStore& items, std::u16string_view link, bool read) {
  if (!items.UpdateField(link, ItemField::kReadFlag, read ? kFlagRead : kFlagUnread))
    items.UpdateField(link, ItemField::kReadFlag, read ? kFlagReadFullText : kFlagUnreadFullText);
}

}  // namespace

ValueResult<ChannelItems> ReaderData::ReadChannel(int channel) const {
  const DataRootLock lock(root_, LockMode::kShared);
  ListedCatalog catalog;
  if (auto found = FindChannel(*this, catalog, channel); !found.done()) return {found.result};
  ChannelItems read;
  const std::string itemFile = ChannelPath(channel, ".bin");
  RecordReader reader(itemFile);
  if (!reader.is_open() && FileExists(itemFile)) return {Result::Refused(Refusal::kFile, "cannot read " + itemFile)};
  for (ItemRecord record; reader.Next(record, RecordReader::kAllTexts);)
    if (IsLive(record)) read.items.push_back(std::move(record));
  if (std::string logo = ChannelPath(channel, "-Logo.img"); FileExists(logo)) read.logoFile = std::move(logo);
  return {Result::Done(), std::move(read)};
}

ValueResult<StoredArticle> ReaderData::OpenArticle(int channel, std::u16string_view link) {
  const DataRootLock lock(root_, LockMode::kExclusive);
  ListedCatalog catalog;
  if (auto found = FindChannel(*this, catalog, channel); !found.done()) return {found.result};
  const std::string itemFile = ChannelPath(channel, ".bin");
  CChannelStore items(itemFile, false);
  if (!items.FindRecord(link, u"")) return {NoItem(channel, link)};
  StoredArticle article;
  article.body = items.current().description;
  if (items.current().type != kItemTypeError && (items.current().flag & kFlagRead) == 0) {
    SetReadBit(items, link, true);
    // The server learns it at the next sync; a journal that cannot be
    // written leaves the article read here only.
    JournalMark(root_, channel, true, link);
  }

  const std::map<std::u16string, IndexEntry> index = ReadUrlIndex(itemFile);
  const auto stored = [&](const std::u16string& address, std::string_view extension) {
    const auto it = index.find(address);
    if (it == index.end()) return std::string();
    return StampedFilePath(itemFile, it->second.stamp, it->second.sequence, extension);
  };
  std::u16string fullText;
  if (const std::string file = stored(std::u16string(link), ".htm");
      !file.empty() && ReadTextFile(file, fullText, 0) && !fullText.empty()) {
    article.body = std::move(fullText);
    article.hasFullText = true;
  }
  for (const std::u16string& address : PictureAddresses(article.body)) {
    if (article.pictures.count(address) != 0) continue;
    if (std::string file = stored(address, ".img"); !file.empty() && FileExists(file))
      article.pictures.emplace(address, std::move(file));
  }
  return {Result::Done(), std::move(article)};
}

ValueResult<FullTextState> ReaderData::FullTextFinished(int channel, std::u16string_view link) {
  const DataRootLock lock(root_, LockMode::kExclusive);
  ListedCatalog catalog;
  if (auto found = FindChannel(*this, catalog, channel); !found.done()) return {found.result};
  const std::string itemFile = ChannelPath(channel, ".bin");
  CChannelStore items(itemFile, false);
  if (!items.ContainsLink(link)) return {NoItem(channel, link)};
  CChannelStore index(UrlIndexPathFor(itemFile), false);
  if (!index.FindRecord(link, u"")) return {Result::Done(), FullTextState::kNone};
  const std::string text = StampedFilePath(itemFile, index.current().flag, index.current().type, ".htm");
  SetReadBit(items, link, false);
  return {Result::Done(), FileExists(text) ? FullTextState::kStored : FullTextState::kMissing};
}

Result ReaderData::StoreItemCounts(int channel) {
  const DataRootLock lock(root_, LockMode::kExclusive);
  ListedCatalog catalog;
  const auto found = FindChannel(*this, catalog, channel);
  if (!found.done()) return found.result;
  const std::string itemFile = ChannelPath(channel, ".bin");
  // No item file (after Delete All, say) holds no items.
  const ItemCounts counts = FileExists(itemFile) ? CountItems(itemFile) : ItemCounts{0, 0, true};
  if (!counts.readable) return Result::Refused(Refusal::kFile, "cannot read " + itemFile);
  if (!StoreChannelCounts(catalog, {{found.value->Get(u"xmlUrl"), {counts.total, counts.total - counts.read}}}))
    return Result::Refused(Refusal::kFile, "the counts of channel " + std::to_string(channel) +
                                               " could not be saved: " + catalog.LastError());
  return Result::Done();
}

}  // namespace wrenly::reader
