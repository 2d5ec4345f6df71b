// A busy channel over a long time: 1 000 merges of a feed that shows its 50
// newest items and brings 10 new ones each time, with the article limit at
// 50, as hourly refreshes would over six weeks. Prints the time of merges
// early and late (a merge is load + MergeItems, as in a refresh) and the
// sizes of the item file and the URL index against what the live records
// need. Usage: channel_growth_bench [MERGES] (data goes to a temporary folder).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "store/channel_store.h"
#include "store/feed_parser.h"
#include "store/item_record.h"
#include "store/settings.h"
#include "testsupport/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Items [first, first + 50), newest first, dated an hour apart.
std::string Feed(int first) {
  std::string feed =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel>"
      "<title>Busy</title><link>http://busy.test/</link>\n";
  for (int n = first + 49; n >= first; --n) {
    const std::string id = std::to_string(n);
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int day = n / 24;
    char date[64];
    std::snprintf(date, sizeof date, "%02d %s %d %02d:00:00 +0000", 1 + day % 28, kMonths[day / 28 % 12],
                  2026 + day / 336, n % 24);
    feed += "<item><title>Item " + id + "</title><link>http://busy.test/news/" + id +
            ".html</link><pubDate>" + date + "</pubDate><description>&lt;p&gt;&lt;img src=\"http://busy.test/img/" +
            id + ".png\"&gt;" + std::string(400, 'x') + "&lt;/p&gt;</description></item>\n";
  }
  return feed + "</channel></rss>\n";
}

uint64_t LiveBytes(const std::string& path) {
  uint64_t bytes = 0;
  wrenly::RecordReader reader(path);
  wrenly::ItemRecord r;
  for (uint64_t start = 0; reader.Next(r, wrenly::RecordReader::kNoTexts); start = reader.wholeEnd())
    if (wrenly::IsLive(r)) bytes += reader.wholeEnd() - start;
  return bytes;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int merges = argc > 1 ? std::atoi(argv[1]) : 1000;
  testsupport::IsolatedHome home;
  wrenly::SetSettingInt(wrenly::setting::kArticlesNumber, 50);
  const std::string folder = home.root() + "/data";
  fs::create_directories(folder);
  const std::string target = folder + "/Ch100~.xml";
  std::vector<double> times;
  for (int m = 0; m < merges; ++m) {
    const std::string feed = Feed(10 * m);
    std::FILE* f = std::fopen(target.c_str(), "wb");
    std::fwrite(feed.data(), 1, feed.size(), f);
    std::fclose(f);
    const auto start = Clock::now();
    wrenly::CFeedParser parser;
    parser.Load(target);
    parser.MergeItems();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  const std::string bin = folder + "/Ch100.bin", iid = folder + "/Ch100.iid";
  // Single merges take about a millisecond on a shared machine, so the
  // comparison is of medians over 50 merges each.
  const double early = Median({times.begin() + 9, times.begin() + 59});
  const double late = Median({times.end() - 50, times.end()});
  std::printf("merge 10: %.2f ms, median of merges 10-59: %.2f ms\n", times[9], early);
  std::printf("merge %d: %.2f ms, median of the last 50: %.2f ms\n", merges, times.back(), late);
  std::printf("late / early (medians): %.2fx\n", late / early);
  std::printf("Ch100.bin %.1f KB (live records %.1f KB, %d items), Ch100.iid %.1f KB\n",
              fs::file_size(bin) / 1024.0, LiveBytes(bin) / 1024.0, wrenly::CountItems(bin).total,
              fs::file_size(iid) / 1024.0);
  return 0;
}
