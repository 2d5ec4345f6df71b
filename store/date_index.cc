#include "store/date_index.h"

#include <algorithm>

namespace wrenly {

void DateIndex::Clear() {
  entries_.clear();
  dropped_.clear();
  built_ = false;
}

void DateIndex::Insert(std::u16string_view date, std::u16string_view link) {
  if (date.empty() || link.empty() || date.size() > kMaxDateLength || link.size() > kMaxLinkLength)
    return;
  // First entry whose date is greater, comparing UTF-16 code units.
  const auto at = std::upper_bound(entries_.begin(), entries_.end(), date,
                                   [](std::u16string_view d, const Entry& e) { return d < e.date; });
  Entry entry{std::u16string(date), std::u16string(link)};
  if (entries_.size() < kCapacity) {
    entries_.insert(at, std::move(entry));
    return;
  }
  if (at == entries_.begin()) {  // older than every entry
    dropped_.push_back(std::move(entry.link));
    return;
  }
  // Drop entry 0, shift entries 1..p-1 down, put the new one at p-1.
  const auto p = at - entries_.begin();
  dropped_.push_back(std::move(entries_[0].link));
  std::move(entries_.begin() + 1, entries_.begin() + p, entries_.begin());
  entries_[p - 1] = std::move(entry);
}

}  // namespace wrenly
