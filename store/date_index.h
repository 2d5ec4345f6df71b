// The date index of an item file: the (date, link) pairs of up to 100 live
// items, sorted by date text, keeping the newest when there are more. It
// decides which items trimming deletes; the links pushed out of a full index
// are kept apart, because they are older than every entry and must be
// trimmed as well. Used by one thread at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace wrenly {

class DateIndex {
 public:
  static constexpr size_t kCapacity = 100;
  static constexpr size_t kMaxDateLength = 30;
  static constexpr size_t kMaxLinkLength = 259;

  struct Entry {
    std::u16string date;
    std::u16string link;
  };

  DateIndex() { entries_.reserve(kCapacity); }

  void Clear();
  // Inserts after every entry with a date not greater than `date` (so equal
  // dates keep insertion order). When full, the oldest entry makes room, or
  // the new one is dropped when it is older than all; either way the link
  // that leaves goes to dropped(). Empty texts and texts longer than the
  // limits are not inserted.
  void Insert(std::u16string_view date, std::u16string_view link);

  size_t size() const { return entries_.size(); }
  const Entry& operator[](size_t i) const { return entries_[i]; }
  // Links of items older than every entry, in the order they left.
  const std::vector<std::u16string>& dropped() const { return dropped_; }
  bool built() const { return built_; }
  void set_built(bool built) { built_ = built; }

 private:
  std::vector<Entry> entries_;
  std::vector<std::u16string> dropped_;
  bool built_ = false;
};

}  // namespace wrenly
