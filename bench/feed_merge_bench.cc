// Times feed loading, merging and `wrenly-cli parse` against the floor of a
// bare tinyxml2 load of the same file. Feeds are generated: a 5 000-item and a
// 50-item RSS 2.0 feed with realistic items (title, link, date, guid, an
// HTML description with a picture). The article limit is 100; a "full" store
// holds 100 items of other links before the merge.
// Usage: feed_merge_bench (settings and data go to a temporary folder).
#include <tinyxml2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "store/channel_store.h"
#include "store/feed_parser.h"
#include "store/paths.h"
#include "store/settings.h"
#include "testsupport/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct Timing {
  double median;
  double best;
};

// The median and the best of `runs` timings of `work`, each after an untimed
// `prepare` (the machine is shared, so the best run shows the floor).
Timing TimeMs(int runs, const std::function<void()>& prepare, const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    prepare();
    const auto start = Clock::now();
    work();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return {times[times.size() / 2], times.front()};
}

void Print(const char* what, Timing t) {
  std::printf("%-32s median %8.2f ms, best %8.2f ms\n", what, t.median, t.best);
}

std::string Feed(int items, const std::string& linkPrefix, int firstDay) {
  std::string feed =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel>"
      "<title>Bench</title><link>http://bench.test/</link>"
      "<image><url>http://bench.test/logo.png</url></image>\n";
  for (int i = 0; i < items; ++i) {
    const std::string n = std::to_string(i);
    const int day = firstDay + (items - i) / 24;
    char date[64];
    std::snprintf(date, sizeof date, "%s, %02d Jan 2009 %02d:%02d:00 +0100", "Tue", 1 + day % 28,
                  (items - i) % 24, i % 60);
    feed += "<item><title>Item " + n + " &amp; more</title><link>" + linkPrefix + n +
            "</link><pubDate>" + date + "</pubDate><guid>" + linkPrefix + n +
            "</guid><description>&lt;p&gt;&lt;img src=\"" + linkPrefix + n +
            ".png\"&gt;Paragraph " + n + " " + std::string(400, 'x') +
            " &amp;#8217;s&lt;/p&gt;</description></item>\n";
  }
  return feed + "</channel></rss>\n";
}

void Write(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

void Merge(const std::string& feedFile, const std::string& folder) {
  const std::string target = folder + "/Ch100~.xml";
  fs::copy_file(feedFile, target, fs::copy_options::overwrite_existing);
  wrenly::CFeedParser parser;
  parser.Load(target);
  parser.MergeItems();
}

}  // namespace

int main() {
  testsupport::IsolatedHome home;
  wrenly::SetSettingInt(wrenly::setting::kArticlesNumber, 100);
  const std::string work = home.root() + "/work";
  const std::string store = home.root() + "/store";
  const std::string full = home.root() + "/full";
  for (const std::string& d : {work, store, full}) fs::create_directories(d);

  const std::string big = work + "/big.xml", small = work + "/small.xml", old = work + "/old.xml";
  Write(big, Feed(5000, "http://bench.test/new/", 20));
  Write(small, Feed(50, "http://bench.test/new/", 20));
  Write(old, Feed(100, "http://bench.test/old/", 0));
  Merge(old, full);  // the full store: 100 older items of other links
  std::printf("feed sizes: 5000 items %.1f MB, 50 items %.0f KB\n",
              fs::file_size(big) / 1048576.0, fs::file_size(small) / 1024.0);

  auto emptyStore = [&] {
    fs::remove_all(store);
    fs::create_directories(store);
  };
  auto fullStore = [&] {
    fs::remove_all(store);
    fs::copy(full, store);
  };
  auto nothing = [] {};
  const int runs = 15;

  const Timing floor = TimeMs(runs, nothing, [&] {
    tinyxml2::XMLDocument doc;
    doc.LoadFile(big.c_str());
  });
  const Timing parse = TimeMs(runs, nothing, [&] {
    std::ostringstream out, err;
    wrenly::cli::RunCli({"parse", big}, out, err);
  });
  // A refresh loads only the items a merge can take; `parse` lists them all.
  const Timing bounded = TimeMs(runs, nothing, [&] {
    wrenly::CFeedParser parser;
    parser.Load(big);
  });
  const Timing whole = TimeMs(runs, nothing, [&] {
    wrenly::CFeedParser parser;
    parser.Load(big, wrenly::CFeedParser::kWholeDocument);
  });
  Print("tinyxml2 load, 5000 items (floor)", floor);
  Print("load first 100 of 5000 items", bounded);
  Print("load all 5000 items", whole);
  Print("parse, 5000 items", parse);
  std::printf("parse / floor: median %.2fx, best %.2fx\n", parse.median / floor.median,
              parse.best / floor.best);
  Print("merge 5000 items, empty store", TimeMs(runs, emptyStore, [&] { Merge(big, store); }));
  Print("merge 5000 items, full store", TimeMs(runs, fullStore, [&] { Merge(big, store); }));
  Print("merge 50 items, empty store", TimeMs(runs, emptyStore, [&] { Merge(small, store); }));
  Print("merge 50 items, full store", TimeMs(runs, fullStore, [&] { Merge(small, store); }));
  // The full-store merges end with the limit: the 50 new items and the 50
  // newest old ones.
  fullStore();
  Merge(small, store);
  std::printf("items after a 50-item merge into the full store: %d\n",
              wrenly::CountItems(store + "/Ch100.bin").total);
  return 0;
}
