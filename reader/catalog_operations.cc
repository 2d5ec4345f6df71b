// The catalog's operations of ReaderData: each loads the catalog as it is on
// disk under the data root's lock, applies one change and saves at once.
#include <fstream>
#include <set>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/text.h"
#include "reader/catalog_file.h"
#include "reader/feed_address.h"
#include "reader/reader_data.h"
#include "reader/sync.h"
#include "reader/sync_state.h"
#include "store/channel_catalog.h"
#include "store/channel_files.h"
#include "store/data_root_lock.h"
#include "store/paths.h"

namespace wrenly::reader {
namespace {

Result NotFound(std::string message) { return Result::Refused(Refusal::kNotFound, std::move(message)); }

std::string Quoted(std::u16string_view text) { return "\"" + Utf16ToUtf8(text) + "\""; }

// Deletes the files of the channels, once the catalog no longer names them.
void DeleteFilesOf(const ReaderData& data, const std::vector<int>& channels) {
  for (const int channel : channels)
    if (channel > 0) DeleteChannelFiles(data.root() + "/ChannelData", channel);
}

}  // namespace

Result ReaderData::ListChannels(std::vector<CatalogEntry>& entries) const {
  const DataRootLock lock(root_, LockMode::kShared);
  ListedCatalog catalog;
  const Result loaded = LoadCatalog(*this, catalog);
  entries = std::move(catalog.entries);
  return loaded;
}

ValueResult<int> ReaderData::Subscribe(std::u16string_view category, std::u16string_view title,
                                       std::u16string_view url) {
  const DataRootLock lock(root_, LockMode::kExclusive);
  ListedCatalog catalog;
  if (Result loaded = LoadCatalog(*this, catalog); !loaded.done()) return {loaded};
  if (const CatalogEntry* existing = catalog.FindAddress(url))
    return {Result::Refused(Refusal::kDuplicateAddress, "the address " + Quoted(url) + " is already subscribed as " +
                                                            Quoted(existing->Get(u"text")))};
  const int number = catalog.AddChannel(category, title, url);
  if (number == 0)
    return {Result::Refused(Refusal::kExists, "Insert Channel failed. Please check whether the channel exists or not.")};
  return {Saved(catalog), number};
}

Result ReaderData::AddCategory(std::u16string_view name) {
  const DataRootLock lock(root_, LockMode::kExclusive);
  ListedCatalog catalog;
  if (Result loaded = LoadCatalog(*this, catalog); !loaded.done()) return loaded;
  if (catalog.HasCategory(name))
    return Result::Refused(Refusal::kExists, "the category " + Quoted(name) + " already exists");
  catalog.AddCategory(name);
  Result saved = Saved(catalog);
  if (saved.done() && SyncJournalActive(root_))
    return Result::Done("the server's API cannot make categories: this one stays on this device");
  return saved;
}

Result ReaderData::Rename(std::u16string_view oldText, std::u16string_view newText) {
  const DataRootLock lock(root_, LockMode::kExclusive);
  ListedCatalog catalog;
  if (Result loaded = LoadCatalog(*this, catalog); !loaded.done()) return loaded;
  // A category name means the category, even when a channel has the same title.
  const int found = catalog.HasCategory(oldText) ? catalog.RenameCategory(oldText, newText)
                                                 : catalog.RenameByText(oldText, newText);
  if (found == 0) return NotFound("no category or channel is named " + Quoted(oldText));
  return Saved(catalog);
}

Result ReaderData::RenameChannel(std::u16string_view url, std::u16string_view title) {
  const DataRootLock lock(root_, LockMode::kExclusive);
  ListedCatalog catalog;
  if (Result loaded = LoadCatalog(*this, catalog); !loaded.done()) return loaded;
  if (catalog.SetOutlineAttribute(url, "text", title) == 0) return NotFound("no channel has the address " + Quoted(url));
  return Saved(catalog);
}

Result ReaderData::Move(std::u16string_view url, std::u16string_view category) {
  const DataRootLock lock(root_, LockMode::kExclusive);
  ListedCatalog catalog;
  if (Result loaded = LoadCatalog(*this, catalog); !loaded.done()) return loaded;
  if (catalog.GetOutlineAttribute(url, "xmlUrl", nullptr) == 0)
    return NotFound("no channel has the address " + Quoted(url));
  if (!catalog.HasCategory(category)) return NotFound("there is no category " + Quoted(category));
  if (catalog.MoveToCategory(url, category) == 0)
    return Result::Refused(Refusal::kInvalid, "the channel cannot be moved into itself");
  return Saved(catalog);
}

Result ReaderData::Unsubscribe(std::u16string_view url) {
  const DataRootLock lock(root_, LockMode::kExclusive);
  ListedCatalog catalog;
  if (Result loaded = LoadCatalog(*this, catalog); !loaded.done()) return loaded;
  std::u16string number;
  if (catalog.GetOutlineAttribute(url, "uniqueID", &number) == 0 || catalog.DeleteByUrl(url) == 0)
    return NotFound("no channel has the address " + Quoted(url));
  Result saved = Saved(catalog);
  if (saved.done()) {
    // With a sync, the server drops the feed at the next sync.
    JournalUnsubscribe(root_, ParseDecimal(number));
    DeleteFilesOf(*this, {ParseDecimal(number)});
  }
  return saved;
}

Result ReaderData::DeleteCategory(std::u16string_view name) {
  const DataRootLock lock(root_, LockMode::kExclusive);
  ListedCatalog catalog;
  if (Result loaded = LoadCatalog(*this, catalog); !loaded.done()) return loaded;
  std::vector<int> channels;
  for (const CatalogEntry& entry : catalog.entries)
    if (entry.category == name && !entry.Get(u"xmlUrl").empty()) channels.push_back(entry.Number());
  if (catalog.DeleteCategory(name) == 0) return NotFound("there is no category " + Quoted(name));
  Result saved = Saved(catalog);
  if (saved.done()) {
    for (const int channel : channels) JournalUnsubscribe(root_, channel);
    DeleteFilesOf(*this, channels);
  }
  return saved;
}

ValueResult<ImportCounts> ReaderData::Import(const std::string& opmlPath) {
  std::string error;
  const auto read = ReadOpmlEntries(opmlPath, &error);
  if (!read) return {Result::Refused(Refusal::kFile, "cannot read " + opmlPath + ": " + error)};
  const DataRootLock lock(root_, LockMode::kExclusive);
  ListedCatalog catalog;
  if (Result loaded = LoadCatalog(*this, catalog); !loaded.done()) return {loaded};
  // Addresses already subscribed, or met before in the file, are left out.
  std::set<std::u16string> seen;
  for (const CatalogEntry& entry : catalog.entries)
    if (const std::u16string url = entry.Get(u"xmlUrl"); !url.empty()) seen.insert(ComparableFeedAddress(url));
  int duplicates = 0;
  const auto fresh = [&](const OpmlEntry& e) {
    if (e.url.empty() || seen.insert(ComparableFeedAddress(e.url)).second) return true;
    ++duplicates;
    return false;
  };
  std::vector<OpmlEntry> entries;
  for (const OpmlEntry& top : *read) {
    if (!fresh(top)) continue;
    OpmlEntry kept = top;
    kept.children.clear();
    for (const OpmlEntry& child : top.children)
      if (fresh(child)) kept.children.push_back(child);
    entries.push_back(std::move(kept));
  }
  ImportCounts counts = AddOpmlEntries(catalog, entries, kOthersCategory);
  counts.channelsRefused += duplicates;
  return {Saved(catalog), counts};
}

Result ReaderData::Export(const std::string& path) const {
  const std::string catalogPath = CatalogPath();
  const DataRootLock lock(root_, LockMode::kShared);
  if (!FileExists(catalogPath)) return NotFound("there is no catalog yet (" + catalogPath + ")");
  std::ifstream in(catalogPath, std::ios::binary);
  std::ostringstream content;
  std::string error = "cannot read " + catalogPath;
  if (!in || !(content << in.rdbuf()) || in.bad() || !WriteFileAtomically(path, content.str(), &error))
    return Result::Refused(Refusal::kFile, "cannot export to " + path + ": " + error);
  return Result::Done();
}

Result ReaderData::SetFullText(std::u16string_view url, FullTextMode mode) {
  const DataRootLock lock(root_, LockMode::kExclusive);
  ListedCatalog catalog;
  if (Result loaded = LoadCatalog(*this, catalog); !loaded.done()) return loaded;
  if (SetFullTextMode(catalog, url, mode) == 0) return NotFound("no channel has the address " + Quoted(url));
  return Saved(catalog);
}

Result ReaderData::StoreCounts(const std::map<std::u16string, ChannelCountValues>& countsByUrl) {
  if (countsByUrl.empty()) return Result::Done();
  const DataRootLock lock(root_, LockMode::kExclusive);
  ListedCatalog catalog;
  if (Result loaded = LoadCatalog(*this, catalog); !loaded.done()) return loaded;
  if (!StoreChannelCounts(catalog, countsByUrl))
    return Result::Refused(Refusal::kFile, "the channel counts could not be saved: " + catalog.LastError());
  return Result::Done();
}

}  // namespace wrenly::reader
