// Fuzz target: automatic extraction of an arbitrary page, as Tolvane -a and
// wrenly-cli extract run it. Every input must end with an article, nothing,
// or a refusal within a second of CPU time (as much more as the sanitizers
// slow the build down; checked under libFuzzer only: wall time on a shared
// machine says little, and the replay in CI must not depend on the machine),
// and a written picture address never carries markup.
#include <time.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "fetcher/article_extractor.h"
#include "fetcher/html_page_bytes.h"
#include "fetcher/parse_memory.h"

using namespace wrenly;

namespace {

// Each <img src="..."> value holds no double quote, angle bracket or blank.
bool PictureAddressesAreClean(std::string_view html) {
  constexpr std::string_view kStart = "<img src=\"";
  for (size_t at = html.find(kStart); at != std::string_view::npos; at = html.find(kStart, at + 1)) {
    const size_t begin = at + kStart.size();
    const size_t end = html.find('"', begin);
    if (end == std::string_view::npos) return false;
    for (char c : html.substr(begin, end - begin))
      if (c == '<' || c == '>' || static_cast<unsigned char>(c) <= 0x20) return false;
    if (html.compare(end, 7, "\" alt=\"") != 0) return false;
  }
  return true;
}

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

#ifdef WRENLY_LIBFUZZER
constexpr bool kTimed = true;
#else
constexpr bool kTimed = false;
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const double start = CpuSeconds();
  const ArticleExtraction article = ExtractArticle(HtmlPageToUtf8(bytes), "https://news.example.com/a/page.html");
  if (kTimed && CpuSeconds() - start > 1.0 * kCheckedBuildSlowdown) __builtin_trap();
  if (article.refused && !article.html.empty()) __builtin_trap();
  if (!PictureAddressesAreClean(article.html)) __builtin_trap();
  return 0;
}
