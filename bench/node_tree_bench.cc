// Times BuildNodeTree over whole saved pages (the html element's tree, as a
// template's Document builds it) and a tag-by-tag FindNextTag walk.
// Usage: node_tree_bench [page.html ...]; without arguments, the largest
// saved page of the test data.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fetcher/node_tree.h"
#include "platform/text.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// The median of `runs` timings of `work`.
template <typename Work>
double MedianMs(int runs, Work work) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    work();
    times.push_back(Milliseconds(Clock::now() - start));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

bool Bench(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  if (!in || bytes.str().empty()) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return false;
  }
  const std::u16string page = wrenly::Utf8ToUtf16(bytes.str());
  int32_t root = 0;
  std::u16string name;
  for (;; ++root) {
    name = wrenly::FindNextTag(page, root);
    if (name.empty() || wrenly::AsciiLower(name) == u"html") break;
  }
  if (name.empty()) {
    std::fprintf(stderr, "%s: no html tag\n", path.c_str());
    return false;
  }
  std::size_t records = 0;
  wrenly::NodeTreeState state;
  const double build = MedianMs(31, [&] {
    const std::u16string tree = wrenly::BuildNodeTree(page, name, root, state);
    records = tree.empty() ? 0 : std::count(tree.begin(), tree.end(), u'|') + 1;
  });
  std::size_t tags = 0;
  const double walk = MedianMs(11, [&] {
    tags = 0;
    for (int32_t p = 0; p >= 0; ++p) {
      if (wrenly::FindNextTag(page, p).empty()) break;
      ++tags;
    }
  });
  std::printf("%s: %zu bytes, %zu code units; BuildNodeTree %.2f ms (%zu records); "
              "FindNextTag over all %zu tags %.2f ms\n",
              path.c_str(), bytes.str().size(), page.size(), build, records, tags, walk);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> paths(argv + 1, argv + argc);
  if (paths.empty()) paths.push_back(std::string(WRENLY_TESTDATA) + "/html-pages/nytimes-3.html");
  bool ok = true;
  for (const std::string& path : paths) ok = Bench(path) && ok;
  return ok ? 0 : 1;
}
