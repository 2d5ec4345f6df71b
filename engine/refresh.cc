#include "engine/refresh.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "engine/feed_validators.h"
#include "engine/fetcher_process.h"
#include "engine/messages.h"
#include "engine/refresh_abort.h"
#include "engine/shared_downloads.h"
#include "net/transfer.h"
#include "net/transfer_control.h"
#include "net/web_address.h"
#include "platform/file_ops.h"
#include "platform/temp_files.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "store/channel_files.h"
#include "store/channel_store.h"
#include "store/data_root_lock.h"
#include "store/feed_parser.h"
#include "store/full_text_mode.h"
#include "store/item_record.h"
#include "store/paths.h"
#include "store/settings.h"

namespace wrenly {
namespace {

struct StampAndSequence {
  std::uint32_t stamp = 0;
  std::uint32_t sequence = 0;
};

// The URL index read once: every address with its stamp and sequence. The
// first record of an address wins, as a lookup from the start would find.
std::unordered_map<std::u16string, StampAndSequence> ReadUrlIndex(const std::string& path) {
  std::unordered_map<std::u16string, StampAndSequence> index;
  RecordReader reader(path);
  ItemRecord record;
  while (reader.Next(record, RecordReader::kLink))
    if (IsLive(record)) index.emplace(std::move(record.link), StampAndSequence{record.flag, record.type});
  return index;
}

// The settings a refresh uses, read once when it starts.
struct RefreshSettings {
  bool downloadImage = false;
  bool downloadFulltext = false;
  bool useProxy = false;
  std::string proxyAddress;
  std::string dataRoot;  // its lock is held for each change of a channel's files
  std::string channelDataFolder;
  int articleLimit = 0;
  std::map<int, FullTextMode> fullTextModes;  // by channel number, from the catalog
};

// With the proxy on, its address is the "NetAgencyIP" setting (the built-in
// one when empty).
RefreshSettings ReadRefreshSettings() {
  RefreshSettings settings;
  settings.downloadImage = GetSettingInt(setting::kDownloadImage) != 0;
  settings.downloadFulltext = GetSettingInt(setting::kDownloadFulltext) != 0;
  settings.useProxy = GetSettingInt(setting::kUseNetAgency) != 0;
  const std::u16string address = std::u16string(Trim(GetSettingString(setting::kNetAgencyIP)));
  settings.proxyAddress =
      address.empty() ? std::string(TransferControl::kDefaultProxyAddress) : Utf16ToUtf8(address);
  settings.dataRoot = GetDataRoot();
  settings.channelDataFolder = settings.dataRoot + "/ChannelData";
  settings.articleLimit = GetArticleLimit();
  const DataRootLock lock(settings.dataRoot, LockMode::kShared);
  settings.fullTextModes = ReadFullTextModes(settings.channelDataFolder + "/Channels.opml");
  return settings;
}

// The transfer state every download of this refresh uses.
void ApplyProxySettings(const RefreshSettings& settings) {
  TransferControl& control = GetTransferControl();
  control.SetUseProxy(settings.useProxy);
  if (settings.useProxy) control.SetProxyAddress(settings.proxyAddress);
}

bool Download(std::u16string_view url, const std::string& path, std::uint32_t* code = nullptr,
              std::u16string* text = nullptr, ConditionalGet* conditional = nullptr) {
  std::uint32_t localCode = 0;
  std::u16string localText;
  return DownloadUrlToFile(url, path, code != nullptr ? code : &localCode, text != nullptr ? text : &localText,
                           nullptr, nullptr, nullptr, conditional) == S_OK;
}

std::string LocalTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

// A download's temporary file (DownloadTempPath): removed when it goes,
// unless it was renamed into place.
class ScratchFile {
 public:
  explicit ScratchFile(std::string path) : path_(std::move(path)) {}
  ~ScratchFile() {
    if (!kept_) std::remove(path_.c_str());
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  const std::string& path() const { return path_; }
  bool RenameTo(const std::string& target) {
    kept_ = std::rename(path_.c_str(), target.c_str()) == 0;
    return kept_;
  }

 private:
  std::string path_;
  bool kept_ = false;
};

struct ChannelPaths {
  ChannelPaths(const std::string& folder, int n)
      : feed(Path(folder, n, ".xml")),
        download(Path(folder, n, "~.xml")),
        items(Path(folder, n, ".bin")),
        urlIndex(Path(folder, n, ".iid")),
        templ(Path(folder, n, ".tpl")),
        logo(Path(folder, n, "-Logo.img")),
        siteIcon(Path(folder, n, "-Fav.ico")) {}
  static std::string Path(const std::string& folder, int n, std::string_view suffix) {
    return folder + "/" + ChannelFileName(n, suffix);
  }
  std::string feed, download, items, urlIndex, templ, logo, siteIcon;
};

struct Row {
  const RefreshContext& context;
  const RefreshSettings& settings;
  int row;
  int channel;
  ChannelPaths paths;
  FeedValidatorTable& validators;
};

bool IsAbsolute(std::u16string_view address) { return address.find(u"://") != std::u16string_view::npos; }

// A picture address as a browser would take it on the item's page: resolved
// against the item's link, or the channel's link when the item has none.
std::u16string PictureUrl(const MergedPicture& picture, const std::optional<std::u16string>& channelLink) {
  std::u16string url = ResolveWebAddress(picture.itemLink, picture.address);
  if (!IsAbsolute(url) && channelLink) url = ResolveWebAddress(*channelLink, picture.address);
  return url;
}

// The pictures the merge added to the URL index, under the names their
// records give them (the address as the body writes it is the key).
void FetchPictures(const Row& r, const CFeedParser& parser) {
  Trace("Download image files\n");
  if (!r.settings.downloadImage || parser.merged().pictures.empty()) return;
  const std::optional<std::u16string> channelLink = parser.ChannelLink();
  for (const MergedPicture& picture : parser.merged().pictures) {
    if (IsRefreshAborted()) break;
    const std::string file = StampedFilePath(r.paths.items, picture.stamp, picture.sequence, ".img");
    if (!FileExists(file)) Download(PictureUrl(picture, channelLink), file);
  }
}

// Queues a full-text job for every item whose full text is not on disk yet:
// with the channel's template, or by automatic extraction when the channel
// asks for it.
void QueueFullTexts(const Row& r) {
  Trace("Download fulltext files\n");
  const ChannelPaths& paths = r.paths;
  const auto chosen = r.settings.fullTextModes.find(r.channel);
  const FullTextMode mode = chosen != r.settings.fullTextModes.end() ? chosen->second : FullTextMode::kTemplate;
  if (!r.settings.downloadFulltext || IsRefreshAborted() || mode == FullTextMode::kOff) return;
  // Without an extraction template a "template" channel gets no full texts.
  if (mode == FullTextMode::kTemplate && !FileExists(paths.templ)) return;
  const std::string& extraction = mode == FullTextMode::kAutomatic ? kAutomaticExtraction : paths.templ;
  const auto index = ReadUrlIndex(paths.urlIndex);
  RecordReader reader(paths.items);
  ItemRecord record;
  while (!IsRefreshAborted() && reader.Next(record, RecordReader::kLink)) {
    if (!IsLive(record) || record.type == kItemTypeError) continue;
    const auto it = index.find(record.link);
    if (it == index.end()) continue;
    std::string text = StampedFilePath(paths.items, it->second.stamp, it->second.sequence, ".htm");
    if (FileExists(text)) continue;
    r.context.manager->AddJob(record.link, std::move(text), extraction, false, r.channel, IsRefreshAborted);
  }
}

// The channel's logo, link and own site icon as its current feed document
// gives them.
struct ChannelAddresses {
  bool known = false;  // false: read them from the feed document on disk
  std::optional<std::u16string> logo, link, siteIcon;
};

ChannelAddresses AddressesOf(const CFeedParser& feed) {
  return {true, feed.LogoAddress(), feed.ChannelLink(), feed.SiteIconAddress()};
}

// Each change of the channel's records holds the data root's lock for that
// change alone and for this channel only, so other processes and screens can
// work between them and the other rows' changes go on beside it. The records
// are read without it: an append never disturbs a reader (a torn tail is
// skipped) and a compaction replaces the file by a rename.
void WriteChannelError(const Row& r, std::u16string_view error) {
  const DataRootLock lock(r.settings.dataRoot, r.channel);
  WriteErrorRecord(r.paths.items, error);
}

// The items are read from the document before the lock is taken.
int MergeLocked(const Row& r, CFeedParser& parser) {
  parser.SetMergeGuard([&r](const std::function<void()>& merge) {
    const DataRootLock lock(r.settings.dataRoot, r.channel);
    merge();
  });
  return parser.MergeItems();
}

// The row failed: the error record and the row say why.
int FailRow(const Row& r, std::u16string_view reason) {
  WriteChannelError(r, reason);
  r.context.panel->SetLastError(r.row, std::u16string(reason));
  return 0;
}

// The row is done without a merge: the feed did not change since the last
// good download.
int KeepUnchangedFeed(const Row& r) {
  Trace("The feed is unchanged\n");
  QueueFullTexts(r);
  if (IsRefreshAborted()) return 1;
  const DataRootLock lock(r.settings.dataRoot, r.channel);
  DeleteErrorRecord(r.paths.items);
  return 1;
}

// Downloads and merges the feed. 1 when the channel was updated; then the
// addresses come from the document just merged, which is the one on disk.
// The validators of the last good download go with the request while its
// document is on disk; a 304 answer to them keeps everything as it is and
// sets `unchanged`. A merge that could not write its files is a failure
// that keeps the last good feed document and its validators, so the next
// request asks for the whole feed again.
int UpdateFeed(const Row& r, const std::u16string& url, ChannelAddresses& addresses, bool& unchanged) {
  Trace("Start URLDownloadToFile()\n");
  if (IsRefreshAborted()) return 0;
  const ChannelPaths& paths = r.paths;
  ConditionalGet conditional;
  const std::string address = Utf16ToUtf8(url);
  if (FileExists(paths.feed)) conditional.send = r.validators.Get(r.channel, address);
  std::uint32_t code = 0;
  std::u16string error;
  // The body stays in its temporary file until it replaces the feed document
  // after a good merge: one new file and one rename per changed feed.
  ScratchFile download(DownloadTempPath(paths.download));
  const bool downloaded = Download(url, download.path(), &code, &error, &conditional);
  if (IsRefreshAborted()) return 0;
  if (!downloaded) return FailRow(r, error.empty() ? std::u16string_view(kNotDownloadedText) : error);
  // A 304 without validators to answer leaves the channel without a feed.
  if (conditional.notModified && conditional.send.etag.empty() && conditional.send.lastModified.empty())
    return FailRow(r, kNotModifiedUnaskedText);
  unchanged = conditional.notModified;
  if (unchanged) return KeepUnchangedFeed(r);
  Trace("Parse channel XML\n");
  CFeedParser parser(IsRefreshAborted);
  parser.SetArticleLimit(r.settings.articleLimit);
  if (parser.Load(download.path()) != 1 || MergeLocked(r, parser) != 1) {
    // An error page, a login portal or a truncated transfer, or a store that
    // cannot be written: the last good feed stays, and the failure is
    // recorded as such where it can be.
    return FailRow(r, parser.merged().written ? kNotAFeedText : kNotStoredText);
  }
  if (parser.newItemCount() > 0)
    PostMessageTo(r.context.view, WM_CHANNEL_NEW_ITEMS, static_cast<std::uint64_t>(r.row), parser.newItemCount());
  FetchPictures(r, parser);
  QueueFullTexts(r);
  if (IsRefreshAborted()) return 1;
  if (!download.RenameTo(paths.feed)) {
    Trace("The downloaded feed could not replace the last one\n");
  } else {
    addresses = AddressesOf(parser);
    r.validators.Set(r.channel, address, conditional.received);
  }
  if (parser.merged().errorRecordLive) {
    const DataRootLock lock(r.settings.dataRoot, r.channel);
    DeleteErrorRecord(paths.items);
  }
  return 1;
}

// The feed document on disk is read only when the logo or the site icon is
// still missing. Channels of one site share one download of its icon.
void FetchLogoAndSiteIcon(const ChannelPaths& paths, ChannelAddresses addresses, SharedDownloads& shared) {
  Trace("Download website icon\n");
  if (FileExists(paths.logo) && FileExists(paths.siteIcon)) return;
  if (!addresses.known) {
    CFeedParser feed;
    if (feed.Load(paths.feed) != 1) return;
    addresses = AddressesOf(feed);
  }
  const auto fetch = [&shared](const std::u16string& url, const std::string& path) {
    shared.Fetch(url, path, [&url](const std::string& target) { return Download(url, target); });
  };
  // Relative addresses are taken against the channel's link.
  const std::u16string link = addresses.link.value_or(u"");
  const std::optional<std::u16string>& logo = addresses.logo;
  if (logo && !logo->empty() && !IsRefreshAborted() && !FileExists(paths.logo))
    fetch(ResolveWebAddress(link, *logo), paths.logo);
  if ((!addresses.link && !addresses.siteIcon) || IsRefreshAborted()) return;
  const std::u16string icon = addresses.siteIcon ? ResolveWebAddress(link, *addresses.siteIcon) : SiteIconUrl(link);
  if (!icon.empty() && !FileExists(paths.siteIcon)) fetch(icon, paths.siteIcon);
}

void ShowCounts(const Row& r) {
  const ItemCounts counts = CountItems(r.paths.items);
  // Without a readable item file the counts are unknown, not 0/0.
  if (IsRefreshAborted() || !counts.readable) return;
  const int unread = counts.total - counts.read;
  IChannelPanel& panel = *r.context.panel;
  panel.SetText(r.row, kColumnCounts,
                counts.total > 0 ? Utf8ToUtf16(std::to_string(unread) + "/" + std::to_string(counts.total)) : u"");
  panel.SetText(r.row, kColumnHasUnread, unread > 0 ? u"1" : u"0");
  panel.SetText(r.row, kColumnSiteIcon, Utf8ToUtf16(r.paths.siteIcon));
  panel.RedrawRow(r.row);
  PostMessageTo(r.context.view, WM_CHANNEL_COUNTS, static_cast<std::uint64_t>(r.row),
                PackChannelCounts(counts.total, unread));
}

// The download manager has no worker, so no full-text job could ever run and
// the end of the refresh would never come: every row fails at once instead.
void FailWithoutWorker(IChannelPanel& panel) {
  Trace("The refresh cannot run: the download manager has no worker thread\n");
  panel.SetBusy(true);
  BroadcastRegistered(kMsgDownloadStart);
  const int first = std::max(panel.Target(), 0);
  const int last = panel.Target() < 0 ? panel.RowCount() : std::min(first + 1, panel.RowCount());
  for (int r = first; r < last; ++r) {
    panel.SetLastError(r, kNoWorkerText);
    panel.SetIcon(r, kIconNotUpdated);
    panel.RedrawRow(r);
  }
  panel.SetBusy(false);
  BroadcastRegistered(kMsgHeadlinesFinished);
  panel.SetTarget(-1);
}

// 1 when the row's feed was downloaded and merged (or was unchanged), else 0.
int RefreshRow(const RefreshContext& context, const RefreshSettings& settings, SharedDownloads& shared,
               FeedValidatorTable& validators, int row, const std::optional<std::u16string>& synced) {
  IChannelPanel& panel = *context.panel;
  const int channel = panel.ChannelNumber(row);
  const std::u16string url = panel.Text(row, kColumnFeedUrl);
  const Row r{context, settings, row, channel, ChannelPaths(settings.channelDataFolder, channel), validators};
  if (synced) {
    if (IsRefreshAborted()) {
      panel.SetLastError(row, u"");
      return 0;
    }
    // The sync merged the new items already, or failed for every row.
    const int result = synced->empty() ? KeepUnchangedFeed(r) : FailRow(r, *synced);
    ShowCounts(r);
    return result;
  }
  ChannelAddresses addresses;
  bool unchanged = false;
  const int result = UpdateFeed(r, url, addresses, unchanged);
  if (IsRefreshAborted()) {
    panel.SetLastError(row, u"");
    return 0;
  }
  // An unchanged feed starts no picture work, the logo and site icon included.
  if (!unchanged) FetchLogoAndSiteIcon(r.paths, std::move(addresses), shared);
  ShowCounts(r);
  return result;
}

// Saves the validators of every channel downloaded, then flushes the channel
// folder once: their table and the feed documents renamed before it survive a
// power cut from here on. Unsaved, the next refresh asks those feeds in full.
void SaveValidators(const RefreshSettings& settings, FeedValidatorTable& validators) {
  {
    const DataRootLock lock(settings.dataRoot, LockMode::kExclusive);
    if (!validators.Save(Flush::kNone)) Trace("The feed validators could not be saved\n");
  }
  if (!SyncFolder(settings.channelDataFolder)) Trace("The channel folder could not be flushed\n");
}

// Stores the refresh's start time in the settings beside the downloads: the
// settings write waits for the disk (tens of milliseconds on a fresh file),
// and nothing in the refresh reads the time back. Written here when no
// thread can be started.
std::jthread StoreUpdateTimeAside() {
  std::u16string time = Utf8ToUtf16(LocalTimeText());
  try {
    return std::jthread([time] { SetSettingString(setting::kLastUpdateTime, time); });
  } catch (const std::system_error&) {
    SetSettingString(setting::kLastUpdateTime, time);
    return {};
  }
}

}  // namespace

std::u16string SiteIconUrl(std::u16string_view link) {
  const std::size_t slashes = link.find(u"//");
  if (slashes == std::u16string_view::npos) return {};
  // The host ends at the first "/", "?" or "#" after the scheme.
  const std::size_t end = std::min(link.find_first_of(u"/?#", slashes + 2), link.size());
  std::u16string url(link.substr(0, end));
  url += u"/favicon.ico";
  return url;
}

std::int64_t PackChannelCounts(int total, int unread) {
  const auto clamp16 = [](int v) { return static_cast<std::int64_t>(std::clamp(v, 0, 0xFFFF)); };
  return clamp16(total) | clamp16(unread) << 16;
}

int RefreshChannelsThread(const RefreshContext& context) {
  if (context.panel == nullptr || context.manager == nullptr) return 1;
  IChannelPanel& panel = *context.panel;
  if (!context.manager->CanRunJobs()) {
    FailWithoutWorker(panel);
    return 0;
  }
  panel.SetBusy(true);
  BroadcastRegistered(kMsgDownloadStart);
  std::jthread timeWriter = StoreUpdateTimeAside();
  const RefreshSettings settings = ReadRefreshSettings();
  ApplyProxySettings(settings);
  context.manager->SetUseProxy(settings.useProxy);
  CreateFolder(settings.channelDataFolder);
  const std::optional<std::u16string> synced = context.sync ? context.sync() : std::nullopt;
  const int rows = panel.RowCount();
  const int target = panel.Target();
  int first = 0, last = rows;
  if (target < 0) {
    for (int r = 0; r < rows; ++r) {
      panel.SetIcon(r, kIconQueued);
      panel.RedrawRow(r);
    }
  } else {
    first = target;
    last = std::min(target + 1, rows);
  }
  // Rows are taken in order by up to parallelChannels workers; each row's
  // steps stay in their order, and the channels share nothing but the
  // thread-safe panel, settings, transfer state and job queue.
  std::atomic<int> next{first};
  SharedDownloads shared;
  FeedValidatorTable validators(settings.channelDataFolder);
  const auto work = [&] {
    for (int r; (r = next++) < last;) {
      if (IsRefreshAborted()) {
        Trace("Cancel downloading, only redraw the icons.\n");
        panel.SetIcon(r, kIconNotUpdated);
      } else {
        panel.SetIcon(r, kIconInProgress);
        panel.RedrawRow(r);
        panel.SetIcon(r, RefreshRow(context, settings, shared, validators, r, synced) == 1 ? kIconUpdated
                                                                                       : kIconNotUpdated);
      }
      panel.RedrawRow(r);
    }
  };
  {
    // A helper that cannot be started leaves its rows to the others; this
    // thread always works too. The helpers are joined at the end of the block.
    std::vector<std::jthread> helpers;
    const int workers = std::clamp(std::min(context.parallelChannels, last - first), 1, kMaxParallelChannels);
    try {
      for (int i = 1; i < workers; ++i) helpers.emplace_back(work);
    } catch (const std::system_error&) {
      Trace("A refresh worker thread could not be started\n");
    }
    work();
  }
  SaveValidators(settings, validators);
  if (timeWriter.joinable()) timeWriter.join();
  panel.SetBusy(false);
  BroadcastRegistered(kMsgHeadlinesFinished);
  context.manager->StartJobs();
  panel.SetTarget(-1);
  Trace("Download thread terminated !\n");
  return 0;
}

}  // namespace wrenly
