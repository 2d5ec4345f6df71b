// Search over the stored headlines: those whose title, description or
// stored full text holds every word of a query (case and accents ignored,
// Chinese found by substring), newest first. Each channel's search index
// (reader/search_index.h) is brought up to its item file first, so deleted or
// trimmed items never show and a refresh's new ones show once it merged them.
// Safe for concurrent use.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "reader/reader_data.h"

namespace wrenly::reader {

struct SearchHit {
  int channel = 0;
  std::u16string channelTitle;
  std::u16string title, link, date;  // the date as stored
  uint32_t flag = 0;                  // the read flag
};

// Every channel, or only `channel`. Refused for an unreadable catalog and
// for a channel the catalog does not name; a query without words finds nothing.
ValueResult<std::vector<SearchHit>> Search(const ReaderData& data, std::u16string_view query,
                                           std::optional<int> channel = {});

}  // namespace wrenly::reader
