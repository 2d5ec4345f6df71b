// Whole-run benchmark of Tolvane's automatic extraction: every saved page of
// a folder (PAGES/<name>/source.html) is served from a loopback server and
// extracted by the built program, process start to exit, several times.
// Prints each page's median time and peak memory, the median over all
// pages, the largest page's time and the highest peak memory.
// Usage: fulltext_bench PAGES_DIR [runs]. Run by hand (under nice) on a
// quiet machine.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "testsupport/http_server.h"
#include "testsupport/temp_dir.h"

extern char** environ;

namespace {

struct Run {
  double ms = -1;    // -1: the run failed
  long peakKb = 0;   // the child's maximum resident set
};

Run TimedRun(const std::string& program, std::vector<std::string> args) {
  args.insert(args.begin(), program);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  Run run;
  if (rc != 0) return run;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) run.ms = elapsed.count();
  run.peakKb = usage.ru_maxrss;
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

  std::vector<double> medians;
  long highestPeakKb = 0;
  std::string largest;
  double largestMs = 0;
  for (const auto& [name, page] : pages) {
    std::vector<double> times;
    long peakKb = 0;
    for (int i = 0; i < runs; ++i) {
      const Run run = TimedRun(program, {"-a", server.Url("/" + name), output});
      if (run.ms < 0) {
        std::fprintf(stderr, "%s: the run failed\n", name.c_str());
        return 1;
      }
      times.push_back(run.ms);
      peakKb = std::max(peakKb, run.peakKb);
    }
    const double median = Median(times);
    std::printf("%-24s %8zu bytes  median %6.1f ms  peak %6.1f MB  %s\n", name.c_str(), page.size(), median,
                static_cast<double>(peakKb) / 1024, std::filesystem::exists(output) ? "article" : "no article");
    medians.push_back(median);
    highestPeakKb = std::max(highestPeakKb, peakKb);
    if (largest.empty() || page.size() > pages[largest].size()) {
      largest = name;
      largestMs = median;
    }
  }
  std::printf("pages %zu, runs %d each: median of medians %.1f ms, largest page (%s, %zu bytes) %.1f ms, "
              "highest peak memory %.1f MB\n",
              pages.size(), runs, Median(medians), largest.c_str(), pages[largest].size(), largestMs,
              static_cast<double>(highestPeakKb) / 1024);
  return 0;
}
