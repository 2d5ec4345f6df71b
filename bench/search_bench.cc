// Times reader::Search over a generated data root: by default 1,000 channels
// of 50 items (titles and descriptions of made-up words, a fifth of the items
// with a stored full text of about 6 KB, a tenth of the channels in Chinese).
// Each query is timed on its first run in a new process (a cold start, the
// index files written by an earlier search), then on its first run and as the
// median of five repeats in this process; then again after every channel's
// item file changed (a refresh's new item appended to each), which is the
// first search after a refresh. The first search of all builds every index.
// Usage: search_bench [--channels N] [--items N] [--root FOLDER (kept)]
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/text.h"
#include "reader/reader_data.h"
#include "reader/search.h"
#include "store/channel_files.h"
#include "store/channel_store.h"
#include "store/item_record.h"
#include "testsupport/temp_dir.h"

using namespace wrenly;
using namespace wrenly::reader;

namespace {

double Milliseconds(const std::chrono::steady_clock::time_point& start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Made-up words from syllables, and a few Chinese ones.
class Words {
 public:
  Words() {
    const char* syllables[] = {"ka", "lo", "mi", "ne", "ru", "sa", "ti", "vo", "ber", "dan", "gol", "par", "ster", "wen"};
    for (int i = 0; i < 3000; ++i) {
      std::string word;
      for (int n = 0, count = 2 + i % 3, x = i; n < count; ++n, x = x / 14 + n * 5) word += syllables[x % 14];
      latin_.push_back(word);
    }
    for (const char* w : {"\xE5\x8C\x97\xE4\xBA\xAC", "\xE6\x96\xB0\xE9\x97\xBB", "\xE7\xBB\x8F\xE6\xB5\x8E",
                          "\xE5\xA4\xA9\xE6\xB0\x94", "\xE4\xBD\x93\xE8\x82\xB2", "\xE7\xA7\x91\xE6\x8A\x80"})
      chinese_.push_back(w);
  }
  std::string Text(std::mt19937& random, int count, bool chinese) {
    std::string text;
    for (int i = 0; i < count; ++i) {
      if (chinese) text += chinese_[random() % chinese_.size()];
      else text += (i ? " " : "") + latin_[random() % latin_.size()];
    }
    return text;
  }

 private:
  std::vector<std::string> latin_, chinese_;
};

std::string Date(int day, int minute) {
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d Jan 2024 %02d:%02d:00 GMT", "Mon", 1 + day % 28, minute / 60 % 24, minute % 60);
  return text;
}

struct Generated {
  std::vector<int> channels;
  long fullTexts = 0;
};

// Writes each channel's item file, URL index and full texts as a refresh and
// its full-text jobs leave them.
Generated Generate(ReaderData& data, int channelCount, int itemCount) {
  std::vector<NewChannel> wanted;
  for (int c = 0; c < channelCount; ++c)
    wanted.push_back({u"Bench", u"Channel " + Utf8ToUtf16(std::to_string(c)),
                      u"http://127.0.0.1:9/feed/" + Utf8ToUtf16(std::to_string(c)), {}});
  Generated made;
  for (const Subscription& s : data.SubscribeAll(wanted).value) made.channels.push_back(s.number);
  std::mt19937 random(7);
  Words words;
  int serial = 0;
  for (int channel : made.channels) {
    const bool chinese = channel % 10 == 0;
    const std::string items = data.ChannelPath(channel, ".bin");
    CChannelStore store(items, false), urlIndex(UrlIndexPathFor(items), false);
    std::vector<std::u16string> withFullText;
    for (int i = 0; i < itemCount; ++i, ++serial) {
      const std::u16string link = u"http://127.0.0.1:9/item/" + Utf8ToUtf16(std::to_string(serial));
      std::string title = words.Text(random, chinese ? 8 : 6, chinese);
      if (serial % 2500 == 0) title += " Zanzibar";
      if (serial % 1000 == 1) title += " Caf\xC3\xA9";
      const std::string description = "<p>" + words.Text(random, chinese ? 60 : 40, chinese) + "</p>";
      const bool fullText = i % 5 == 0;
      urlIndex.AppendIndexAddress(link);
      store.AppendRecord(Utf8ToUtf16(title), link, Utf8ToUtf16(Date(i, serial)), fullText ? kFlagUnreadFullText : kFlagUnread,
                         kItemTypeOrdinary, Utf8ToUtf16(description));
      if (fullText) withFullText.push_back(link);
    }
    RecordReader index(UrlIndexPathFor(items));
    for (ItemRecord record; index.Next(record, RecordReader::kLink);) {
      if (std::find(withFullText.begin(), withFullText.end(), record.link) == withFullText.end()) continue;
      std::string html = "<html><head><title>x</title><style>p{margin:0}</style></head><body><h1>" +
                         words.Text(random, 6, chinese) + "</h1>";
      for (int p = 0; p < 12; ++p) html += "<p>" + words.Text(random, chinese ? 60 : 80, chinese) + "</p>\n";
      testsupport::WriteFile(StampedFilePath(items, record.flag, record.type, ".htm"), "\xEF\xBB\xBF" + html + "</body></html>");
      ++made.fullTexts;
    }
  }
  return made;
}

// The process's CPU time (user and system) in milliseconds: on a busy
// machine it tells more than the wall time.
double CpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// A new process's first search: prints its wall and CPU time in milliseconds.
int ColdSearch(const std::string& root, const std::string& query) {
  const auto start = std::chrono::steady_clock::now();
  const double cpu = CpuMs();
  const auto found = Search(ReaderData(root), Utf8ToUtf16(query));
  std::printf("%.1f %.1f %zu\n", Milliseconds(start), CpuMs() - cpu, found.value.size());
  return 0;
}

std::pair<double, double> ColdMs(const std::string& self, const ReaderData& data, const std::u16string& query) {
  const std::string command = "'" + self + "' --cold '" + data.root() + "' '" + Utf16ToUtf8(query) + "'";
  FILE* child = popen(command.c_str(), "r");
  double wall = -1, cpu = -1;
  if (child == nullptr || std::fscanf(child, "%lf %lf", &wall, &cpu) != 2) wall = cpu = -1;
  if (child != nullptr) pclose(child);
  return {wall, cpu};
}

void Time(const std::string& self, const ReaderData& data, const char* label, const std::u16string& query) {
  const auto [coldMs, coldCpuMs] = ColdMs(self, data, query);
  auto start = std::chrono::steady_clock::now();
  const auto first = Search(data, query);
  const double firstMs = Milliseconds(start);
  std::vector<double> repeats, cpus;
  for (int i = 0; i < 5; ++i) {
    start = std::chrono::steady_clock::now();
    const double cpu = CpuMs();
    Search(data, query);
    repeats.push_back(Milliseconds(start));
    cpus.push_back(CpuMs() - cpu);
  }
  std::sort(repeats.begin(), repeats.end());
  std::sort(cpus.begin(), cpus.end());
  std::printf("%-26s %6zu hits  cold start %6.1f ms (CPU %6.1f)  first here %6.1f ms  repeated %6.1f ms (CPU %6.1f)\n",
              label, first.value.size(), coldMs, coldCpuMs, firstMs, repeats[2], cpus[2]);
}

// One new item appended to every channel, as a refresh that brought news.
void AppendToEveryChannel(const ReaderData& data, const std::vector<int>& channels) {
  for (int channel : channels) {
    const std::u16string link = u"http://127.0.0.1:9/late/" + Utf8ToUtf16(std::to_string(channel));
    const std::string items = data.ChannelPath(channel, ".bin");
    CChannelStore store(items, false);
    CChannelStore(UrlIndexPathFor(items), false).AppendIndexAddress(link);
    store.AppendRecord(u"Late news from Zanzibar", link, u"Tue, 30 Jan 2024 10:00:00 GMT", kFlagUnread, kItemTypeOrdinary,
                       u"<p>More.</p>");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && !std::strcmp(argv[1], "--cold")) return ColdSearch(argv[2], argv[3]);
  int channels = 1000, items = 50;
  testsupport::IsolatedHome home;
  std::string root = home.data() + "/Wrenly Mobile";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--channels")) channels = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--items")) items = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--root")) root = argv[i + 1];
  }
  ReaderData data(root);
  auto start = std::chrono::steady_clock::now();
  const Generated made = Generate(data, channels, items);
  std::printf("%zu channels, %ld items, %ld full texts, generated in %.0f ms\n", made.channels.size(),
              long(made.channels.size()) * items, made.fullTexts, Milliseconds(start));

  // The person searches a while after the refresh that wrote the items.
  std::this_thread::sleep_for(std::chrono::seconds(3));
  start = std::chrono::steady_clock::now();
  Search(data, u"zanzibar");
  std::printf("first search of all, building every index: %.0f ms\n", Milliseconds(start));

  const std::string self = argv[0];
  Time(self, data, "rare word (zanzibar)", u"zanzibar");
  Time(self, data, "accent (cafe)", u"cafe");
  Time(self, data, "two common words", u"kalo sami");
  Time(self, data, "Chinese", u"\u65B0\u95FB");
  AppendToEveryChannel(data, made.channels);
  start = std::chrono::steady_clock::now();
  Search(data, u"zanzibar");
  std::printf("first search after a refresh that changed every channel: %.0f ms\n", Milliseconds(start));
  std::this_thread::sleep_for(std::chrono::seconds(3));
  Time(self, data, "after a refresh (zanzibar)", u"zanzibar");
  return 0;
}
