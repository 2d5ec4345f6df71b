#include "reader/search.h"

#include <algorithm>

#include "platform/text.h"
#include "reader/search_index.h"
#include "reader/text_folding.h"
#include "store/data_root_lock.h"

namespace wrenly::reader {
namespace {

void SearchChannel(const ReaderData& data, const CatalogEntry& entry, const std::vector<std::string>& words,
                   std::vector<SearchHit>& hits) {
  // The lock is held per channel, so a search over many channels never
  // keeps a refresh's merges waiting for long.
  const DataRootLock lock(data.root(), LockMode::kShared);
  const std::shared_ptr<const ChannelIndex> index = CurrentIndex(data.ChannelPath(entry.Number(), ".bin"));
  if (index == nullptr) return;
  for (uint32_t i : index->Find(words)) {
    const IndexedItem& item = index->items()[i];
    hits.push_back({entry.Number(), entry.Get(u"text"), Utf8ToUtf16(item.title), Utf8ToUtf16(item.link),
                    Utf8ToUtf16(item.date), item.flag});
  }
}

}  // namespace

ValueResult<std::vector<SearchHit>> Search(const ReaderData& data, std::u16string_view query,
                                           std::optional<int> channel) {
  std::vector<CatalogEntry> entries;
  if (Result listed = data.ListChannels(entries); !listed.done()) return {listed};
  std::vector<std::string> words;
  for (const std::u16string& word : SearchWords(query)) words.push_back(Utf16ToUtf8(word));
  std::vector<SearchHit> hits;
  if (channel && std::none_of(entries.begin(), entries.end(), [&](const CatalogEntry& e) { return e.Number() == *channel; }))
    return {Result::Refused(Refusal::kNotFound, "there is no channel " + std::to_string(*channel))};
  if (words.empty()) return {Result::Done(), hits};
  for (const CatalogEntry& entry : entries)
    if (entry.Number() > 0 && (!channel || entry.Number() == *channel)) SearchChannel(data, entry, words, hits);
  std::stable_sort(hits.begin(), hits.end(), [](const SearchHit& a, const SearchHit& b) { return a.date > b.date; });
  return {Result::Done(), hits};
}

}  // namespace wrenly::reader
