// The search index of one channel ("Ch%03d.six" beside its item file): the
// live items' titles, links, dates and flags, and the distinct folded words
// of each item's title, description and stored full text, as one dictionary
// per channel with the items each word occurs in. A query word is found by
// substring in the dictionary, which is exactly where it occurs in the text,
// since neither holds a blank. The index is only ever a copy: it names the
// item file's state it was built from (device, inode, size, modification
// time) and is rebuilt from the item file whenever that differs, or the file
// is missing or damaged; a rebuild reads and folds again only the records it
// has not seen.
// Objects are immutable once built; the functions are safe for concurrent use.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wrenly::reader {

// The state of an item file an index was built from.
struct ItemFileState {
  uint64_t device = 0, inode = 0, size = 0;
  int64_t modifiedNs = 0;
  bool operator==(const ItemFileState&) const = default;
};

// The item file's state now; none when it is missing.
std::optional<ItemFileState> StateOf(const std::string& itemFile);

struct IndexedItem {
  uint32_t flag = 0;
  uint64_t fingerprint = 0;  // of the record's place, link and full-text bit
  std::string title, link, date;  // UTF-8
};

class ChannelIndex {
 public:
  // Indexes the live ordinary items of the item file, taking each item's
  // words from `previous` where the item is unchanged there.
  static ChannelIndex Build(const std::string& itemFile, const ItemFileState& state, const ChannelIndex* previous);
  // The index the bytes hold; none when they are damaged or of another version.
  static std::optional<ChannelIndex> Parse(std::string_view bytes);
  // Empty for an index too large to store.
  std::string Serialize() const;

  const ItemFileState& state() const { return state_; }
  // Whether the state may be trusted later: false when the item file changed
  // so shortly before the build that a later change could keep its
  // modification time.
  bool settled() const { return settled_; }
  const std::vector<IndexedItem>& items() const { return items_; }
  // The items (as indices into items()) whose words hold every query word
  // (folded, UTF-8), in file order.
  std::vector<uint32_t> Find(const std::vector<std::string>& words) const;

 private:
  class Words;
  // Item numbers in as few bytes each as the channel's item count needs
  // (one up to 255 items), little-endian: a quarter of the memory of full
  // words for a usual channel, and read from the index file as they are.
  class ItemNumbers {
   public:
    static unsigned WidthFor(size_t items) { return items <= 0xFF ? 1 : items <= 0xFFFF ? 2 : 4; }
    explicit ItemNumbers(unsigned width = 1, std::string bytes = {}) : bytes_(std::move(bytes)), width_(width) {}
    unsigned width() const { return width_; }
    const std::string& bytes() const { return bytes_; }
    size_t size() const { return bytes_.size() / width_; }
    uint32_t operator[](size_t i) const {
      const auto* byte = reinterpret_cast<const unsigned char*>(bytes_.data()) + i * width_;
      uint32_t n = 0;
      for (unsigned b = 0; b < width_; ++b) n |= uint32_t{byte[b]} << (8 * b);
      return n;
    }
    void push_back(uint32_t n) {
      for (unsigned b = 0; b < width_; ++b) bytes_.push_back(static_cast<char>(n >> (8 * b)));
    }

   private:
    std::string bytes_;
    unsigned width_;
  };

  // Word k of the dictionary.
  std::string_view WordOf(uint32_t k) const;
  // Whether every offset lies inside what it points into.
  bool Consistent() const;

  ItemFileState state_;
  bool settled_ = false;
  std::vector<IndexedItem> items_;
  // "\n" before and after every word; words_[k] is where word k starts.
  std::string dictionary_ = "\n";
  std::vector<uint32_t> words_;
  // The items of word k: postings_[postingStarts_[k] .. postingStarts_[k+1]).
  std::vector<uint32_t> postingStarts_{0};
  ItemNumbers postings_;
};

// The channel's index as its item file is now: from this process's cache,
// else the index file, else built (and stored in the index file and the
// cache). None when the item file is missing.
std::shared_ptr<const ChannelIndex> CurrentIndex(const std::string& itemFile);

// "Ch%03d.six" of the item file "Ch%03d.bin".
std::string IndexPathFor(const std::string& itemFile);

}  // namespace wrenly::reader
