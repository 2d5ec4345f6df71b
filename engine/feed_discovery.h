// Feed discovery: the feeds behind an address a person typed, which may be a
// feed's or a web page's. A page names its feeds in <link rel="alternate">
// entries; a site without them often serves one at a usual path. Every
// candidate is downloaded and kept only when it reads as a feed; the
// candidates are downloaded several at a time. Blocks the calling thread;
// safe on any thread.
#pragma once

#include <string>
#include <vector>

#include "platform/notifier.h"

namespace wrenly {

struct DiscoveredFeed {
  std::u16string url;    // the feed's address, as the page names it (resolved)
  std::u16string title;  // the feed's own title, else the link's; empty when neither has one
};

struct FeedDiscovery {
  // The feeds found, in the page's order; the address itself when it is a feed.
  std::vector<DiscoveredFeed> feeds;
  // The addresses downloaded, in order, for a message when nothing was found.
  std::vector<std::u16string> tried;
  // Why the address itself could not be downloaded; empty when it was.
  std::u16string error;
};

// Candidates at the usual paths, tried when a page names no feed.
inline constexpr const char* kUsualFeedPaths[] = {"/feed", "/rss", "/rss.xml", "/atom.xml", "/index.xml", "/feed.json"};

// An address without a scheme is taken as https. `progress` receives the
// downloads' WM_DOWNLOAD_PROGRESS messages (none: every broadcast receiver),
// from helper threads too, so it must be safe for concurrent use.
FeedDiscovery DiscoverFeeds(const std::u16string& address, Receiver* progress = nullptr);

}  // namespace wrenly
