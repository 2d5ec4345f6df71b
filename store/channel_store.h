// CChannelStore: reads and changes one record file of a channel, the item
// file (Ch%03d.bin) or the URL index (Ch%03d.iid). Every operation opens and
// closes the file around one read walk, one append or in-place word writes;
// appends and updates of one path are serialised within the process.
// An object is used by one thread at a time; objects are cheap and made per
// operation.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

#include "store/date_index.h"
#include "store/item_record.h"

namespace wrenly {

// The word UpdateField rewrites: "ReadFlag" or "Type".
enum class ItemField { kReadFlag, kType };

// UpdateField's "ReadFlag" value meaning "the full text is now present".
constexpr uint32_t kReadFlagFullTextArrived = 9999;

class CChannelStore {
 public:
  // Reads the article limit ("ArticlesNumber", at most 100).
  CChannelStore();
  CChannelStore(const std::string& path, bool buildDateIndex);

  // Remembers the path; with the flag, builds the date index from the live
  // records (the error record left out).
  void OpenStore(const std::string& path, bool buildDateIndex);
  const std::string& path() const { return path_; }

  // No current record; record number -1.
  void ResetCursor();
  // Makes live record i (counting live records from 0 in file order)
  // current. False when there is none, with the current record cleared.
  bool ReadRecord(int i);
  // The live record after the current one; at the end false, and the
  // current record stays as it was.
  bool ReadNext();
  // Whether a live record has this link (from a set built on first use).
  bool ContainsLink(std::u16string_view link);
  // Makes current the first live record whose link equals `link` or, when
  // `title` is not empty, whose title equals `title`. False when none does;
  // the current record then stays as it was.
  bool FindRecord(std::u16string_view link, std::u16string_view title);

  // Appends one record, creating the file when missing. The date is written
  // in canonical form when it can be read, otherwise as given, cut to 127
  // characters. A torn record at the end of the file (from a crash or a full
  // disk during an earlier append) is cut off first. False when the file
  // cannot be opened or written; the file is then as it was.
  bool AppendRecord(std::u16string_view title, std::u16string_view link,
                    std::u16string_view date, uint32_t flag, uint32_t type,
                    std::u16string_view description);

  // Appends a URL-index record for the address, stamped now, with the next
  // sequence of that stamp the file leaves free (index_sequence.h). False
  // when the file cannot be opened or written.
  bool AppendIndexAddress(std::u16string_view address);

  // Rewrites the flag or type word of the live records with this link (every
  // live record when the link is empty). "ReadFlag" moves only 0<->2 and
  // 1<->3, and 9999 turns 0 into 1; "Type" writes when the type differs. A
  // non-empty link stops at the first write. True when a record changed;
  // false also when the file could not be written.
  bool UpdateField(std::u16string_view link, ItemField field, uint32_t value);

  // Deletes the item's full-text file and the picture files named in its
  // full text and description, then marks the record deleted (UpdateField's
  // result). URL-index records stay.
  bool DeleteItem(std::u16string_view link);

  // Deletes the oldest items beyond the article limit by the date index.
  // True when there were more than the limit.
  bool TrimItems();

  const ItemRecord& current() const { return current_; }
  int recordNumber() const { return recordNumber_; }
  int articleLimit() const { return articleLimit_; }
  const DateIndex& dateIndex() const { return dateIndex_; }

 private:
  // AppendRecord with the path's lock held.
  bool AppendLocked(const ItemRecord& record);
  void BuildDateIndex();
  void RestoreCurrent(int recordNumber);
  // The live number of the first record matching; -1 when none.
  int FindLiveNumber(std::u16string_view link, std::u16string_view title) const;

  std::string path_;
  ItemRecord current_;
  int recordNumber_ = -1;
  int articleLimit_;
  std::unordered_set<std::u16string> links_;
  bool linksBuilt_ = false;
  DateIndex dateIndex_;
};

struct ItemCounts {
  int total = 0;  // live ordinary items
  int read = 0;   // among them, flag 2 or 3
  bool readable = false;  // the item file could be opened; else no counts are known
};
ItemCounts CountItems(const std::string& itemFilePath);

// Replaces the error record with a new one for this error text, dated now.
// The stored description is a fixed lead-in and the text with blanks
// trimmed, both in the current language, ending with a full stop (added
// when the text has none).
bool WriteErrorRecord(const std::string& itemFilePath, std::u16string_view errorText);
// Marks the error record deleted. Always true.
bool DeleteErrorRecord(const std::string& itemFilePath);

}  // namespace wrenly
