// Automatic extraction in-process on pages built against the HTML parser,
// each about 2 MB: nesting 100 000 deep, deep inline elements, a wide
// level, cells that keep end tags from closing, formatting the parser opens
// again in every paragraph. Prints the median wall and CPU time of each and
// whether it gave an article or was refused. Any page of at most 2 MB is to
// end within a second. Usage: extraction_bench [runs]. Run by hand.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fetcher/article_extractor.h"

namespace {

constexpr size_t kPageBytes = 2'000'000;

std::string Story() {
  std::string text;
  for (int i = 1; i <= 5; ++i)
    text += "<p>Paragraph " + std::to_string(i) +
            " of the story, with words, commas, and clauses enough to read like the text of an article.</p>";
  return text;
}

// `open` repeated until the page has its size with the story inside and
// `close` after it as often.
std::string Nested(const std::string& open, const std::string& close, int* depth = nullptr) {
  const std::string story = Story();
  const size_t times = (kPageBytes - story.size()) / (open.size() + close.size());
  std::string page;
  page.reserve(kPageBytes);
  for (size_t i = 0; i < times; ++i) page += open;
  page += story;
  for (size_t i = 0; i < times; ++i) page += close;
  if (depth != nullptr) *depth = static_cast<int>(times);
  return page;
}

std::string Reopened() {
  std::string page = Story();
  for (int i = 0; page.size() < kPageBytes; ++i) page += "<p><b id=" + std::to_string(i) + ">x";
  return page;
}

double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  int depth = 0;
  const std::string deepDivs = Nested("<div class=a>", "</div>", &depth);
  struct Page {
    std::string name;
    std::string text;
  };
  const std::vector<Page> pages = {
      {"divs nested " + std::to_string(depth) + " deep", deepDivs},
      {"spans nested, unclosed", Nested("<span>", "")},
      {"one level of 250 000 form fields", Nested("", "<input>")},
      {"</div> kept from closing by cells", Nested("<div><table><td></div>", "")},
      {"formatting reopened per paragraph", Reopened()},
  };
  std::printf("%-40s %8s %10s %10s  %s\n", "page", "MB", "wall ms", "CPU ms", "result");
  for (const Page& page : pages) {
    std::vector<double> wall, cpu;
    wrenly::ArticleExtraction result;
    for (int run = 0; run < runs; ++run) {
      const auto start = std::chrono::steady_clock::now();
      const double cpuStart = CpuMs();
      result = wrenly::ExtractArticle(page.text, "https://news.example.com/story.html");
      cpu.push_back(CpuMs() - cpuStart);
      wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    const char* outcome = result.refused ? "refused" : result.html.empty() ? "no article" : "article";
    std::printf("%-40s %8.2f %10.1f %10.1f  %s\n", page.name.c_str(), page.text.size() / 1e6, Median(wall),
                Median(cpu), outcome);
  }
  return 0;
}
