// Whole-run benchmark of Tolvane's automatic extraction: every saved page of
// a folder (PAGES/<name>/source.html) is served from a loopback server and
// extracted by the built program, process start to exit, several times.
// Prints each page's median wall and CPU time and peak memory, the medians
// over all pages, the largest page's times and the highest peak memory.
// CPU time stays meaningful on a busy machine, where wall time does not.
// Usage: fulltext_bench PAGES_DIR [runs]. Run by hand (under nice); needs
// /usr/bin/time (Debian package "time").

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "testsupport/http_server.h"
#include "testsupport/temp_dir.h"

namespace {

// Peak memory and CPU time come from /usr/bin/time, a small process that
// starts the fetcher: a child of this large process would count the pages
// it shares with it before exec.
constexpr char kTimeProgram[] = "/usr/bin/time";

struct Run {
  double ms = -1;     // wall time, start to exit; -1: the run failed
  double cpuMs = 0;   // user + system time of the fetcher (and of /usr/bin/time)
  double peakMb = 0;  // the fetcher's maximum resident set
};

Run TimedRun(const std::string& program, const std::vector<std::string>& args, const std::string& report) {
  std::vector<std::string> all = {kTimeProgram, "-f", "%M", "-o", report, program};
  all.insert(all.end(), args.begin(), args.end());
  // The usage is /usr/bin/time's own and the fetcher's, which it waited for.
  const bench::ChildRun child = bench::RunChild(std::move(all));
  Run run;
  long peakKb = 0;
  if (!child.ok || std::sscanf(testsupport::ReadFile(report).c_str(), "%ld", &peakKb) != 1) return run;
  run.ms = child.ms;
  run.cpuMs = bench::Ms(child.usage.ru_utime) + bench::Ms(child.usage.ru_stime);
  run.peakMb = static_cast<double>(peakKb) / 1024;
  return run;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: fulltext_bench PAGES_DIR [runs]\n");
    return 2;
  }
  const std::string pagesDir = argv[1];
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  std::map<std::string, std::string> pages;
  for (const auto& entry : std::filesystem::directory_iterator(pagesDir)) {
    const std::string source = entry.path().string() + "/source.html";
    if (std::filesystem::is_regular_file(source))
      pages[entry.path().filename().string()] = testsupport::ReadFile(source);
  }
  if (pages.empty()) {
    std::fprintf(stderr, "no pages under %s\n", pagesDir.c_str());
    return 1;
  }
  testsupport::HttpServer server;
  server.server().Get("/(.*)", [&pages](const httplib::Request& req, httplib::Response& res) {
    const auto it = pages.find(req.matches[1]);
    if (it == pages.end()) {
      res.status = 404;
      return;
    }
    res.set_content(it->second, "text/html; charset=utf-8");
  });
  if (!server.Start()) return 1;
  testsupport::TempDir dir;
  const std::string program = std::string(WRENLY_BIN_DIR) + "/Tolvane";
  const std::string output = dir.path() + "/Ch100-1-001.htm";

  const std::string report = dir.path() + "/time.txt";
  std::vector<double> medians, cpuMedians;
  double highestPeakMb = 0;
  std::string largest;
  double largestMs = 0, largestCpuMs = 0;
  for (const auto& [name, page] : pages) {
    std::vector<double> times, cpuTimes;
    double peakMb = 0;
    for (int i = 0; i < runs; ++i) {
      const Run run = TimedRun(program, {"-a", server.Url("/" + name), output}, report);
      if (run.ms < 0) {
        std::fprintf(stderr, "%s: the run failed\n", name.c_str());
        return 1;
      }
      times.push_back(run.ms);
      cpuTimes.push_back(run.cpuMs);
      peakMb = std::max(peakMb, run.peakMb);
    }
    const double median = Median(times), cpuMedian = Median(cpuTimes);
    std::printf("%-24s %8zu bytes  wall %6.1f ms  cpu %6.1f ms  peak %5.1f MB  %s\n", name.c_str(), page.size(),
                median, cpuMedian, peakMb, std::filesystem::exists(output) ? "article" : "no article");
    medians.push_back(median);
    cpuMedians.push_back(cpuMedian);
    highestPeakMb = std::max(highestPeakMb, peakMb);
    if (largest.empty() || page.size() > pages[largest].size()) {
      largest = name;
      largestMs = median;
      largestCpuMs = cpuMedian;
    }
  }
  std::printf("pages %zu, runs %d each: median wall %.1f ms (cpu %.1f ms); largest page %s (%zu bytes) "
              "wall %.1f ms (cpu %.1f ms); highest peak memory %.1f MB\n",
              pages.size(), runs, Median(medians), Median(cpuMedians), largest.c_str(), pages[largest].size(),
              largestMs, largestCpuMs, highestPeakMb);
  return 0;
}
