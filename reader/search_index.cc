#include "reader/search_index.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

#include "platform/atomic_file.h"
#include "platform/text.h"
#include "reader/text_folding.h"
#include "store/channel_files.h"
#include "store/item_record.h"

namespace wrenly::reader {
namespace {

constexpr char kMagic[4] = {'W', 'R', 'S', 'X'};
constexpr uint32_t kVersion = 3;
// A change this close after the build could leave the modification time as
// it was on a file system with coarse time stamps.
constexpr int64_t kSettleNs = 2'000'000'000;

// A 64-bit hash of bytes, eight at a time; for the file's checksum and the
// items' fingerprints.
uint64_t Hash(std::string_view bytes, uint64_t h = 0x9E3779B97F4A7C15ull) {
  size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes.data() + i, 8);
    h = (h ^ word) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
  }
  for (; i < bytes.size(); ++i) h = (h ^ static_cast<unsigned char>(bytes[i])) * 0x100000001B3ull;
  return h ^ (h >> 29) ^ bytes.size();
}

uint64_t Hash(std::u16string_view text, uint64_t h) {
  return Hash({reinterpret_cast<const char*>(text.data()), text.size() * 2}, h);
}

// What identifies a record of an item file: the file, where the record lies
// and its length, its link, and whether its full text is there.
uint64_t Fingerprint(const ItemFileState& file, uint64_t start, uint64_t length, const ItemRecord& record) {
  const uint64_t words[] = {file.device, file.inode, start, length, record.flag & kFlagUnreadFullText};
  return Hash(record.link, Hash({reinterpret_cast<const char*>(words), sizeof words}));
}

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// A whole file's bytes, read into memory that is not cleared first; empty
// when the file cannot be read.
class WholeFile {
 public:
  explicit WholeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat info {};
    if (fstat(fd, &info) == 0 && info.st_size > 0) {
      bytes_.reset(new char[static_cast<size_t>(info.st_size)]);
      for (ssize_t n; size_ < static_cast<size_t>(info.st_size) &&
                      (n = ::read(fd, bytes_.get() + size_, static_cast<size_t>(info.st_size) - size_)) > 0;)
        size_ += static_cast<size_t>(n);
    }
    ::close(fd);
  }
  std::string_view bytes() const { return {bytes_.get(), size_}; }

 private:
  std::unique_ptr<char[]> bytes_;
  size_t size_ = 0;
};

// The stamped name parts of each link's full text, from the URL index.
std::map<std::u16string, std::pair<uint32_t, uint32_t>> FullTextStamps(const std::string& itemFile) {
  std::map<std::u16string, std::pair<uint32_t, uint32_t>> stamps;
  RecordReader index(UrlIndexPathFor(itemFile));
  for (ItemRecord record; index.Next(record, RecordReader::kLink);) stamps[record.link] = {record.flag, record.type};
  return stamps;
}

std::u16string FullTextOf(const std::string& itemFile, const std::pair<uint32_t, uint32_t>& stamp) {
  return HtmlText(Utf8ToUtf16(WholeFile(StampedFilePath(itemFile, stamp.first, stamp.second, ".htm")).bytes()));
}

// The distinct words of a text as search compares them, in UTF-8.
std::vector<std::string> DistinctWords(std::u16string_view text) {
  std::vector<std::string> words;
  for (const std::u16string& word : SearchWords(text)) words.push_back(Utf16ToUtf8(word));
  std::sort(words.begin(), words.end());
  words.erase(std::unique(words.begin(), words.end()), words.end());
  return words;
}

// Writes the file's fields, little-endian as the machine is.
class Writer {
 public:
  template <typename T>
  void Put(T value) {
    bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  void Put(std::string_view text) {
    Put(static_cast<uint32_t>(text.size()));
    bytes_.append(text);
  }
  // A count, then each number in `width` bytes, little-endian.
  void Put(const std::vector<uint32_t>& numbers, unsigned width) {
    Put(static_cast<uint32_t>(numbers.size()));
    for (uint32_t n : numbers)
      for (unsigned b = 0; b < width; ++b) bytes_.push_back(static_cast<char>(n >> (8 * b)));
  }
  void Append(std::string_view bytes) { bytes_.append(bytes); }
  std::string Finish() {
    Put(Hash(bytes_));
    return std::move(bytes_);
  }

 private:
  std::string bytes_;
};

// Reads them back; every read fails once one ran past the end.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  template <typename T>
  bool Get(T& value) {
    if (bytes_.size() - at_ < sizeof value) return false;
    std::memcpy(&value, bytes_.data() + at_, sizeof value);
    at_ += sizeof value;
    return true;
  }
  bool Get(std::string& text) {
    uint32_t size = 0;
    if (!Get(size) || bytes_.size() - at_ < size) return false;
    text.assign(bytes_.substr(at_, size));
    at_ += size;
    return true;
  }
  bool Get(std::vector<uint32_t>& numbers, unsigned width) {
    uint32_t count = 0;
    if (!Get(count) || (bytes_.size() - at_) / width < count) return false;
    numbers.resize(count);
    const auto* byte = reinterpret_cast<const unsigned char*>(bytes_.data() + at_);
    for (uint32_t i = 0; i < count; ++i, byte += width) numbers[i] = width == 1 ? byte[0] : byte[0] | byte[1] << 8;
    at_ += size_t{count} * width;
    return true;
  }
  bool GetBytes(std::string& bytes, size_t size) {
    if (bytes_.size() - at_ < size) return false;
    bytes.assign(bytes_.substr(at_, size));
    at_ += size;
    return true;
  }
  bool AtEnd() const { return at_ == bytes_.size(); }

 private:
  std::string_view bytes_;
  size_t at_ = 0;
};

// This process's indexes by item file.
struct Cache {
  std::mutex mutex;
  std::unordered_map<std::string, std::shared_ptr<const ChannelIndex>> indexes;
};

Cache& ProcessCache() {
  static Cache cache;
  return cache;
}

}  // namespace

std::optional<ItemFileState> StateOf(const std::string& itemFile) {
  struct stat info {};
  if (stat(itemFile.c_str(), &info) != 0) return std::nullopt;
  return ItemFileState{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino),
                       static_cast<uint64_t>(info.st_size),
                       static_cast<int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

std::string IndexPathFor(const std::string& itemFile) {
  return itemFile.ends_with(".bin") ? itemFile.substr(0, itemFile.size() - 4) + ".six" : itemFile + ".six";
}

// --- building ---

// The words of an index being built, by number: first every word of the
// previous index (numbered as there), then the new ones.
class ChannelIndex::Words {
 public:
  explicit Words(const ChannelIndex* previous)
      : previous_(previous), previousCount_(previous ? previous->words_.size() : 0), lists_(previousCount_) {}

  void Add(uint32_t word, uint32_t item) { lists_[word].push_back(item); }
  // A word of a new item; numbered at the end, when it may turn out to be a
  // previous word.
  void Add(const std::string& word, uint32_t item) {
    const auto [it, added] = new_.try_emplace(word, static_cast<uint32_t>(newItems_.size()));
    if (added) newItems_.emplace_back();
    newItems_[it->second].push_back(item);
  }

  // Every word that still occurs, in number order, with its items.
  void MoveInto(ChannelIndex& index) {
    NumberNewWords();
    index.postings_ = ItemNumbers(ItemNumbers::WidthFor(index.items_.size()));
    for (uint32_t k = 0; k < lists_.size(); ++k) {
      if (lists_[k].empty()) continue;
      index.words_.push_back(static_cast<uint32_t>(index.dictionary_.size()));
      index.dictionary_ += k < previousCount_ ? previous_->WordOf(k) : std::string_view(*added_[k - previousCount_]);
      index.dictionary_ += '\n';
      std::sort(lists_[k].begin(), lists_[k].end());
      for (uint32_t item : lists_[k]) index.postings_.push_back(item);
      index.postingStarts_.push_back(static_cast<uint32_t>(index.postings_.size()));
    }
  }

 private:
  // One pass over the previous words finds those the new items share; the
  // few new items' words are looked up, rather than every previous word
  // entered into a table.
  void NumberNewWords() {
    std::vector<int64_t> numbers(newItems_.size(), -1);
    if (!new_.empty())
      for (uint32_t k = 0; k < previousCount_; ++k)
        if (const auto it = new_.find(previous_->WordOf(k)); it != new_.end()) numbers[it->second] = k;
    added_.resize(new_.size());
    for (const auto& [word, n] : new_) {
      if (numbers[n] < 0) {
        numbers[n] = static_cast<int64_t>(lists_.size());
        lists_.emplace_back();
        added_[numbers[n] - previousCount_] = &word;
      }
      std::vector<uint32_t>& list = lists_[static_cast<size_t>(numbers[n])];
      list.insert(list.end(), newItems_[n].begin(), newItems_[n].end());
    }
    added_.resize(lists_.size() - previousCount_);
  }

  const ChannelIndex* previous_;
  const size_t previousCount_;
  std::vector<std::vector<uint32_t>> lists_;
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  std::unordered_map<std::string, uint32_t, TextHash, std::equal_to<>> new_;
  std::vector<std::vector<uint32_t>> newItems_;
  std::vector<const std::string*> added_;
};

ChannelIndex ChannelIndex::Build(const std::string& itemFile, const ItemFileState& state,
                                 const ChannelIndex* previous) {
  ChannelIndex index;
  index.state_ = state;
  index.settled_ = NowNs() - state.modifiedNs > kSettleNs;

  // Records change in place only in their flag and type words, and a
  // compaction writes a new file: a record of the same file at the same
  // place, of the same length and link, is the same item.
  std::unordered_map<uint64_t, uint32_t> unchanged;
  std::vector<std::vector<uint32_t>> previousWords;
  if (previous != nullptr) {
    for (uint32_t i = 0; i < previous->items_.size(); ++i) unchanged.emplace(previous->items_[i].fingerprint, i);
    previousWords.resize(previous->items_.size());
    for (uint32_t k = 0; k + 1 < previous->postingStarts_.size(); ++k)
      for (uint32_t p = previous->postingStarts_[k]; p < previous->postingStarts_[k + 1]; ++p)
        previousWords[previous->postings_[p]].push_back(k);
  }

  Words words(previous);
  std::optional<std::map<std::u16string, std::pair<uint32_t, uint32_t>>> stamps;
  RecordReader reader(itemFile);
  uint64_t start = 0;
  for (ItemRecord record; reader.Next(record, RecordReader::kLink); start = reader.wholeEnd()) {
    if (!IsLive(record) || record.type == kItemTypeError) continue;
    const uint32_t number = static_cast<uint32_t>(index.items_.size());
    const uint64_t fingerprint = Fingerprint(state, start, reader.wholeEnd() - start, record);
    if (const auto same = unchanged.find(fingerprint); same != unchanged.end()) {
      index.items_.push_back(previous->items_[same->second]);
      index.items_.back().flag = record.flag;
      for (uint32_t k : previousWords[same->second]) words.Add(k, number);
      continue;
    }
    reader.SeekTo(start);
    if (!reader.Next(record, RecordReader::kAllTexts)) break;
    std::u16string text = record.title + u' ' + HtmlText(record.description);
    if ((record.flag & kFlagUnreadFullText) != 0) {
      if (!stamps) stamps = FullTextStamps(itemFile);
      if (const auto stamp = stamps->find(record.link); stamp != stamps->end())
        text += u' ' + FullTextOf(itemFile, stamp->second);
    }
    for (const std::string& word : DistinctWords(text)) words.Add(word, number);
    index.items_.push_back(
        {record.flag, fingerprint, Utf16ToUtf8(record.title), Utf16ToUtf8(record.link), Utf16ToUtf8(record.date)});
  }
  words.MoveInto(index);
  return index;
}

std::string_view ChannelIndex::WordOf(uint32_t k) const {
  const std::string_view dictionary(dictionary_);
  const size_t end = dictionary.find('\n', words_[k]);
  return dictionary.substr(words_[k], end - words_[k]);
}

// --- searching ---

std::vector<uint32_t> ChannelIndex::Find(const std::vector<std::string>& words) const {
  const std::string_view dictionary(dictionary_);
  std::vector<uint64_t> every;
  for (size_t w = 0; w < words.size(); ++w) {
    std::vector<uint64_t> any((items_.size() + 63) / 64);
    for (size_t at = dictionary.find(words[w]); at != std::string_view::npos;) {
      const size_t k = std::upper_bound(words_.begin(), words_.end(), at) - words_.begin() - 1;
      for (uint32_t p = postingStarts_[k]; p < postingStarts_[k + 1]; ++p)
        any[postings_[p] / 64] |= uint64_t{1} << (postings_[p] % 64);
      // One match is enough for a word of the dictionary.
      at = dictionary.find(words[w], dictionary.find('\n', at) + 1);
    }
    if (w == 0) every = std::move(any);
    else
      for (size_t i = 0; i < every.size(); ++i) every[i] &= any[i];
    if (std::all_of(every.begin(), every.end(), [](uint64_t bits) { return bits == 0; })) return {};
  }
  std::vector<uint32_t> found;
  for (uint32_t i = 0; i < items_.size(); ++i)
    if ((every[i / 64] >> (i % 64)) & 1) found.push_back(i);
  return found;
}

// --- the index file ---

std::string ChannelIndex::Serialize() const {
  // Item numbers are stored in one byte, or two for a channel of more than
  // 255 items; one of more than 65,535 is only indexed in memory.
  if (items_.size() > UINT16_MAX) return {};
  const uint8_t width = static_cast<uint8_t>(postings_.width());
  Writer out;
  for (char c : kMagic) out.Put(c);
  out.Put(kVersion);
  out.Put(state_.device);
  out.Put(state_.inode);
  out.Put(state_.size);
  out.Put(state_.modifiedNs);
  out.Put(static_cast<uint32_t>(items_.size()));
  for (const IndexedItem& item : items_) {
    out.Put(item.flag);
    out.Put(item.fingerprint);
    out.Put(std::string_view(item.title));
    out.Put(std::string_view(item.link));
    out.Put(std::string_view(item.date));
  }
  out.Put(std::string_view(dictionary_));
  std::vector<uint32_t> counts(words_.size());
  for (size_t k = 0; k < words_.size(); ++k) counts[k] = postingStarts_[k + 1] - postingStarts_[k];
  out.Put(width);
  out.Put(counts, width);
  out.Put(static_cast<uint32_t>(postings_.size()));
  out.Append(postings_.bytes());
  return out.Finish();
}

std::optional<ChannelIndex> ChannelIndex::Parse(std::string_view bytes) {
  uint64_t checksum = 0;
  if (bytes.size() < sizeof checksum) return std::nullopt;
  const std::string_view body = bytes.substr(0, bytes.size() - sizeof checksum);
  std::memcpy(&checksum, bytes.data() + body.size(), sizeof checksum);
  if (Hash(body) != checksum) return std::nullopt;

  Reader in(body);
  char magic[4] = {};
  uint32_t version = 0, count = 0;
  ChannelIndex index;
  index.settled_ = true;  // only settled indexes are stored
  for (char& c : magic) in.Get(c);
  if (std::memcmp(magic, kMagic, 4) != 0 || !in.Get(version) || version != kVersion) return std::nullopt;
  if (!in.Get(index.state_.device) || !in.Get(index.state_.inode) || !in.Get(index.state_.size) ||
      !in.Get(index.state_.modifiedNs) || !in.Get(count))
    return std::nullopt;
  for (uint32_t i = 0; i < count; ++i) {
    IndexedItem item;
    if (!in.Get(item.flag) || !in.Get(item.fingerprint) || !in.Get(item.title) || !in.Get(item.link) ||
        !in.Get(item.date))
      return std::nullopt;
    index.items_.push_back(std::move(item));
  }
  uint8_t width = 0;
  std::vector<uint32_t> counts;
  uint32_t postings = 0;
  std::string numbers;
  if (!in.Get(index.dictionary_) || !in.Get(width) || width != ItemNumbers::WidthFor(count) ||
      !in.Get(counts, width) || !in.Get(postings) || !in.GetBytes(numbers, size_t{postings} * width) || !in.AtEnd())
    return std::nullopt;
  index.words_.reserve(counts.size());
  for (size_t at = index.dictionary_.find('\n'); at + 1 < index.dictionary_.size();
       at = index.dictionary_.find('\n', at + 1))
    index.words_.push_back(static_cast<uint32_t>(at + 1));
  if (counts.size() != index.words_.size()) return std::nullopt;
  index.postings_ = ItemNumbers(width, std::move(numbers));
  index.postingStarts_.reserve(counts.size() + 1);
  for (uint32_t n : counts) index.postingStarts_.push_back(index.postingStarts_.back() + n);
  if (!index.Consistent()) return std::nullopt;
  return index;
}

// Bytes that pass the checksum by chance can still do no harm.
bool ChannelIndex::Consistent() const {
  if (dictionary_.empty() || dictionary_.back() != '\n' || dictionary_.front() != '\n') return false;
  if (postingStarts_.size() != words_.size() + 1 || postingStarts_.front() != 0 ||
      postingStarts_.back() != postings_.size())
    return false;
  for (size_t k = 0; k < words_.size(); ++k) {
    if (words_[k] == 0 || words_[k] >= dictionary_.size() || dictionary_[words_[k] - 1] != '\n') return false;
    if (k > 0 && words_[k] <= words_[k - 1]) return false;
    if (postingStarts_[k] > postingStarts_[k + 1]) return false;
  }
  for (size_t p = 0; p < postings_.size(); ++p)
    if (postings_[p] >= items_.size()) return false;
  return true;
}

std::shared_ptr<const ChannelIndex> CurrentIndex(const std::string& itemFile) {
  const std::optional<ItemFileState> state = StateOf(itemFile);
  if (!state) return nullptr;
  Cache& cache = ProcessCache();
  std::shared_ptr<const ChannelIndex> previous;
  {
    const std::lock_guard lock(cache.mutex);
    if (const auto it = cache.indexes.find(itemFile); it != cache.indexes.end()) previous = it->second;
  }
  if (previous != nullptr && previous->settled() && previous->state() == *state) return previous;
  if (previous == nullptr) {
    if (std::optional<ChannelIndex> stored = ChannelIndex::Parse(WholeFile(IndexPathFor(itemFile)).bytes()))
      previous = std::make_shared<const ChannelIndex>(std::move(*stored));
  }
  std::shared_ptr<const ChannelIndex> current = previous;
  if (current == nullptr || !current->settled() || current->state() != *state) {
    current = std::make_shared<const ChannelIndex>(ChannelIndex::Build(itemFile, *state, previous.get()));
    // An index that is lost or half written is only rebuilt: no need to wait for the disk.
    if (current->settled())
      if (const std::string bytes = current->Serialize(); !bytes.empty())
        WriteFileAtomically(IndexPathFor(itemFile), bytes, nullptr, Flush::kNone);
  }
  const std::lock_guard lock(cache.mutex);
  cache.indexes[itemFile] = current;
  return current;
}

}  // namespace wrenly::reader
