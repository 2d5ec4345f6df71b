// Feed discovery's own cost: how much longer DiscoverFeeds takes than the
// plain download of the page it starts from, on a loopback server that
// serves a large saved news page. Three pages: with one feed link, with two,
// and with none (the usual paths are tried; /index.xml is the feed). Each
// server can hold every answer back by a latency, to show what the extra
// requests cost on a real network.
//   discovery_bench [PAGE.html] [RUNS] [LATENCY_MS]
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/feed_discovery.h"
#include "net/transfer.h"
#include "platform/text.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A 50-item RSS feed of about 60 KB, as a news site serves it.
std::string NewsFeed(const std::string& site) {
  std::string feed = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel><title>Bench News</title>"
                     "<link>" + site + "/</link><description>Made-up news</description>\n";
  for (int i = 0; i < 50; ++i) {
    const std::string n = std::to_string(i);
    feed += "<item><title>Headline number " + n + " about the city's winter</title><link>" + site + "/story/" + n +
            "</link><guid>" + site + "/story/" + n + "</guid><pubDate>Thu, 21 Feb 2019 10:" +
            (i < 10 ? "0" : "") + n + ":00 GMT</pubDate><description><![CDATA[<p>";
    for (int s = 0; s < 8; ++s) feed += "A sentence of the story's summary, long enough to look real. ";
    feed += "</p>]]></description></item>\n";
  }
  return feed + "</channel></rss>\n";
}

// The page without feed links of its own, with these inserted after <head>.
std::string PageWith(const std::string& page, const std::string& links) {
  static const std::regex feedLink(R"(<link[^>]*type=["']?application/(rss|atom|feed|rdf)\+(xml|json)[^>]*>)",
                                   std::regex::icase);
  std::string bare = std::regex_replace(page, feedLink, "");
  static const std::regex head(R"(<head[^>]*>)", std::regex::icase);
  std::smatch found;
  if (!std::regex_search(bare, found, head)) return links + bare;
  const std::size_t at = static_cast<std::size_t>(found.position(0) + found.length(0));
  return bare.substr(0, at) + links + bare.substr(at);
}

// A loopback site: "/" is the page, the feed paths answer the feed, every
// other path 404, each answer after `latency`.
class Site {
 public:
  Site(std::string page, std::vector<std::string> feedPaths, std::chrono::milliseconds latency) {
    server_.set_tcp_nodelay(true);
    server_.Get(".*", [this, page = std::move(page), feedPaths = std::move(feedPaths), latency](
                          const httplib::Request& request, httplib::Response& response) {
      std::this_thread::sleep_for(latency);
      if (request.path == "/")
        response.set_content(page, "text/html; charset=utf-8");
      else if (std::find(feedPaths.begin(), feedPaths.end(), request.path) != feedPaths.end())
        response.set_content(NewsFeed(Url(request.path)), "application/rss+xml");
      else
        response.status = 404;
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~Site() {
    server_.stop();
    thread_.join();
  }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
};

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Measure(const char* name, const Site& site, std::size_t expectedFeeds, int runs) {
  const std::u16string url = wrenly::Utf8ToUtf16(site.Url("/"));
  const std::string scratch = (std::filesystem::temp_directory_path() / "discovery-bench-page").string();
  std::vector<double> page, discovery, extra;
  for (int run = 0; run < runs; ++run) {
    std::uint32_t code = 0;
    std::u16string error;
    Clock::time_point start = Clock::now();
    if (wrenly::DownloadUrlToFile(url, scratch, &code, &error) != wrenly::S_OK) {
      std::fprintf(stderr, "the page could not be downloaded\n");
      return;
    }
    page.push_back(Milliseconds(Clock::now() - start));
    start = Clock::now();
    const wrenly::FeedDiscovery found = wrenly::DiscoverFeeds(url);
    discovery.push_back(Milliseconds(Clock::now() - start));
    extra.push_back(discovery.back() - page.back());
    if (found.feeds.size() != expectedFeeds) {
      std::fprintf(stderr, "%s: %zu feeds found, %zu expected\n", name, found.feeds.size(), expectedFeeds);
      return;
    }
  }
  std::filesystem::remove(scratch);
  std::printf("%-28s page %7.2f ms   discovery %7.2f ms   beyond the page %7.2f ms (worst %.2f)\n", name,
              Median(page), Median(discovery), Median(extra), *std::max_element(extra.begin(), extra.end()));
}

}  // namespace

int main(int argc, char** argv) {
  const std::string pagePath = argc > 1 ? argv[1] : WRENLY_TESTDATA "/html-pages/nytimes-3.html";
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 31;
  const std::chrono::milliseconds latency(argc > 3 ? std::atoi(argv[3]) : 0);
  const std::string page = ReadAll(pagePath);
  if (page.empty()) {
    std::fprintf(stderr, "cannot read %s\n", pagePath.c_str());
    return 1;
  }
  std::printf("page %s (%zu bytes), %d runs, %lld ms latency per answer, medians\n", pagePath.c_str(), page.size(),
              runs, static_cast<long long>(latency.count()));
  const Site one(PageWith(page, "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"News\" href=\"/rss.xml\">"),
                 {"/rss.xml"}, latency);
  Measure("one feed link", one, 1, runs);
  const Site two(PageWith(page, "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"/rss.xml\">"
                                "<link rel=\"alternate\" type=\"application/atom+xml\" href=\"/world/rss.xml\">"),
                 {"/rss.xml", "/world/rss.xml"}, latency);
  Measure("two feed links", two, 2, runs);
  const Site none(PageWith(page, ""), {"/index.xml"}, latency);
  Measure("no link: usual paths", none, 1, runs);
  return 0;
}
