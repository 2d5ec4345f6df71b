// The wizard's additions to the catalog: several channels in one change of
// the catalog under the data root's lock, each refused alone, with the
// template copies of the channels that got a number.
#include <map>

#include "platform/atomic_file.h"
#include "platform/text.h"
#include "reader/catalog_file.h"
#include "reader/feed_address.h"
#include "reader/reader_data.h"
#include "store/data_root_lock.h"
#include "store/paths.h"

namespace wrenly::reader {
namespace {

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

// Adds one channel; `holders` maps every address subscribed so far to its
// channel's title and learns the new one.
Subscription Add(ListedCatalog& catalog, std::map<std::u16string, std::u16string>& holders, const NewChannel& add) {
  if (add.url.empty()) {
    // An outline without an address, as the wizard makes a category; a
    // title already there is left as it is.
    catalog.AddChannel(add.category, add.title, u"");
    return {};
  }
  const std::u16string address = ComparableFeedAddress(add.url);
  if (const auto held = holders.find(address); held != holders.end()) {
    const std::string message = "the address \"" + Utf16ToUtf8(add.url) + "\" is already subscribed as \"" +
                                Utf16ToUtf8(held->second) + "\"";
    return {Result::Refused(Refusal::kDuplicateAddress, message), 0, held->second};
  }
  const int number = catalog.AddChannel(add.category, add.title, add.url);
  if (number == 0) {
    const std::string message = "a channel titled \"" + Utf16ToUtf8(add.title) + "\" is already in its category";
    return {Result::Refused(Refusal::kExists, message), 0, {}};
  }
  holders.emplace(address, add.title);
  return {Result::Done(), number, {}};
}

// Writes the template copies of the added channels; a copy that cannot be
// written leaves its channel subscribed, with a note.
Result WriteTemplates(const ReaderData& data, const std::vector<NewChannel>& channels,
                      const std::vector<Subscription>& added) {
  std::string failed;
  for (std::size_t i = 0; i < channels.size(); ++i) {
    if (added[i].number == 0 || !channels[i].script) continue;
    std::string error;
    if (!WriteFileAtomically(data.ChannelPath(added[i].number, ".tpl"),
                             kUtf8Mark + Utf16ToUtf8(*channels[i].script), &error))
      failed += (failed.empty() ? "" : "; ") + error;
  }
  return Result::Done(failed.empty() ? std::string() : "a template copy could not be written: " + failed);
}

}  // namespace

bool ReaderData::HasCatalog() const {
  const DataRootLock lock(root_, LockMode::kShared);
  return FileExists(CatalogPath());
}

ValueResult<std::vector<Subscription>> ReaderData::SubscribeAll(const std::vector<NewChannel>& channels) {
  const DataRootLock lock(root_, LockMode::kExclusive);
  ListedCatalog catalog;
  if (Result loaded = LoadCatalog(*this, catalog); !loaded.done()) return {loaded};
  std::map<std::u16string, std::u16string> holders;
  for (const CatalogEntry& entry : catalog.entries)
    if (const std::u16string url = entry.Get(u"xmlUrl"); !url.empty())
      holders.emplace(ComparableFeedAddress(url), entry.Get(u"text"));
  std::vector<Subscription> added;
  {
    const CChannelCatalog::DeferredSave oneSave(catalog);
    for (const NewChannel& channel : channels) added.push_back(Add(catalog, holders, channel));
  }
  if (Result saved = Saved(catalog); !saved.done()) return {saved};
  return {WriteTemplates(*this, channels, added), std::move(added)};
}

}  // namespace wrenly::reader
