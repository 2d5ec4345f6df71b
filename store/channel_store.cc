#include "store/channel_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

#include "platform/text.h"
#include "platform/text_file.h"
#include "platform/trace.h"
#include "store/channel_files.h"
#include "store/dates.h"
#include "store/file_lock.h"
#include "store/index_sequence.h"
#include "store/picture_addresses.h"
#include "store/positioned_io.h"
#include "store/settings.h"
#include "store/translation.h"

namespace wrenly {
namespace {

constexpr size_t kMaxDateLength = 127;

// The end of the last whole record: where the next append belongs.
uint64_t WholeRecordsEnd(const std::string& path) {
  RecordReader reader(path);
  ItemRecord record;
  while (reader.Next(record, RecordReader::kNoTexts)) {
  }
  return reader.wholeEnd();
}

// Where this process last left a record file whole: after a walk or after
// its own append. An append to a file unchanged since then (same file, size
// and modification time) skips the walk that looks for a torn tail, which
// would otherwise read the whole file for every record appended.
struct WholeFile {
  dev_t device;
  ino_t inode;
  off_t size;
  struct timespec modified;
};
std::mutex gWholeFilesMutex;
std::map<std::string, WholeFile> gWholeFiles;

bool IsKnownWhole(const std::string& path, const struct stat& info) {
  std::lock_guard<std::mutex> guard(gWholeFilesMutex);
  const auto it = gWholeFiles.find(path);
  if (it == gWholeFiles.end()) return false;
  const WholeFile& w = it->second;
  return w.device == info.st_dev && w.inode == info.st_ino && w.size == info.st_size &&
         w.modified.tv_sec == info.st_mtim.tv_sec && w.modified.tv_nsec == info.st_mtim.tv_nsec;
}

void RememberWhole(const std::string& path, int fd) {
  struct stat info {};
  std::lock_guard<std::mutex> guard(gWholeFilesMutex);
  if (::fstat(fd, &info) == 0)
    gWholeFiles[path] = {info.st_dev, info.st_ino, info.st_size, info.st_mtim};
  else
    gWholeFiles.erase(path);
}

void ForgetWhole(const std::string& path) {
  std::lock_guard<std::mutex> guard(gWholeFilesMutex);
  gWholeFiles.erase(path);
}

bool WriteWord(int fd, uint64_t offset, uint32_t value) {
  const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                         static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
  return WriteAll(fd, bytes, 4, offset);
}

// Whether UpdateField writes, and what: the read bit flips only between the
// listed pairs, so marking keeps the full-text bit; 9999 only turns an
// untouched item into one with its full text.
bool DecideWrite(ItemField field, const ItemRecord& record, uint32_t value, uint32_t& write) {
  if (field == ItemField::kType) {
    write = value;
    return record.type != value;
  }
  const uint32_t c = record.flag;
  if (value == kReadFlagFullTextArrived) {
    write = kFlagUnreadFullText;
    return c == kFlagUnread;
  }
  write = value;
  return (c == 0 && value == 2) || (c == 2 && value == 0) || (c == 1 && value == 3) ||
         (c == 3 && value == 1);
}

}  // namespace

CChannelStore::CChannelStore() : articleLimit_(GetArticleLimit()) {}

CChannelStore::CChannelStore(const std::string& path, bool buildDateIndex) : CChannelStore() {
  OpenStore(path, buildDateIndex);
}

void CChannelStore::OpenStore(const std::string& path, bool buildDateIndex) {
  path_ = path;
  linksBuilt_ = false;
  links_.clear();
  if (buildDateIndex) BuildDateIndex();
}

void CChannelStore::BuildDateIndex() {
  dateIndex_.Clear();
  RecordReader reader(path_);
  ItemRecord record;
  while (reader.Next(record, RecordReader::kLink | RecordReader::kDate)) {
    if (IsLive(record) && record.link != kErrorMarkerLink)
      dateIndex_.Insert(record.date, record.link);
  }
  dateIndex_.set_built(true);
}

void CChannelStore::ResetCursor() {
  current_ = ItemRecord{};
  recordNumber_ = -1;
}

bool CChannelStore::ReadRecord(int i) {
  RecordReader reader(path_);
  ItemRecord record;
  int live = 0;
  for (uint64_t start = 0; i >= 0 && reader.Next(record, RecordReader::kNoTexts);
       start = reader.wholeEnd()) {
    if (!IsLive(record)) continue;
    if (live++ < i) continue;
    reader.SeekTo(start);
    if (!reader.Next(current_, RecordReader::kAllTexts)) break;
    recordNumber_ = i;
    return true;
  }
  ResetCursor();
  return false;
}

void CChannelStore::RestoreCurrent(int recordNumber) {
  if (recordNumber < 0 || !ReadRecord(recordNumber)) ResetCursor();
}

bool CChannelStore::ReadNext() {
  const int number = recordNumber_;
  if (ReadRecord(number + 1)) return true;
  RestoreCurrent(number);
  return false;
}

int CChannelStore::FindLiveNumber(std::u16string_view link, std::u16string_view title) const {
  RecordReader reader(path_);
  ItemRecord record;
  const unsigned texts = RecordReader::kLink | (title.empty() ? 0u : RecordReader::kTitle);
  for (int live = 0; reader.Next(record, texts);) {
    if (!IsLive(record)) continue;
    if (record.link == link || (!title.empty() && record.title == title)) return live;
    ++live;
  }
  return -1;
}

bool CChannelStore::FindRecord(std::u16string_view link, std::u16string_view title) {
  const int number = FindLiveNumber(link, title);
  if (number >= 0 && ReadRecord(number)) return true;
  RestoreCurrent(recordNumber_);
  return false;
}

bool CChannelStore::ContainsLink(std::u16string_view link) {
  if (!linksBuilt_) {
    links_.clear();
    RecordReader reader(path_);
    ItemRecord record;
    while (reader.Next(record, RecordReader::kLink)) {
      if (IsLive(record)) links_.insert(std::move(record.link));
    }
    linksBuilt_ = true;
  }
  return links_.count(std::u16string(link)) > 0;
}

bool CChannelStore::AppendRecord(std::u16string_view title, std::u16string_view link,
                                 std::u16string_view date, uint32_t flag, uint32_t type,
                                 std::u16string_view description) {
  ItemRecord record{std::u16string(title), std::u16string(link), {}, flag, type,
                    std::u16string(description)};
  if (!CanonicalizeDate(date, record.date)) record.date = date.substr(0, kMaxDateLength);
  const auto lock = LockFilePath(path_);
  return AppendLocked(record);
}

bool CChannelStore::AppendIndexAddress(std::u16string_view address) {
  const auto lock = LockFilePath(path_);
  const auto stamp = static_cast<uint32_t>(CurrentInstant());
  const uint32_t sequence = ReadSequenceTable(path_).Next(stamp);
  return AppendLocked({u"", std::u16string(address), u"", stamp, sequence, u""});
}

bool CChannelStore::AppendLocked(const ItemRecord& record) {
  const std::string bytes = EncodeItemRecord(record);
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  struct stat info {};
  bool done = ::fstat(fd, &info) == 0;
  const uint64_t end = done && IsKnownWhole(path_, info) ? static_cast<uint64_t>(info.st_size)
                                                        : WholeRecordsEnd(path_);
  if (done && static_cast<uint64_t>(info.st_size) > end)
    done = ::ftruncate(fd, static_cast<off_t>(end)) == 0;
  if (done) done = WriteAll(fd, bytes.data(), bytes.size(), end);
  if (done) {
    RememberWhole(path_, fd);
  } else {
    ForgetWhole(path_);
    if (::ftruncate(fd, static_cast<off_t>(end)) != 0)
      TraceF("CChannelStore: cannot cut a failed append off %s\n", path_.c_str());
  }
  ::close(fd);
  if (done && linksBuilt_ && IsLive(record)) links_.insert(record.link);
  return done;
}

bool CChannelStore::UpdateField(std::u16string_view link, ItemField field, uint32_t value) {
  bool changed = false;
  {
    const auto lock = LockFilePath(path_);
    RecordReader reader(path_);
    ItemRecord record;
    int fd = -1;
    while (reader.Next(record, link.empty() ? RecordReader::kNoTexts : RecordReader::kLink)) {
      uint32_t word;
      if (!IsLive(record) || (!link.empty() && record.link != link) ||
          !DecideWrite(field, record, value, word))
        continue;
      if (fd < 0) fd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
      const uint64_t at = field == ItemField::kType ? reader.typeOffset() : reader.flagOffset();
      if (fd < 0 || !WriteWord(fd, at, word)) break;
      changed = true;
      if (!link.empty()) break;
    }
    if (fd >= 0) ::close(fd);
  }
  if (changed && field == ItemField::kType) linksBuilt_ = false;
  RestoreCurrent(recordNumber_);
  return changed;
}

bool CChannelStore::DeleteItem(std::u16string_view link) {
  CChannelStore urlIndex(UrlIndexPathFor(path_), false);
  std::u16string fullText;
  if (urlIndex.FindRecord(link, u"")) {
    const std::string fullTextPath =
        StampedFilePath(path_, urlIndex.current().flag, urlIndex.current().type, ".htm");
    ReadTextFile(fullTextPath, fullText, 0);  // unreadable: no pictures found in it
    std::remove(fullTextPath.c_str());
  }
  std::u16string description;
  {
    CChannelStore items(path_, false);
    if (items.FindRecord(link, u"")) description = items.current().description;
  }
  for (const std::u16string* text : {&fullText, &description}) {
    for (const std::u16string& address : PictureAddresses(*text)) {
      if (!urlIndex.FindRecord(address, u"")) continue;
      const std::string picture =
          StampedFilePath(path_, urlIndex.current().flag, urlIndex.current().type, ".img");
      std::remove(picture.c_str());
    }
  }
  return UpdateField(link, ItemField::kType, kItemTypeDeleted);
}

bool CChannelStore::TrimItems() {
  const size_t limit = articleLimit_ > 0 ? static_cast<size_t>(articleLimit_) : 0;
  const std::vector<std::u16string> oldest = dateIndex_.Beyond(limit);
  for (const std::u16string& link : oldest) DeleteItem(link);
  return !oldest.empty();
}

ItemCounts CountItems(const std::string& itemFilePath) {
  ItemCounts counts;
  RecordReader reader(itemFilePath);
  counts.readable = reader.is_open();
  ItemRecord record;
  while (reader.Next(record, RecordReader::kNoTexts)) {
    if (record.type != kItemTypeOrdinary) continue;
    ++counts.total;
    if (record.flag == kFlagRead || record.flag == kFlagReadFullText) ++counts.read;
  }
  return counts;
}

bool WriteErrorRecord(const std::string& itemFilePath, std::u16string_view errorText) {
  DeleteErrorRecord(itemFilePath);
  CChannelStore store(itemFilePath, false);
  // The error text is one of the program's texts (a transfer failure, a
  // refresh failure) or a server's status line; it is shown translated, with
  // one full stop at its end.
  std::u16string text = Translate(Trim(errorText, kSpaceChars16));
  if (!text.ends_with(u'.') && !text.ends_with(u'\u3002')) text += u'.';
  const std::u16string description =
      Translate(u"An error occured while attempting to download the channel data:") + text;
  return store.AppendRecord(Translate(u"Error occured on last update"), kErrorMarkerLink, LocalTimeNowText(),
                            kFlagUnread, kItemTypeError, description);
}

// The error record has no URL-index record, full text or pictures, so
// marking it is all its deletion takes.
bool DeleteErrorRecord(const std::string& itemFilePath) {
  CChannelStore store(itemFilePath, false);
  store.UpdateField(kErrorMarkerLink, ItemField::kType, kItemTypeDeleted);
  return true;
}

}  // namespace wrenly
