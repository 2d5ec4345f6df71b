// What the reading screens get from ReaderData: a channel's items for its
// headline list, one opened article with its stored files, and the state a
// finished full-text job left. Plain values; the screens keep no path or file
// of their own beyond the ones named here.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "store/item_record.h"
#include "store/picture_addresses.h"

namespace wrenly::reader {

// The store's names a screen needs to show items: the record, its read
// flags and the error entry's link (store/item_record.h), and the rule that
// finds picture addresses in HTML (store/picture_addresses.h).
using wrenly::ItemRecord;
using wrenly::kErrorMarkerLink;
using wrenly::kFlagRead;
using wrenly::kFlagReadFullText;
using wrenly::kFlagUnread;
using wrenly::kFlagUnreadFullText;
using wrenly::kItemTypeError;
using wrenly::NextPictureAddress;
using wrenly::PictureAddress;

// A channel's items as its list shows them.
struct ChannelItems {
  // Every live record of the item file in file order, with all its texts
  // (the error record of the last update too).
  std::vector<ItemRecord> items;
  // The channel's stored logo; empty when it has none.
  std::string logoFile;
};

// One article as it was opened.
struct StoredArticle {
  // The stored full text when there is one and it is not empty, else the
  // item's description.
  std::u16string body;
  bool hasFullText = false;
  // The stored picture file of each picture address of the body that has
  // one, by address.
  std::map<std::u16string, std::string> pictures;
};

// What a finished full-text job left for an item.
enum class FullTextState {
  kNone,     // the URL index names no full text for the link
  kMissing,  // it names one, but the file is not there
  kStored,   // the file is there
};

}  // namespace wrenly::reader
