// The per-channel counts kept in the catalog ("itemCount" and "newItemCount"
// of a channel's outline), written for many channels in one save.
// Not synchronized: the catalog's owner calls it.
#pragma once

#include <map>
#include <string>

#include "store/channel_catalog.h"

namespace wrenly {

struct ChannelCountValues {
  int total = 0;
  int unread = 0;
};

// Sets the counts of every channel named by feed address (the first outline
// of an address, in the catalog's search order) and saves once when anything
// changed. False when the catalog has no body or could not be saved.
bool StoreChannelCounts(CChannelCatalog& catalog,
                        const std::map<std::u16string, ChannelCountValues>& countsByUrl);

}  // namespace wrenly
