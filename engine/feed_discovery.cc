#include "engine/feed_discovery.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <cstdint>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>

#include "engine/page_links.h"
#include "net/transfer.h"
#include "net/web_address.h"
#include "platform/text.h"
#include "store/feed_parser.h"

namespace wrenly {
namespace {

// Feeds are named in the page's head; only this much of a page is read for them.
constexpr std::size_t kMaxHeadBytes = 1024 * 1024;

// Candidate feeds downloaded at once.
constexpr std::size_t kParallelCandidates = 8;

constexpr std::string_view kFeedTypes[] = {"application/rss+xml", "application/atom+xml", "application/rdf+xml",
                                           "application/feed+json", "application/json"};

// A folder of its own for the downloads, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "wrenly-discovery-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  std::string NewFile() { return path_ + "/" + std::to_string(++files_); }

 private:
  std::string path_;
  int files_ = 0;
};

struct Download {
  bool ok = false;
  std::string path;
  std::u16string finalUrl;
  std::u16string error;
};

Download Fetch(const std::u16string& url, const std::string& path, Receiver* progress) {
  Download d;
  d.path = path;
  std::uint32_t code = 0;
  d.ok = DownloadUrlToFile(url, d.path, &code, &d.error, progress, nullptr, nullptr, nullptr, &d.finalUrl) == S_OK &&
         std::filesystem::exists(d.path);
  return d;
}

// The feed's title when the file reads as a feed (empty title: none given).
std::optional<std::u16string> FeedTitle(const std::string& path) {
  CFeedParser parser;
  if (parser.Load(path) != 1 || parser.Kind() == FeedKind::kNotAFeed) return std::nullopt;
  return parser.ChannelTitle().value_or(u"");
}

std::string ReadHead(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text(kMaxHeadBytes, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  std::string lower = AsciiLower(text);
  if (const std::size_t body = lower.find("<body"); body != std::string::npos) text.resize(body);
  return text;
}

bool HasToken(const std::string& list, std::string_view token) {
  std::size_t start = 0;
  const std::string lower = AsciiLower(list);
  while (start < lower.size()) {
    const std::size_t end = std::min(lower.find_first_of(" \t\r\n\f", start), lower.size());
    if (std::string_view(lower).substr(start, end - start) == token) return true;
    start = end + 1;
  }
  return false;
}

std::string Attribute(const PageTag& tag, const std::string& name) {
  const auto found = tag.attributes.find(name);
  return found == tag.attributes.end() ? std::string() : found->second;
}

bool IsFeedType(const std::string& type) {
  const std::string lower = AsciiLower(type.substr(0, type.find(';')));
  return std::find(std::begin(kFeedTypes), std::end(kFeedTypes), lower) != std::end(kFeedTypes);
}

// The <link rel="alternate"> feeds of a page, resolved against its <base
// href> or else its own address, in page order.
std::vector<DiscoveredFeed> AlternateLinks(const std::string& html, const std::u16string& pageUrl) {
  std::string base = Utf16ToUtf8(pageUrl);
  std::vector<std::pair<std::string, std::string>> links;  // href, title
  for (const PageTag& tag : LinkAndBaseTags(html)) {
    const std::string href = Attribute(tag, "href");
    if (href.empty()) continue;
    if (tag.name == "base") base = ResolveWebAddress(base, href);
    else if (HasToken(Attribute(tag, "rel"), "alternate") && IsFeedType(Attribute(tag, "type")))
      links.emplace_back(href, Attribute(tag, "title"));
  }
  std::vector<DiscoveredFeed> feeds;
  for (const auto& [href, title] : links) {
    const std::string url = ResolveWebAddress(base, href);
    const std::string scheme = UrlScheme(url);
    if (scheme == "http" || scheme == "https") feeds.push_back({Utf8ToUtf16(url), Utf8ToUtf16(title)});
  }
  return feeds;
}

std::vector<DiscoveredFeed> UsualPlaces(const std::u16string& pageUrl) {
  std::vector<DiscoveredFeed> places;
  for (const char* path : kUsualFeedPaths) places.push_back({ResolveWebAddress(pageUrl, Utf8ToUtf16(path)), u""});
  return places;
}

// A fingerprint of a file's bytes (FNV-1a), read in pieces: a feed may be
// as large as a download can be.
std::uint64_t FileFingerprint(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::uint64_t hash = 14695981039346656037u;
  char piece[65536];
  while (in.read(piece, sizeof piece) || in.gcount() > 0)
    for (std::streamsize i = 0; i < in.gcount(); ++i) hash = (hash ^ static_cast<unsigned char>(piece[i])) * 1099511628211u;
  return hash;
}

// Downloads the candidates several at a time, so that a site's usual paths
// (or a page's links) cost about one round trip instead of one each. A
// helper thread that cannot be started leaves its download to this thread.
std::vector<Download> FetchAll(const std::vector<DiscoveredFeed>& candidates, ScratchFolder& scratch,
                               Receiver* progress) {
  std::vector<Download> downloads(candidates.size());
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < candidates.size(); ++i) paths.push_back(scratch.NewFile());
  for (std::size_t first = 0; first < candidates.size(); first += kParallelCandidates) {
    std::vector<std::jthread> helpers;
    for (std::size_t i = first; i < std::min(first + kParallelCandidates, candidates.size()); ++i) {
      const auto fetch = [&, i] { downloads[i] = Fetch(candidates[i].url, paths[i], progress); };
      try {
        helpers.emplace_back(fetch);
      } catch (const std::system_error&) {
        fetch();
      }
    }
  }
  return downloads;
}

// Downloads each candidate once and keeps those that read as feeds, in the
// candidates' order, titled by the feed, else by the link. A feed served
// again under another address (/feed and /rss of one site) is kept once.
void KeepFeeds(const std::vector<DiscoveredFeed>& candidates, ScratchFolder& scratch, Receiver* progress,
               FeedDiscovery& result, std::vector<std::uint64_t>& bodies) {
  std::vector<DiscoveredFeed> fresh;
  for (const DiscoveredFeed& candidate : candidates) {
    if (std::find(result.tried.begin(), result.tried.end(), candidate.url) != result.tried.end()) continue;
    result.tried.push_back(candidate.url);
    fresh.push_back(candidate);
  }
  const std::vector<Download> downloads = FetchAll(fresh, scratch, progress);
  for (std::size_t i = 0; i < fresh.size(); ++i) {
    const DiscoveredFeed& candidate = fresh[i];
    const Download& d = downloads[i];
    if (!d.ok) continue;
    const std::optional<std::u16string> title = FeedTitle(d.path);
    if (!title) continue;
    const std::uint64_t body = FileFingerprint(d.path);
    if (std::find(bodies.begin(), bodies.end(), body) != bodies.end()) continue;
    bodies.push_back(body);
    result.feeds.push_back({candidate.url, title->empty() ? candidate.title : *title});
  }
}

}  // namespace

FeedDiscovery DiscoverFeeds(const std::u16string& typed, Receiver* progress) {
  FeedDiscovery result;
  ScratchFolder scratch;
  if (!scratch.ok()) {
    result.error = u"no temporary folder could be made";
    return result;
  }
  // "example.org" means the site's secure address.
  const std::u16string address = UrlScheme(Utf16ToUtf8(typed)).empty() ? u"https://" + typed : typed;
  result.tried.push_back(address);
  const Download page = Fetch(address, scratch.NewFile(), progress);
  if (!page.ok) {
    result.error = page.error.empty() ? u"the download failed" : page.error;
    return result;
  }
  if (const std::optional<std::u16string> title = FeedTitle(page.path)) {
    result.feeds.push_back({address, *title});
    return result;
  }
  const std::u16string pageUrl = page.finalUrl.empty() ? address : page.finalUrl;
  std::vector<std::uint64_t> bodies;  // fingerprints of the feeds kept
  KeepFeeds(AlternateLinks(ReadHead(page.path), pageUrl), scratch, progress, result, bodies);
  if (result.feeds.empty()) KeepFeeds(UsualPlaces(pageUrl), scratch, progress, result, bodies);
  return result;
}

}  // namespace wrenly
