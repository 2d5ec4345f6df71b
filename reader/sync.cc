// The sync of a data root with its account's server, in steps: send the
// journal, mirror the catalog, merge the new headlines, take the server's
// read state, save the state with the session kept open for the next sync. Each step takes the data root's lock for its
// own changes only; the state of the last sync is saved at the end, so a
// sync cut short is simply done again (merges and read flags are
// idempotent).
#include "reader/sync.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>

#include "platform/text.h"
#include "reader/feed_address.h"
#include "reader/reader_data.h"
#include "reader/sync_documents.h"
#include "reader/sync_session.h"
#include "reader/sync_state.h"
#include "net/transfer.h"
#include "net/web_address.h"
#include "store/channel_files.h"
#include "store/channel_store.h"
#include "store/data_root_lock.h"
#include "store/feed_parser.h"
#include "store/item_record.h"
#include "store/paths.h"
#include "store/settings.h"

namespace wrenly::reader {
namespace {

using sync::Headline;
using sync::ServerCategory;
using sync::ServerFeed;
using sync::ServerStatus;

struct Run {
  ReaderData data;
  SyncState state;
  sync::SyncServer& server;
  SyncReport report;
  sync::ServerOverview overview;
  SyncFeedState last, next;
  std::set<int> touched;  // channels whose counts changed, stored in one catalog save at the end
};

std::u16string CategoryTitle(const Run& run, std::int64_t id) {
  for (const ServerCategory& category : run.overview.categories)
    if (category.id == id) return Utf8ToUtf16(category.title);
  return {};
}

std::int64_t CategoryId(const Run& run, std::u16string_view title) {
  for (const ServerCategory& category : run.overview.categories)
    if (Utf8ToUtf16(category.title) == title) return category.id;
  return 0;
}

// The journal's changes, the last one of each article counting, sent in
// batches; the sent entries are then dropped from the journal.
Result SendJournal(Run& run) {
  const JournalRead journal = run.state.ReadJournal();
  if (journal.entries.empty()) return Result::Done();
  std::map<std::int64_t, bool> readById;
  std::set<std::int64_t> unsubscribed;
  for (const JournalEntry& entry : journal.entries) {
    if (entry.kind == JournalEntry::kUnsubscribe)
      unsubscribed.insert(entry.id);
    else
      readById[entry.id] = entry.kind == JournalEntry::kRead;
  }
  std::vector<std::int64_t> read, unread;
  for (const auto& [id, isRead] : readById) (isRead ? read : unread).push_back(id);
  for (const auto& [ids, isRead] : {std::pair{&read, true}, std::pair{&unread, false}})
    if (!ids->empty())
      if (ServerStatus sent = run.server.SetRead(*ids, isRead); !sent.ok()) return ServerRefusal(sent);
  for (const std::int64_t feed : unsubscribed) {
    // A feed already gone from the server is no failure.
    const ServerStatus sent = run.server.Unsubscribe(feed);
    if (!sent.ok() && sent.error != sync::ServerError::kRefused) return ServerRefusal(sent);
  }
  run.report.changesSent = static_cast<int>(readById.size() + unsubscribed.size());
  const DataRootLock lock(run.data.root(), LockMode::kExclusive);
  if (!run.state.DropJournalHead(journal.bytes))
    return Result::Refused(Refusal::kFile, "the sync journal in " + run.data.root() + " could not be rewritten");
  return Result::Done();
}

Result AskOverview(Run& run) {
  run.overview = {};
  if (ServerStatus asked = run.server.Overview(run.overview); !asked.ok()) return ServerRefusal(asked);
  return Result::Done();
}

const ServerFeed* FindFeed(const Run& run, std::u16string_view url) {
  for (const ServerFeed& feed : run.overview.feeds)
    if (SameFeedAddress(Utf8ToUtf16(feed.url), url)) return &feed;
  return nullptr;
}

bool WasSynced(const Run& run, int channel) {
  return std::any_of(run.last.feeds.begin(), run.last.feeds.end(),
                     [channel](const auto& feed) { return feed.second == channel; });
}

// Local channels the server lacks: gone from the server when they were
// synced before, else new here and subscribed there (once: a channel the
// server refused stays local).
Result SendOrDropLocalChannels(Run& run, const std::vector<CatalogEntry>& channels) {
  bool subscribed = false;
  for (const CatalogEntry& channel : channels) {
    const std::u16string url = channel.Get(u"xmlUrl");
    if (url.empty() || FindFeed(run, url) != nullptr) continue;
    if (WasSynced(run, channel.Number())) {
      if (run.data.Unsubscribe(url).done()) ++run.report.channelsRemoved;
      continue;
    }
    const std::string address = Utf16ToUtf8(url);
    if (run.last.refused.contains(address)) {
      run.next.refused.insert(address);
      continue;
    }
    std::int64_t feedId = 0;
    const ServerStatus sent = run.server.Subscribe(address, CategoryId(run, channel.category), feedId);
    if (sent.error == sync::ServerError::kRefused) {
      run.report.notes.push_back(Utf16ToUtf8(channel.Get(u"text")) + " stays a local channel: " + sent.message);
      run.next.refused.insert(address);
      continue;
    }
    if (!sent.ok()) return ServerRefusal(sent);
    ++run.report.channelsSent;
    subscribed = true;
  }
  return subscribed ? AskOverview(run) : Result::Done();
}

// The server's categories and feeds in the catalog. A feed without a
// category on the server keeps a local category the server does not have
// (the API cannot make one).
Result MirrorCatalog(Run& run) {
  std::vector<CatalogEntry> channels;
  std::vector<std::u16string> categories;
  if (Result listed = run.data.ListCatalog(channels, categories); !listed.done()) return listed;
  if (Result sent = SendOrDropLocalChannels(run, channels); !sent.done()) return sent;
  for (const ServerCategory& category : run.overview.categories) {
    const std::u16string title = Utf8ToUtf16(category.title);
    if (std::find(categories.begin(), categories.end(), title) == categories.end()) run.data.AddCategory(title);
  }
  channels.clear();
  if (Result listed = run.data.ListChannels(channels); !listed.done()) return listed;
  std::vector<NewChannel> added;
  std::vector<std::int64_t> addedIds;
  for (const ServerFeed& feed : run.overview.feeds) {
    const std::u16string url = Utf8ToUtf16(feed.url);
    std::u16string category = CategoryTitle(run, feed.categoryId);
    const auto local = std::find_if(channels.begin(), channels.end(),
                                    [&url](const CatalogEntry& c) { return SameFeedAddress(c.Get(u"xmlUrl"), url); });
    if (local == channels.end()) {
      added.push_back({category.empty() ? kOthersCategory : category, Utf8ToUtf16(feed.title), url, std::nullopt});
      addedIds.push_back(feed.id);
      continue;
    }
    run.next.feeds[feed.id] = local->Number();
    if (category.empty() && CategoryId(run, local->category) == 0) continue;
    if (category.empty()) category = kOthersCategory;
    if (local->category != category) run.data.Move(url, category);
  }
  if (added.empty()) return Result::Done();
  // The new channels in one change of the catalog.
  const ValueResult<std::vector<Subscription>> subscribed = run.data.SubscribeAll(added);
  if (!subscribed.done()) return subscribed.result;
  for (std::size_t i = 0; i < added.size(); ++i) {
    const Subscription& one = subscribed.value[i];
    if (!one.result.done() || one.number == 0) {
      run.report.notes.push_back(Utf16ToUtf8(added[i].url) + " could not be added: " + one.result.message);
      continue;
    }
    ++run.report.channelsAdded;
    run.next.feeds[addedIds[i]] = one.number;
  }
  return Result::Done();
}

// Sets the read flag of the items whose article's wanted state differs,
// keeping the full-text bit, and stores the channel's counts.
int ApplyReadState(Run& run, int channel, const std::map<std::int64_t, bool>& unreadById,
                   const std::set<std::int64_t>& pending) {
  std::map<std::u16string, bool> wanted;
  {
    const std::unordered_map<std::int64_t, std::u16string> links = run.state.LinksById(channel);
    for (const auto& [id, unread] : unreadById) {
      const auto link = links.find(id);
      if (link != links.end() && !pending.contains(id)) wanted[link->second] = unread;
    }
  }
  int changed = 0;
  {
    const DataRootLock lock(run.data.root(), LockMode::kExclusive);
    CChannelStore store(run.data.ChannelPath(channel, ".bin"), false);
    std::vector<std::pair<std::u16string, bool>> changes;
    while (store.ReadNext()) {
      const ItemRecord& record = store.current();
      const auto want = wanted.find(record.link);
      if (want == wanted.end() || record.type == kItemTypeError) continue;
      const bool unread = (record.flag & kFlagRead) == 0;
      if (unread != want->second) changes.emplace_back(record.link, want->second);
    }
    for (const auto& [link, unread] : changes) {
      store.UpdateField(link, ItemField::kReadFlag, unread ? kFlagUnread : kFlagRead);
      store.UpdateField(link, ItemField::kReadFlag, unread ? kFlagUnreadFullText : kFlagReadFullText);
    }
    changed = static_cast<int>(changes.size());
  }
  if (changed > 0) run.touched.insert(channel);
  return changed;
}

// The merged items' pictures come from their sites, as after a refresh.
void FetchPictures(const Run& run, int channel, const std::vector<MergedPicture>& pictures) {
  const std::string items = run.data.ChannelPath(channel, ".bin");
  for (const MergedPicture& picture : pictures) {
    const std::string file = StampedFilePath(items, picture.stamp, picture.sequence, ".img");
    if (FileExists(file)) continue;
    std::uint32_t code = 0;
    std::u16string error;
    DownloadUrlToFile(ResolveWebAddress(picture.itemLink, picture.address), file, &code, &error);
  }
}

// Merges the document as a refresh does (the store part under the lock);
// the new item count, or -1 when it is no feed or could not be stored.
int MergeDocument(const Run& run, int channel, const std::string& document, std::vector<MergedPicture>& pictures) {
  const std::string fresh = run.data.ChannelPath(channel, "~.xml");
  {
    std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
    out << document;
    if (!out.flush()) return -1;
  }
  CFeedParser feed;
  feed.SetMergeGuard([&run](const std::function<void()>& merge) {
    const DataRootLock lock(run.data.root(), LockMode::kExclusive);
    merge();
  });
  if (feed.Load(fresh) != 1 || feed.MergeItems() != 1) {
    std::remove(fresh.c_str());
    return -1;
  }
  pictures = feed.merged().pictures;
  const DataRootLock lock(run.data.root(), LockMode::kExclusive);
  DeleteErrorRecord(run.data.ChannelPath(channel, ".bin"));
  if (std::rename(fresh.c_str(), run.data.ChannelPath(channel, ".xml").c_str()) != 0) std::remove(fresh.c_str());
  return feed.newItemCount();
}

Result MergeHeadlines(Run& run, std::map<int, std::vector<Headline>>& byChannel) {
  const bool pictures = GetSettingInt(setting::kDownloadImage) != 0;
  for (auto& [channel, headlines] : byChannel) {
    std::vector<MergedPicture> newPictures;
    const int merged = MergeDocument(run, channel, HeadlinesDocument("", headlines), newPictures);
    if (merged < 0)
      return Result::Refused(Refusal::kFile, "the items of channel " + std::to_string(channel) + " could not be stored");
    run.report.newItems += merged;
    run.touched.insert(channel);
    if (pictures) FetchPictures(run, channel, newPictures);
    std::vector<std::pair<std::int64_t, std::u16string>> ids;
    std::map<std::int64_t, bool> unreadById;
    for (const Headline& headline : headlines) {
      ids.emplace_back(headline.id, Utf8ToUtf16(HeadlineLink(headline)));
      unreadById[headline.id] = headline.unread;
    }
    {
      const DataRootLock lock(run.data.root(), LockMode::kExclusive);
      if (!run.state.AppendIds(channel, ids))
        return Result::Refused(Refusal::kFile,
                               "the article ids of channel " + std::to_string(channel) + " could not be written");
    }
    run.report.changesReceived += ApplyReadState(run, channel, unreadById, {});
  }
  return Result::Done();
}

// The counts of the channels the sync changed, in one save of the catalog.
Result StoreCounts(const Run& run) {
  if (run.touched.empty()) return Result::Done();
  std::vector<CatalogEntry> channels;
  if (Result listed = run.data.ListChannels(channels); !listed.done()) return listed;
  std::map<std::u16string, ChannelCountValues> counts;
  for (const CatalogEntry& channel : channels) {
    if (!run.touched.contains(channel.Number())) continue;
    const ItemCounts items = run.data.Counts(channel.Number());
    if (items.readable) counts[channel.Get(u"xmlUrl")] = {items.total, items.total - items.read};
  }
  return ReaderData(run.data.root()).StoreCounts(counts);
}

// Headlines held in memory before they are merged, so that a first sync of
// many long articles stays small.
constexpr std::size_t kMergeBytes = 4u << 20;

// The new headlines, merged a few MB at a time: a feed new to this data
// root from its first article, the others since the highest id seen.
Result FetchAndMergeHeadlines(Run& run) {
  std::set<std::int64_t> seen;
  std::map<int, std::vector<Headline>> byChannel;
  std::size_t bytes = 0;
  Result merged = Result::Done();
  const auto keep = [&](Headline&& headline) {
    if (!merged.done() || !seen.insert(headline.id).second) return;
    run.next.sinceId = std::max(run.next.sinceId, headline.id);
    const auto channel = run.next.feeds.find(headline.feedId);
    if (channel == run.next.feeds.end()) return;
    bytes += headline.content.size() + headline.title.size() + headline.link.size();
    byChannel[channel->second].push_back(std::move(headline));
    if (bytes < kMergeBytes) return;
    merged = MergeHeadlines(run, byChannel);
    byChannel.clear();
    bytes = 0;
  };
  std::vector<sync::HeadlineQuery> queries;
  if (run.last.feeds.empty()) {
    queries.push_back({0, true, 0});
  } else {
    queries.push_back({0, true, run.last.sinceId});
    for (const auto& [feed, channel] : run.next.feeds)
      if (!run.last.feeds.contains(feed)) queries.push_back({feed, false, 0});
  }
  for (const sync::HeadlineQuery& query : queries) {
    if (ServerStatus asked = run.server.Headlines(query, keep); !asked.ok()) return ServerRefusal(asked);
    if (!merged.done()) return merged;
  }
  return MergeHeadlines(run, byChannel);
}

// The article ids of the channel's unread items.
std::set<std::int64_t> LocalUnread(const Run& run, int channel) {
  const auto ids = run.state.IdsByLink(channel);
  std::set<std::int64_t> unread;
  RecordReader reader(run.data.ChannelPath(channel, ".bin"));
  ItemRecord record;
  while (reader.Next(record, RecordReader::kLink)) {
    if (!IsLive(record) || record.type == kItemTypeError || (record.flag & kFlagRead) != 0) continue;
    const auto id = ids.find(record.link);
    if (id != ids.end()) unread.insert(id->second.begin(), id->second.end());
  }
  return unread;
}

// The channels with an article read lately on the server but unread here
// and not changed here since. The unread counts alone miss one article read
// and another marked unread in the same feed.
std::set<int> ReadThereUnreadHere(const Run& run, const std::map<int, std::set<std::int64_t>>& unread,
                                  const std::set<std::int64_t>& pending) {
  std::set<int> channels;
  for (const Headline& headline : run.overview.recentlyRead) {
    const auto channel = run.next.feeds.find(headline.feedId);
    if (channel == run.next.feeds.end() || pending.contains(headline.id)) continue;
    const auto here = unread.find(channel->second);
    if (here != unread.end() && here->second.contains(headline.id)) channels.insert(channel->second);
  }
  return channels;
}

// The feeds whose read state differs from this data root's (by their unread
// counts or an article read lately) get their unread article ids asked, and
// every known article of theirs follows them. Local changes made since the
// journal was sent win.
Result TakeReadState(Run& run) {
  std::set<std::int64_t> pending;
  for (const JournalEntry& entry : run.state.ReadJournal().entries)
    if (entry.kind != JournalEntry::kUnsubscribe) pending.insert(entry.id);
  std::map<int, std::set<std::int64_t>> unread;
  for (const auto& [feed, channel] : run.next.feeds) unread[channel] = LocalUnread(run, channel);
  const std::set<int> readThere = ReadThereUnreadHere(run, unread, pending);
  for (const ServerFeed& feed : run.overview.feeds) {
    const auto channel = run.next.feeds.find(feed.id);
    if (channel == run.next.feeds.end()) continue;
    if (unread[channel->second].size() == static_cast<std::size_t>(feed.unread) &&
        !readThere.contains(channel->second))
      continue;
    std::map<std::int64_t, bool> unreadById;
    for (const auto& [id, link] : run.state.LinksById(channel->second)) unreadById[id] = false;
    // An unread article this data root never got (a page boundary of the
    // server's paging can skip one) is merged now.
    std::map<int, std::vector<Headline>> missing;
    const ServerStatus asked = run.server.Headlines({feed.id, false, 0, true, true}, [&](Headline&& headline) {
      if (!unreadById.contains(headline.id)) missing[channel->second].push_back(std::move(headline));
      unreadById[headline.id] = true;
    });
    if (!asked.ok()) return ServerRefusal(asked);
    if (Result merged = MergeHeadlines(run, missing); !merged.done()) return merged;
    run.report.changesReceived += ApplyReadState(run, channel->second, unreadById, pending);
  }
  return Result::Done();
}

// The state of the last sync with the account; an empty one when the data
// root synced with another server or user before, whose article ids, journal
// and feeds mean nothing here (the channels stay and are matched by address,
// their items by link). Called once the account's server let the sync in.
ValueResult<SyncFeedState> LastState(const std::string& root, const SyncState& state, const std::string& account) {
  const DataRootLock lock(root, LockMode::kExclusive);
  SyncFeedState last = state.ReadFeeds();
  if (last.account == account || (last.account.empty() && last.sinceId == 0)) return {Result::Done(), std::move(last)};
  if (!state.Reset()) return {Result::Refused(Refusal::kFile, "cannot reset " + root + "/Sync"), {}};
  return {Result::Done(), {}};
}

// The session the last sync with the account kept open, if any.
std::string KeptSession(const std::string& root, const SyncState& state, const std::string& account) {
  const DataRootLock lock(root, LockMode::kShared);
  const SyncFeedState last = state.ReadFeeds();
  return last.account == account ? last.session : std::string();
}

}  // namespace

bool SyncJournalActive(const std::string& root) { return SyncState(root).Active(); }

ValueResult<SyncReport> Sync(const std::string& root, const Account& account) {
  const ReaderData data(root);
  const SyncState state(root);
  if (Result made = data.CreateFolders(); !made.done()) return {made};
  if (!state.Activate()) return {Result::Refused(Refusal::kFile, "cannot make " + root + "/Sync")};
  const std::string key = account.url + " " + account.user;
  ValueResult<std::unique_ptr<SyncSession>> session = SyncSession::Open(account, KeptSession(root, state, key));
  if (!session.done()) return {session.result};
  ValueResult<SyncFeedState> last = LastState(root, state, key);
  if (!last.done()) return {last.result};
  Run run{data, state, session.value->server(), {}, {}, std::move(last.value), {}, {}};
  run.next.account = key;
  run.next.sinceId = run.last.sinceId;
  if (Result step = SendJournal(run); !step.done()) return {step};
  if (Result step = AskOverview(run); !step.done()) return {step};
  if (Result step = MirrorCatalog(run); !step.done()) return {step};
  if (Result step = FetchAndMergeHeadlines(run); !step.done()) return {step};
  if (Result step = TakeReadState(run); !step.done()) return {step};
  const Result counted = StoreCounts(run);
  run.next.session = session.value->Keep();
  {
    const DataRootLock lock(root, LockMode::kExclusive);
    if (!run.state.WriteFeeds(run.next))
      return {Result::Refused(Refusal::kFile, "the sync state in " + root + "/Sync could not be written")};
  }
  run.report.requests = run.server.requests();
  return {counted.done() ? Result::Done() : Result::Done(counted.message), std::move(run.report)};
}

}  // namespace wrenly::reader
