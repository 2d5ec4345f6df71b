#include "store/channel_merge.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>

#include "platform/file_ops.h"
#include "platform/text_file.h"
#include "platform/trace.h"
#include "store/channel_files.h"
#include "store/dates.h"
#include "store/file_lock.h"
#include "store/index_sequence.h"
#include "store/item_record.h"
#include "store/paths.h"
#include "store/picture_addresses.h"
#include "store/positioned_io.h"

namespace wrenly {
namespace {

constexpr size_t kMaxDateLength = 127;

bool Aborted(const AbortCallback& abort) { return abort && abort(); }

// A live record of the item file, where it lies and what decides its fate.
struct ItemEntry {
  uint64_t start = 0;
  uint64_t end = 0;
  uint64_t typeOffset = 0;
  std::u16string link;
  std::u16string date;
  bool deleted = false;  // marked by this merge's trim
};

// A live record of the URL index.
struct IndexEntry {
  uint64_t start = 0;
  uint64_t end = 0;
  std::u16string key;
  uint32_t stamp = 0;
  uint32_t sequence = 0;
};

// A record file held open for one merge.
class MergeFile {
 public:
  explicit MergeFile(std::string path)
      : path_(std::move(path)), fd_(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {}
  ~MergeFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  MergeFile(const MergeFile&) = delete;
  MergeFile& operator=(const MergeFile&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }

  // Cuts a torn record off the end (the remains of a crash or a full disk),
  // then writes `bytes` there in one call. A failed write is cut off again,
  // so the file is as it was. `whole` is the end of the last whole record.
  bool Append(uint64_t whole, uint64_t size, const std::string& bytes) {
    if (bytes.empty()) return true;
    if (size > whole && ::ftruncate(fd_, static_cast<off_t>(whole)) != 0) return false;
    if (WriteAll(fd_, bytes.data(), bytes.size(), whole)) return true;
    if (::ftruncate(fd_, static_cast<off_t>(whole)) != 0)
      TraceF("MergeChannelItems: cannot cut a failed append off %s\n", path_.c_str());
    return false;
  }

  // Replaces the file with the given byte ranges of itself, in order: a new
  // file beside it ("<path>.new"), flushed to disk and renamed over it, and
  // then the folder flushed, so a crash or a power cut at any moment leaves
  // the old file or the new one. False when the old file stays (or, if only
  // the folder's flush failed, the new one may not last a power cut).
  bool Rewrite(const std::vector<std::pair<uint64_t, uint64_t>>& ranges) {
    std::string bytes;
    for (const auto& [start, end] : ranges) {
      const size_t at = bytes.size();
      bytes.resize(at + static_cast<size_t>(end - start));
      if (!ReadAll(fd_, bytes.data() + at, static_cast<size_t>(end - start), start)) return false;
    }
    const std::string temp = path_ + ".new";
    const int out = file_ops::Open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool done = out >= 0 && WriteAll(out, bytes.data(), bytes.size(), 0) && file_ops::Fsync(out) == 0;
    if (out >= 0 && ::close(out) != 0) done = false;
    if (!done || file_ops::Rename(temp.c_str(), path_.c_str()) != 0) {
      std::remove(temp.c_str());
      TraceF("MergeChannelItems: cannot compact %s\n", path_.c_str());
      return false;
    }
    if (SyncFolder(FolderOf(path_))) return true;
    TraceF("MergeChannelItems: cannot flush the folder of %s\n", path_.c_str());
    return false;
  }

 private:
  std::string path_;
  int fd_;
};

class Merge {
 public:
  Merge(const std::string& itemFile, int articleLimit)
      : itemLock_(LockFilePath(itemFile)),
        indexLock_(LockFilePath(UrlIndexPathFor(itemFile))),
        items_(itemFile),
        index_(UrlIndexPathFor(itemFile)),
        articleLimit_(articleLimit > 0 ? static_cast<size_t>(articleLimit) : 0) {}

  MergeResult Run(const FeedItemSource& source, const AbortCallback& abort);

 private:
  void ReadItemFile();
  void ReadUrlIndex();
  void AddToIndex(const std::u16string& key);
  void Take(const FeedItem& item);
  bool WriteAppends();
  void Trim();
  void DeleteItem(ItemEntry& item);
  std::u16string Description(const ItemEntry& entry);
  void CompactItemFile();
  void CompactUrlIndex();

  std::unique_lock<std::mutex> itemLock_, indexLock_;
  MergeFile items_, index_;
  size_t articleLimit_;
  size_t pictureBudget_ = kMaxMergedPictureUnits;
  MergeResult result_;

  std::vector<ItemEntry> itemEntries_;
  std::unordered_set<std::u16string> liveLinks_;
  uint64_t itemsWhole_ = 0, itemsSize_ = 0;
  std::string itemAppends_;

  std::vector<IndexEntry> indexEntries_;
  std::unordered_map<std::u16string, size_t> indexKeys_;  // first entry of each key
  SequenceTable sequences_;
  uint64_t indexWhole_ = 0, indexSize_ = 0;
  uint64_t indexBefore_ = 0;  // where this merge's records begin
  std::string indexAppends_;
};

void Merge::ReadItemFile() {
  RecordReader reader(items_.fd(), RecordReader::kBorrowed);
  ItemRecord record;
  for (uint64_t start = 0; reader.Next(record, RecordReader::kLink | RecordReader::kDate);
       start = reader.wholeEnd()) {
    if (!IsLive(record)) continue;
    liveLinks_.insert(record.link);
    itemEntries_.push_back({start, reader.wholeEnd(), reader.typeOffset(), std::move(record.link),
                            std::move(record.date)});
  }
  itemsWhole_ = reader.wholeEnd();
  itemsSize_ = reader.fileSize();
}

void Merge::ReadUrlIndex() {
  RecordReader reader(index_.fd(), RecordReader::kBorrowed);
  ItemRecord record;
  for (uint64_t start = 0; reader.Next(record, RecordReader::kLink); start = reader.wholeEnd()) {
    sequences_.Note(record.flag, record.type);
    if (!IsLive(record)) continue;
    indexKeys_.emplace(record.link, indexEntries_.size());
    indexEntries_.push_back({start, reader.wholeEnd(), std::move(record.link), record.flag, record.type});
  }
  indexWhole_ = indexBefore_ = reader.wholeEnd();
  indexSize_ = reader.fileSize();
}

void Merge::AddToIndex(const std::u16string& key) {
  const auto stamp = static_cast<uint32_t>(CurrentInstant());
  const uint32_t sequence = sequences_.Next(stamp);
  const std::string bytes = EncodeItemRecord({u"", key, u"", stamp, sequence, u""});
  const uint64_t start = indexWhole_ + indexAppends_.size();
  indexAppends_ += bytes;
  indexKeys_.emplace(key, indexEntries_.size());
  indexEntries_.push_back({start, start + bytes.size(), key, stamp, sequence});
}

void Merge::Take(const FeedItem& item) {
  const std::u16string& link = item.link;
  if (!link.empty() && indexKeys_.count(link) == 0) {
    AddToIndex(link);
    result_.links.push_back(link);
  }
  for (const std::u16string& address : PictureAddresses(item.description)) {
    if (indexKeys_.count(address) != 0) continue;
    // Each new picture is held in memory until the merge ends, with its
    // item's link; past the budget the rest wait for the next merge.
    const size_t cost = address.size() + link.size();
    if (cost > pictureBudget_) continue;
    pictureBudget_ -= cost;
    AddToIndex(address);
    const IndexEntry& added = indexEntries_.back();
    result_.pictures.push_back({address, link, added.stamp, added.sequence});
  }
  if (liveLinks_.count(link) != 0) return;
  ItemRecord record{item.title, link, {}, kFlagUnread, kItemTypeOrdinary, item.description};
  const std::u16string date = item.date.empty() ? LocalTimeNowText() : item.date;
  if (!CanonicalizeDate(date, record.date)) record.date = date.substr(0, kMaxDateLength);
  const std::string bytes = EncodeItemRecord(record);
  const uint64_t start = itemsWhole_ + itemAppends_.size();
  itemAppends_ += bytes;
  liveLinks_.insert(link);
  // The flag and type words follow the length word and the first three texts.
  const uint64_t typeOffset = start + bytes.size() - (4 + 2 * (record.description.size() + 1)) - 4;
  itemEntries_.push_back({start, start + bytes.size(), typeOffset, link, record.date});
  ++result_.newItems;
}

std::u16string Merge::Description(const ItemEntry& entry) {
  RecordReader reader(items_.fd(), RecordReader::kBorrowed);
  reader.SeekTo(entry.start);
  ItemRecord record;
  return reader.Next(record, RecordReader::kDescription) ? record.description : std::u16string();
}

// Deletes the item's full-text file and the picture files named in its full
// text and description, then marks its record deleted.
void Merge::DeleteItem(ItemEntry& item) {
  const std::string& itemFile = items_.path();
  std::u16string fullText;
  if (const auto it = indexKeys_.find(item.link); it != indexKeys_.end()) {
    const IndexEntry& entry = indexEntries_[it->second];
    const std::string path = StampedFilePath(itemFile, entry.stamp, entry.sequence, ".htm");
    if (ReadTextFile(path, fullText, 0)) std::remove(path.c_str());
  }
  const std::u16string description = Description(item);
  const std::u16string* texts[] = {&fullText, &description};
  for (const std::u16string* text : texts) {
    for (const std::u16string& address : PictureAddresses(*text)) {
      const auto it = indexKeys_.find(address);
      if (it == indexKeys_.end()) continue;
      const IndexEntry& entry = indexEntries_[it->second];
      std::remove(StampedFilePath(itemFile, entry.stamp, entry.sequence, ".img").c_str());
    }
  }
  const char word[4] = {0, 0, 0, static_cast<char>(kItemTypeDeleted >> 24)};
  if (!WriteAll(items_.fd(), word, 4, item.typeOffset)) {
    result_.written = false;
    return;
  }
  item.deleted = true;
}

// Every live item but the error record counts, whatever its link or date:
// ordered by date text, equal dates in file order, the oldest beyond the
// limit go.
void Merge::Trim() {
  std::vector<ItemEntry*> dated;
  for (ItemEntry& entry : itemEntries_)
    if (entry.link != kErrorMarkerLink) dated.push_back(&entry);
  if (dated.size() <= articleLimit_) return;
  std::stable_sort(dated.begin(), dated.end(),
                   [](const ItemEntry* a, const ItemEntry* b) { return a->date < b->date; });
  for (size_t i = 0; i + articleLimit_ < dated.size(); ++i) DeleteItem(*dated[i]);
}

bool DeadTakesOver(uint64_t dead, uint64_t size) { return dead > size / 2 && dead > kCompactionFloor; }

void Merge::CompactItemFile() {
  std::vector<std::pair<uint64_t, uint64_t>> kept;
  uint64_t live = 0;
  for (const ItemEntry& entry : itemEntries_) {
    if (entry.deleted) continue;
    kept.emplace_back(entry.start, entry.end);
    live += entry.end - entry.start;
  }
  const uint64_t size = itemsWhole_ + itemAppends_.size();
  if (DeadTakesOver(size - live, size) && !items_.Rewrite(kept)) result_.compactionFailed = true;
}

// The records of live items' links stay, and so do the records this merge
// added (their pictures are downloaded after it); any other record stays
// while its picture or full-text file exists. The files are looked at only
// when the other records could take over the index at all.
void Merge::CompactUrlIndex() {
  std::unordered_set<std::u16string> live;
  for (const ItemEntry& entry : itemEntries_)
    if (!entry.deleted) live.insert(entry.link);
  const uint64_t size = indexWhole_ + indexAppends_.size();
  uint64_t others = 0;
  for (const IndexEntry& entry : indexEntries_)
    if (live.count(entry.key) == 0 && entry.start < indexBefore_) others += entry.end - entry.start;
  if (!DeadTakesOver(others, size)) return;
  const std::string& itemFile = items_.path();
  std::vector<std::pair<uint64_t, uint64_t>> kept;
  uint64_t dead = 0;
  for (const IndexEntry& entry : indexEntries_) {
    if (live.count(entry.key) != 0 || entry.start >= indexBefore_ ||
        FileExists(StampedFilePath(itemFile, entry.stamp, entry.sequence, ".img")) ||
        FileExists(StampedFilePath(itemFile, entry.stamp, entry.sequence, ".htm")))
      kept.emplace_back(entry.start, entry.end);
    else
      dead += entry.end - entry.start;
  }
  if (DeadTakesOver(dead, size) && !index_.Rewrite(kept)) result_.compactionFailed = true;
}

// Writes the records gathered so far: the URL index's first, so an item
// never names a link the index lacks.
bool Merge::WriteAppends() {
  if (!index_.Append(indexWhole_, indexSize_, indexAppends_) || !items_.Append(itemsWhole_, itemsSize_, itemAppends_))
    return false;
  indexWhole_ = indexSize_ = indexWhole_ + indexAppends_.size();
  itemsWhole_ = itemsSize_ = itemsWhole_ + itemAppends_.size();
  indexAppends_.clear();
  itemAppends_.clear();
  return true;
}

MergeResult Merge::Run(const FeedItemSource& source, const AbortCallback& abort) {
  if (!items_.ok() || !index_.ok()) {
    result_.written = false;
    return result_;
  }
  ReadItemFile();
  ReadUrlIndex();
  bool written = true;
  source([&](const FeedItem& item) {
    if (Aborted(abort)) return false;
    Take(item);
    if (itemAppends_.size() + indexAppends_.size() >= kMergeAppendBytes) written = WriteAppends();
    return written;
  });
  if (!written || !WriteAppends()) {
    result_.written = false;
    return result_;
  }
  Trim();
  for (const ItemEntry& entry : itemEntries_)
    if (!entry.deleted && entry.link == kErrorMarkerLink) result_.errorRecordLive = true;
  CompactItemFile();
  CompactUrlIndex();
  return result_;
}

}  // namespace

MergeResult MergeChannelItems(const std::string& itemFile, const std::vector<FeedItem>& items, int articleLimit,
                              const AbortCallback& abort) {
  return MergeChannelItemsFrom(
      itemFile,
      [&items](const FeedItemSink& take) {
        for (const FeedItem& item : items)
          if (!take(item)) return;
      },
      articleLimit, abort);
}

MergeResult MergeChannelItemsFrom(const std::string& itemFile, const FeedItemSource& source, int articleLimit,
                                  const AbortCallback& abort) {
  Merge merge(itemFile, articleLimit);
  return merge.Run(source, abort);
}

}  // namespace wrenly
