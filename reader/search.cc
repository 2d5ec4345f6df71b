#include "reader/search.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

#include "platform/text.h"
#include "reader/text_folding.h"
#include "store/channel_files.h"
#include "store/channel_store.h"
#include "store/data_root_lock.h"
#include "store/item_record.h"

namespace wrenly::reader {
namespace {

// The stamped name parts of each link's full text, from the URL index.
std::map<std::u16string, std::pair<uint32_t, uint32_t>> FullTextStamps(const std::string& itemFile) {
  std::map<std::u16string, std::pair<uint32_t, uint32_t>> stamps;
  RecordReader index(UrlIndexPathFor(itemFile));
  for (ItemRecord record; index.Next(record, RecordReader::kLink);) stamps[record.link] = {record.flag, record.type};
  return stamps;
}

std::u16string FullTextOf(const std::string& itemFile, const std::pair<uint32_t, uint32_t>& stamp) {
  std::ifstream in(StampedFilePath(itemFile, stamp.first, stamp.second, ".htm"), std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return HtmlText(Utf8ToUtf16(bytes));
}

void SearchChannel(const ReaderData& data, const CatalogEntry& entry, const std::vector<std::u16string>& words,
                   std::vector<SearchHit>& hits) {
  // The lock is held per channel, so a search over many channels never
  // keeps a refresh's merges waiting for long.
  const DataRootLock lock(data.root(), LockMode::kShared);
  const std::string itemFile = data.ChannelPath(entry.Number(), ".bin");
  std::optional<std::map<std::u16string, std::pair<uint32_t, uint32_t>>> stamps;
  CChannelStore store(itemFile, false);
  while (store.ReadNext()) {
    const ItemRecord& item = store.current();
    if (item.type == kItemTypeError || !IsLive(item)) continue;
    std::u16string text = FoldForSearch(item.title + u' ' + HtmlText(item.description));
    bool found = HoldsEveryWord(text, words);
    if (!found && (item.flag & kFlagUnreadFullText) != 0) {
      if (!stamps) stamps = FullTextStamps(itemFile);
      if (const auto stamp = stamps->find(item.link); stamp != stamps->end()) {
        text += u' ' + FoldForSearch(FullTextOf(itemFile, stamp->second));
        found = HoldsEveryWord(text, words);
      }
    }
    if (found) hits.push_back({entry.Number(), entry.Get(u"text"), item.title, item.link, item.date});
  }
}

}  // namespace

ValueResult<std::vector<SearchHit>> Search(const ReaderData& data, std::u16string_view query,
                                           std::optional<int> channel) {
  std::vector<CatalogEntry> entries;
  if (Result listed = data.ListChannels(entries); !listed.done()) return {listed};
  const std::vector<std::u16string> words = SearchWords(query);
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
