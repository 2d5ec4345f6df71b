// What the channel list reads of the catalog, and the empty catalog of a
// first start.
#include "reader/catalog_file.h"
#include "reader/reader_data.h"
#include "store/channel_catalog.h"
#include "store/channel_files.h"
#include "store/data_root_lock.h"
#include "store/paths.h"

namespace wrenly::reader {

Result ReaderData::ListCatalog(std::vector<CatalogEntry>& channels, std::vector<std::u16string>& categories) const {
  const DataRootLock lock(root_, LockMode::kShared);
  ListedCatalog catalog;
  const Result loaded = LoadCatalog(*this, catalog);
  channels = std::move(catalog.entries);
  categories = std::move(catalog.categories);
  return loaded;
}

Result ReaderData::CreateFolders() const {
  if (CreateFolder(root_) && CreateFolder(ChannelFolder())) return Result::Done();
  return Result::Refused(Refusal::kFile, "cannot make the folder " + ChannelFolder());
}

Result ReaderData::CreateCatalog() {
  const DataRootLock lock(root_, LockMode::kExclusive);
  if (HasCatalog()) return Result::Done();
  if (Result made = CreateFolders(); !made.done()) return made;
  CChannelCatalog catalog;
  catalog.CreateEmpty();
  catalog.SetPath(CatalogPath());
  catalog.SaveFile();
  return Saved(catalog);
}

std::string ReaderData::ChannelFolder() const { return root_ + "/ChannelData"; }

}  // namespace wrenly::reader
