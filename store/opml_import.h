// Reading an OPML file for import and adding its entries to the catalog, the
// way the new-channel wizard's OPML chooser does with every entry checked:
// top-level outlines with a feed address go into "Others", top-level
// outlines without one become categories, children go into their parent's
// category. Not synchronized.
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

// Builds the chooser's two-level tree from a catalog's reports. An outline
// enters the tree with its closing report: without a category as a top-level
// entry, with one as a child of the top-level entry of that text (compared
// ignoring ASCII case); one whose category matches no entry is dropped.
class OpmlTreeBuilder {
 public:
  // Called before the reports of each element, so that the attributes of an
  // outline that gets no closing report never mix into the next one.
  void BeginOutline();
  void Report(const std::u16string& category, const std::u16string& name,
              const std::u16string& value);
  const std::vector<OpmlEntry>& entries() const { return entries_; }

 private:
  struct Pending {
    std::u16string text, title, url, fullText;
  };
  Pending pending_;
  std::vector<OpmlEntry> entries_;
};

// Loads an OPML file with a catalog object of its own and returns its tree;
// nothing when it cannot be read or has no body, with error saying why.
std::optional<std::vector<OpmlEntry>> ReadOpmlEntries(const std::string& path, std::string* error);

struct ImportCounts {
  int channelsAdded = 0;
  int channelsRefused = 0;
  int categoriesAdded = 0;
};
// Adds every entry; others is the category for top-level channels. A
// channel's full-text choice comes along when the file names a known one.
ImportCounts AddOpmlEntries(CChannelCatalog& catalog, const std::vector<OpmlEntry>& entries,
                            std::u16string_view others);

}  // namespace wrenly
