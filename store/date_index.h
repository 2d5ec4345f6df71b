// The date index of an item file: the (date, link) pairs of its live items
// but the error record, in date order, which decides what trimming deletes.
// Every live item is in it, whatever the length of its link or date, so no
// item escapes the article limit. Used by one thread at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace wrenly {

class DateIndex {
 public:
  struct Entry {
    std::u16string date;
    std::u16string link;
  };

  void Clear();
  // Adds an item; entries are ordered by date compared as UTF-16 text (so
  // canonical dates sort by time), equal dates in the order they came.
  void Insert(std::u16string_view date, std::u16string_view link);

  size_t size() const { return entries_.size(); }
  const Entry& operator[](size_t i) const;
  // The links of the oldest entries beyond `limit`, oldest first.
  std::vector<std::u16string> Beyond(size_t limit) const;
  bool built() const { return built_; }
  void set_built(bool built) { built_ = built; }

 private:
  void Sort() const;

  mutable std::vector<Entry> entries_;
  mutable bool sorted_ = true;
  bool built_ = false;
};

}  // namespace wrenly
