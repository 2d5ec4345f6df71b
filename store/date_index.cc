#include "store/date_index.h"

#include <algorithm>

namespace wrenly {

void DateIndex::Clear() {
  entries_.clear();
  sorted_ = true;
  built_ = false;
}

void DateIndex::Insert(std::u16string_view date, std::u16string_view link) {
  entries_.push_back({std::u16string(date), std::u16string(link)});
  sorted_ = false;
}

void DateIndex::Sort() const {
  if (sorted_) return;
  std::stable_sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) { return a.date < b.date; });
  sorted_ = true;
}

const DateIndex::Entry& DateIndex::operator[](size_t i) const {
  Sort();
  return entries_[i];
}

std::vector<std::u16string> DateIndex::Beyond(size_t limit) const {
  Sort();
  std::vector<std::u16string> links;
  for (size_t i = 0; i + limit < entries_.size(); ++i) links.push_back(entries_[i].link);
  return links;
}

}  // namespace wrenly
