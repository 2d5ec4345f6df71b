// The channel refresh: for each row of the channel list, download the feed,
// merge its new items into the item store, fetch pictures, queue full-text
// jobs, fetch the logo and the web site icon, and show the counts. Runs on
// the refresh thread; every step tests the refresh-abort flag.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/channel_panel.h"
#include "engine/download_manager.h"
#include "platform/notifier.h"

namespace wrenly {

// Channels refreshed at once. Each channel's transfers go one after the
// other, so this is also the most connections a refresh holds open. A
// refresh waits mostly for the network, so this is well above the cores.
constexpr int kDefaultParallelChannels = 32;
constexpr int kMaxParallelChannels = 32;

struct RefreshContext {
  IChannelPanel* panel = nullptr;
  CDownloadManager* manager = nullptr;
  // Gets WM_CHANNEL_COUNTS and WM_CHANNEL_NEW_ITEMS, from any refresh worker;
  // none = every broadcast receiver.
  Receiver* view = nullptr;
  // How many channels are refreshed at once (1: strictly one after the other).
  int parallelChannels = kDefaultParallelChannels;
  // With a sync server: run first, on the refresh thread. Nothing: there is
  // no server, and every feed is downloaded from its site. Else the server
  // gave the new items (empty text) and each row only fetches its full
  // texts and shows its counts, or the sync failed and every row fails
  // with its text.
  std::function<std::optional<std::u16string>()> sync;
};

// A refresh that cannot run its full-text jobs (the worker thread could not
// be started) fails every row with this text.
inline constexpr char16_t kNoWorkerText[] = u"The download worker could not be started.";

// The error text of a failed download that gave no reason.
inline constexpr char16_t kNotDownloadedText[] = u"The channel could not be downloaded";

// The error text of a download that is not a feed.
inline constexpr char16_t kNotAFeedText[] = u"The downloaded document is not an RSS, RDF or Atom feed.";

// The error text of a feed whose items could not be written to the channel's files.
inline constexpr char16_t kNotStoredText[] = u"The channel's items could not be stored.";

// The error text of a 304 answer to a request that sent no validators.
inline constexpr char16_t kNotModifiedUnaskedText[] =
    u"The server answered 304 Not Modified to a request that was not conditional.";

// Refreshes the target row or all rows with the settings as they are when it
// starts (read once), then hands the queued full-text jobs
// to the download manager. Rows are started in order, several at a time, so
// the waits for the network overlap. 0, or 1 without a panel.
int RefreshChannelsThread(const RefreshContext& context);

// The site icon address of a channel link: scheme://host/favicon.ico; empty
// when the link has no "//".
std::u16string SiteIconUrl(std::u16string_view link);

// WM_CHANNEL_COUNTS's lParam: total | unread << 16, each held to 16 bits.
std::int64_t PackChannelCounts(int total, int unread);

}  // namespace wrenly
