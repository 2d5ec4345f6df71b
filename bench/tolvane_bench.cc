// Whole-run benchmark of Tolvane: process start to exit for one extraction
// of a saved ~100 KB article page served from a loopback server, with a
// template that builds the tree with Document and finds the article with
// getElementsByAttr. Also times plain downloads of the same page.
// Usage: tolvane_bench [runs] [page.html]. Run by hand on an idle machine.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "testsupport/http_server.h"
#include "testsupport/temp_dir.h"

namespace {

const char* kTemplate = R"JS(
var doc = new Document(article.url, 'utf-8');
var found = doc.getElementsByAttr('div', 'class', 'article__content');
if (found.length > 0) {
    var paragraphs = 0;
    for (var child = found[0].GetFirstChild(); child != undefined; child = child.GetNextSibling()) {
        if (child.nodeName == 'P')
            paragraphs++;
    }
    article.body = found[0].GetOuterHTML() + '<!-- ' + paragraphs + ' paragraphs -->';
}
)JS";

// The page's root element in upper case, as the runtime's Document expects.
std::string WithUpperCaseRoot(std::string page) {
  for (const char* from : {"<html", "</html"}) {
    const size_t at = page.find(from);
    if (at == std::string::npos) continue;
    for (size_t i = at; i < at + std::string(from).size(); ++i) page[i] = static_cast<char>(std::toupper(page[i]));
  }
  return page;
}

// Milliseconds from spawn to exit, or -1 when the run failed.
double TimedRun(const std::string& program, std::vector<std::string> args) {
  args.insert(args.begin(), program);
  const bench::ChildRun run = bench::RunChild(std::move(args));
  return run.ok ? run.ms : -1;
}

void Report(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  double sum = 0;
  for (double m : ms) sum += m;
  std::printf("%-28s runs %zu  min %.1f ms  median %.1f ms  mean %.1f ms  max %.1f ms\n", what, ms.size(),
              ms.front(), ms[ms.size() / 2], sum / static_cast<double>(ms.size()), ms.back());
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  const std::string pagePath = argc > 2 ? argv[2] : std::string(WRENLY_TESTDATA) + "/html-pages/iab-1.html";
  const std::string page = WithUpperCaseRoot(testsupport::ReadFile(pagePath));
  if (page.empty()) {
    std::fprintf(stderr, "cannot read %s\n", pagePath.c_str());
    return 1;
  }
  testsupport::HttpServer server;
  server.server().Get("/article", [&page](const httplib::Request&, httplib::Response& res) {
    res.set_content(page, "text/html; charset=utf-8");
  });
  if (!server.Start()) return 1;
  testsupport::TempDir dir;
  const std::string templatePath = dir.path() + "/Ch100.tpl";
  const std::string output = dir.path() + "/Ch100-1-001.htm";
  testsupport::WriteFile(templatePath, kTemplate);
  const std::string program = std::string(WRENLY_BIN_DIR) + "/Tolvane";

  std::vector<double> extraction;
  std::vector<double> plain;
  for (int i = 0; i < runs; ++i) {
    std::filesystem::remove(output);
    const double ms = TimedRun(program, {server.Url("/article"), output, templatePath});
    if (ms < 0 || !std::filesystem::exists(output)) {
      std::fprintf(stderr, "extraction run %d wrote no article\n", i);
      return 1;
    }
    extraction.push_back(ms);
    plain.push_back(TimedRun(program, {server.Url("/article"), dir.path() + "/plain.htm"}));
  }
  std::printf("page %s: %zu bytes, article %ju bytes\n", pagePath.c_str(), page.size(),
              static_cast<std::uintmax_t>(std::filesystem::file_size(output)));
  Report("extraction (whole run)", extraction);
  Report("plain download (whole run)", plain);
  return 0;
}
