// The catalog file as ReaderData's operations use it: loaded from disk for
// one operation while the caller holds the data root's lock, with the
// outlines the channel list shows collected on the way. Internal to reader/.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "reader/reader_data.h"
#include "store/channel_catalog.h"

namespace wrenly::reader {

class ListedCatalog : public CChannelCatalog {
 public:
  ListedCatalog();
  void Visit(const tinyxml2::XMLElement* parent, const tinyxml2::XMLElement* element) override;

  // The channel subscribed to this feed (reader/feed_address.h), if any.
  const CatalogEntry* FindAddress(std::u16string_view url) const;
  // The first channel with this number, if any.
  const CatalogEntry* FindNumber(int channel) const;

  // Outlines in a category, and outlines with an address at the top.
  std::vector<CatalogEntry> entries;
  // The titles of the outlines at the top without an address.
  std::vector<std::u16string> categories;

 private:
  CatalogEntry current_;
};

// Loads the catalog; a missing file is an empty catalog (saved by the first
// change). Refused, with the path and the problem, when it cannot be read.
Result LoadCatalog(const ReaderData& data, ListedCatalog& catalog);

// Done when the catalog's last change reached the disk.
Result Saved(const CChannelCatalog& catalog);

}  // namespace wrenly::reader
