// One merge of a feed's items into a channel's item file (Ch%03d.bin) and
// URL index (Ch%03d.iid): new links and picture addresses into the index,
// new items into the item file, then the trim to the article limit and, when
// dead records have taken over a file, its compaction. Each file is opened
// once and walked once; the appends of each go out in one write. Both paths
// stay locked (file_lock.h) for the whole merge; between processes the
// caller holds the data root's lock (data_root_lock.h), so the sequence
// numbers of new URL-index records, taken from the index file itself
// (index_sequence.h), never repeat. Safe on any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "store/feed_items.h"

namespace wrenly {

// A picture address the merge added to the URL index, with the link of the
// item whose description names it (for resolving a relative address) and
// the stamp and sequence that name its file.
struct MergedPicture {
  std::u16string address;
  std::u16string itemLink;
  uint32_t stamp = 0;
  uint32_t sequence = 0;
};

struct MergeResult {
  bool written = true;  // false when a file could not be opened or written
  std::vector<MergedPicture> pictures;  // new in the URL index, in order
  std::vector<std::u16string> links;    // new article links in the URL index
  int newItems = 0;                     // item records added
  bool errorRecordLive = false;         // a live error record is in the item file
  bool compactionFailed = false;        // a due compaction left a file as it was
};

// A file is rewritten with only its live records when dead ones take more
// than half of it and more than this many bytes.
constexpr uint64_t kCompactionFloor = 64 * 1024;

// Merges `items` (in feed order) as a refresh does: an item whose link is
// already live is not added again; an item without a date gets the time
// now. Then deletes the oldest items beyond `articleLimit` with their
// full-text and picture files, and compacts the files when due. Every live
// item but the error record counts toward the limit; they are ordered by
// their stored date as text (canonical dates by time), equal dates in file
// order. The abort
// callback is asked before each item; the items taken so far are merged.
MergeResult MergeChannelItems(const std::string& itemFile, const std::vector<FeedItem>& items, int articleLimit,
                              const AbortCallback& abort = {});

// Takes one item of a feed; false means: give no more.
using FeedItemSink = std::function<bool(const FeedItem&)>;
// Hands its items, in feed order, to the sink until the sink says no more.
using FeedItemSource = std::function<void(const FeedItemSink&)>;

// The same with the items produced one at a time, so a feed's items are
// never all in memory; the new records go out in pieces of at most
// kMergeAppendBytes when they are many or large.
MergeResult MergeChannelItemsFrom(const std::string& itemFile, const FeedItemSource& source, int articleLimit,
                                  const AbortCallback& abort = {});
constexpr size_t kMergeAppendBytes = 4 * 1024 * 1024;
// The new picture addresses of one merge, with their items' links, take at
// most this many UTF-16 units; a feed that names more has the rest recorded
// by the merges that follow.
constexpr size_t kMaxMergedPictureUnits = 1024 * 1024;

}  // namespace wrenly
