// Reading an OPML file chosen for import (the wizard's OPML chooser and
// wrenly-cli import) and adding its entries to the catalog. Folders are kept:
// an outline without a feed address is a category, whatever its type, and
// channels in deeper folders join their top-level folder, since the catalog
// has one level. Top-level channels go into "Others". Not synchronized.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/channel_catalog.h"

namespace wrenly {

struct OpmlEntry {
  std::u16string text;  // "text", or "title" when there is no text
  std::u16string url;   // empty for a category
  std::u16string fullText;  // the "fulltext" choice, as the file holds it
  std::vector<OpmlEntry> children;
};

// Loads an OPML file and returns its two-level tree: top-level outlines in
// order, each with every feed outline below it at any depth (folders without
// feeds below the top level are dropped). An entry's text is "text", else
// "title", else its address. Nothing when the file cannot be read or has no
// body, with error saying why.
std::optional<std::vector<OpmlEntry>> ReadOpmlEntries(const std::string& path, std::string* error);

struct ImportCounts {
  int channelsAdded = 0;
  int channelsRefused = 0;
  int categoriesAdded = 0;
};
// Adds every entry; others is the category for top-level channels. A
// channel's full-text choice comes along when the file names a known one.
// The catalog is saved once, at the end (its LastSaveOk says how that went).
ImportCounts AddOpmlEntries(CChannelCatalog& catalog, const std::vector<OpmlEntry>& entries,
                            std::u16string_view others);

}  // namespace wrenly
