// Runs the built Tolvane program against a local HTTP server.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "fetcher/sandbox.h"
#include "testsupport/http_server.h"
#include "testsupport/temp_dir.h"

extern char** environ;

namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

const std::string kTolvane = std::string(WRENLY_BIN_DIR) + "/Tolvane";
constexpr char kMark[] = "\xEF\xBB\xBF";

// One Tolvane process with its stdout and stderr captured.
class TolvaneProcess {
 public:
  explicit TolvaneProcess(const std::vector<std::string>& args,
                          const std::vector<std::string>& extraEnv = {}) {
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return;
    std::vector<std::string> env = extraEnv;
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings = {kTolvane};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    if (posix_spawn(&pid_, kTolvane.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
  }
  ~TolvaneProcess() {
    if (pid_ > 0 && !waited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
    if (err_ >= 0) close(err_);
  }

  // The next stdout line, waiting at most 10 s; "" at the end of output.
  std::string ReadLine() {
    for (;;) {
      const size_t newline = stdout_.find('\n', consumed_);
      if (newline != std::string::npos) {
        std::string line = stdout_.substr(consumed_, newline - consumed_);
        consumed_ = newline + 1;
        return line;
      }
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, 10000) <= 0 || !ReadSome(out_, stdout_)) return {};
    }
  }

  void Signal(int signal) { kill(pid_, signal); }

  // Waits for the end and returns the exit status (-1 when killed by a signal).
  int Wait() {
    while (ReadSome(out_, stdout_)) {
    }
    while (ReadSome(err_, stderr_)) {
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  bool started() const { return pid_ > 0; }
  const std::string& out() const { return stdout_; }
  const std::string& err() const { return stderr_; }

 private:
  static bool ReadSome(int fd, std::string& into) {
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return false;
    into.append(buffer, static_cast<size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  bool waited_ = false;
  std::string stdout_;
  std::string stderr_;
  size_t consumed_ = 0;
};

int RunTolvane(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
               std::string* out = nullptr, std::string* err = nullptr) {
  TolvaneProcess process(args, env);
  EXPECT_TRUE(process.started());
  const int status = process.Wait();
  if (out != nullptr) *out = process.out();
  if (err != nullptr) *err = process.err();
  return status;
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

class TolvaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.server().Get("/page", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<HTML><BODY><DIV class=\"story\">caf\xC3\xA9 \xE4\xB8\xAD</DIV></BODY></HTML>",
                      "text/html");
    });
    server_.server().Get("/missing", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content("not here", "text/plain");
    });
    ASSERT_TRUE(server_.Start());
    output_ = dir_.path() + "/Ch100-12345678-001.htm";
    template_ = dir_.path() + "/Ch100.tpl";
  }

  // A template that extracts the story with the runtime's Document.
  void WriteExtractionTemplate(const std::string& pagePath = "/page") {
    WriteFile(template_,
              "var doc = new Document(article.url.replace('/article', '" + pagePath + "'), 'utf-8');\n"
              "var story = doc.getElementsByAttr('div', 'class', 'story');\n"
              "if (story.length == 1) {\n"
              "  var html = story[0].GetOuterHTML();\n"
              "  article.body = html.substring(html.indexOf('>') + 1, html.lastIndexOf('<'));\n"
              "}\n");
  }

  testsupport::HttpServer server_;
  testsupport::TempDir dir_;
  std::string output_;
  std::string template_;
};

TEST_F(TolvaneTest, PlainDownloadWritesTheFileAndReportsProgress) {
  std::string out;
  EXPECT_EQ(RunTolvane({server_.Url("/page"), output_}, {}, &out), 0);
  EXPECT_EQ(ReadFile(output_).substr(0, 6), "<HTML>");
  const std::string size = std::to_string(ReadFile(output_).size());
  EXPECT_NE(out.find("progress " + size + " 0\n"), std::string::npos) << out;
  EXPECT_TRUE(out.ends_with("progress " + size + " 1\n")) << out;
}

TEST_F(TolvaneTest, FailedPlainDownloadExitsTwoWithAnErrorLine) {
  std::string out;
  std::string err;
  EXPECT_EQ(RunTolvane({server_.Url("/missing"), output_}, {}, &out, &err), 2);
  EXPECT_FALSE(Exists(output_));
  EXPECT_TRUE(err.starts_with("error ")) << err;
  EXPECT_NE(err.find("404"), std::string::npos) << err;
  EXPECT_TRUE(out.ends_with("progress 4294967295 1\n")) << out;
  // Nothing listens on port 1 of the loopback host.
  EXPECT_EQ(RunTolvane({"http://127.0.0.1:1/x", output_}, {}, nullptr, &err), 2);
  EXPECT_TRUE(err.starts_with("error 12029 ")) << err;
  EXPECT_EQ(RunTolvane({"file:///etc/passwd", output_}, {}, nullptr, &err), 2);
  EXPECT_FALSE(Exists(output_));
}

TEST_F(TolvaneTest, TooFewArgumentsDoNothing) {
  EXPECT_EQ(RunTolvane({}), 0);
  EXPECT_EQ(RunTolvane({"-p"}), 0);
  EXPECT_EQ(RunTolvane({"-p", "127.0.0.1:1", server_.Url("/page")}), 0);
  std::string err;
  EXPECT_EQ(RunTolvane({"-p", std::string(300, 'h'), server_.Url("/page"), output_}, {}, nullptr, &err), 1);
  EXPECT_TRUE(err.starts_with("error 1 ")) << err;
  EXPECT_FALSE(Exists(output_));
}

TEST_F(TolvaneTest, ProxyPairSendsEveryTransferThroughTheProxy) {
  // The proxy is a second local server that answers every absolute-URI request.
  testsupport::HttpServer proxy;
  std::atomic<int> proxied{0};
  proxy.server().Get(".*", [&proxied](const httplib::Request&, httplib::Response& res) {
    ++proxied;
    res.set_content("<HTML><BODY><DIV class=\"story\">via proxy</DIV></BODY></HTML>", "text/html");
  });
  ASSERT_TRUE(proxy.Start());
  const std::string proxyAddress = "127.0.0.1:" + std::to_string(proxy.port());
  // The article host does not exist: only the proxy can answer.
  const std::string url = "http://127.0.0.1:1/article";
  EXPECT_EQ(RunTolvane({"-P", proxyAddress, url, output_}), 0);
  EXPECT_NE(ReadFile(output_).find("via proxy"), std::string::npos);
  WriteExtractionTemplate();
  EXPECT_EQ(RunTolvane({"-p", proxyAddress, url, output_, template_}), 0);
  EXPECT_EQ(ReadFile(output_), std::string(kMark) + "via proxy");
  EXPECT_EQ(proxied.load(), 2);
}

TEST_F(TolvaneTest, ExtractionWritesTheArticleAsUtf8WithMark) {
  WriteExtractionTemplate();
  std::string out;
  EXPECT_EQ(RunTolvane({server_.Url("/article"), output_, template_}, {"LANG=C"}, &out), 0);
  EXPECT_EQ(ReadFile(output_), std::string(kMark) + "caf\xC3\xA9 \xE4\xB8\xAD");
  EXPECT_NE(out.find(" 1\n"), std::string::npos) << out;  // the script's transfer reports progress
}

TEST_F(TolvaneTest, TemplateFileWithByteOrderMarks) {
  // UTF-16LE with mark: the template's own non-ASCII text survives.
  const std::u16string script = u"article.body = '\u00e9\u4e2d';";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : script) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  WriteFile(template_, bytes);
  EXPECT_EQ(RunTolvane({server_.Url("/article"), output_, template_}), 0);
  EXPECT_EQ(ReadFile(output_), std::string(kMark) + "\xC3\xA9\xE4\xB8\xAD");
}

TEST_F(TolvaneTest, MissingTemplateTouchesNothing) {
  WriteFile(output_, "earlier article");
  EXPECT_EQ(RunTolvane({server_.Url("/article"), output_, dir_.path() + "/none.tpl"}), 0);
  EXPECT_EQ(RunTolvane({server_.Url("/article"), output_, dir_.path()}), 0);  // a folder
  EXPECT_EQ(ReadFile(output_), "earlier article");
}

TEST_F(TolvaneTest, RunsWithoutArticleLeaveNoOutputFile) {
  for (const char* script : {"article.body = undefined;", "article.body = 'x'; }{",
                             "article.body = 'x'; nothing();", ""}) {
    WriteFile(output_, "earlier article");
    WriteFile(template_, script);
    EXPECT_EQ(RunTolvane({server_.Url("/article"), output_, template_}), 0) << script;
    EXPECT_FALSE(Exists(output_)) << script;
  }
}

TEST_F(TolvaneTest, AutomaticExtractionWritesAnArticleOnlyForAnHtmlPageThatHasOne) {
  std::string story = "<html><body><nav><a href=\"/\">Home</a> <a href=\"/news\">News</a></nav><article>";
  for (int i = 1; i <= 4; ++i)
    story += "<p>Paragraph " + std::to_string(i) + ", with words, commas and clauses, as articles have them.</p>";
  story += "<p><img src=\"pics/one.png\"> caf\xC3\xA9</p></article></body></html>";
  server_.server().Get("/story", [&story](const httplib::Request&, httplib::Response& res) {
    res.set_content(story, "text/html");
  });
  server_.server().Get("/paper.pdf", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("%PDF-1.5\n<p>Paragraph with words, commas and clauses.</p>", "application/pdf");
  });
  std::string out;
  EXPECT_EQ(RunTolvane({"-a", server_.Url("/story"), output_}, {}, &out), 0);
  const std::string article = ReadFile(output_);
  EXPECT_TRUE(article.starts_with(kMark));
  EXPECT_NE(article.find("Paragraph 4"), std::string::npos) << article;
  EXPECT_NE(article.find("<img src=\"" + server_.Url("/pics/one.png") + "\""), std::string::npos) << article;
  EXPECT_NE(article.find("caf\xC3\xA9"), std::string::npos);
  EXPECT_EQ(article.find("Home"), std::string::npos) << article;
  EXPECT_NE(out.find("progress "), std::string::npos) << out;
  // Not HTML, no article, no page at all: no output, and an earlier file is gone.
  for (const char* path : {"/paper.pdf", "/page", "/missing"}) {
    WriteFile(output_, "earlier article");
    EXPECT_EQ(RunTolvane({"-a", server_.Url(path), output_}), 0) << path;
    EXPECT_FALSE(Exists(output_)) << path;
  }
}

TEST_F(TolvaneTest, AutomaticExtractionOfAPageBuiltAgainstTheParserLeavesAnEmptyFile) {
  std::string page = "<html><body>";
  for (int i = 0; i < 20000; ++i) page += "<p><b id=" + std::to_string(i) + ">x";
  server_.server().Get("/hostile", [&page](const httplib::Request&, httplib::Response& res) {
    res.set_content(page, "text/html");
  });
  WriteFile(output_, "earlier article");
  EXPECT_EQ(RunTolvane({"-a", server_.Url("/hostile"), output_}), 0);
  EXPECT_TRUE(Exists(output_));
  EXPECT_EQ(ReadFile(output_), "");
}

TEST_F(TolvaneTest, AutomaticExtractionObeysTheTimeLimit) {
  std::atomic<bool> stop{false};
  server_.server().Get("/endless", [&stop](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("application/octet-stream", [&stop](size_t, httplib::DataSink& sink) {
      while (!stop && sink.write("<p>more text, and more</p>", 26))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      sink.done();
      return true;
    });
  });
  WriteFile(output_, "earlier article");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunTolvane({"-a", server_.Url("/endless"), output_}, {"WRENLY_SCRIPT_TIME_LIMIT_MS=300"}), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  stop = true;
  EXPECT_FALSE(Exists(output_));
}

// Relative, root-relative and protocol-relative addresses of a redirected
// page refer to where it was served from: another folder, or another port.
TEST_F(TolvaneTest, ExtractionResolvesAgainstTheAddressARedirectEndedAt) {
  testsupport::HttpServer far;
  const auto page = [](const std::string& otherHost) {
    std::string html = "<html><body><article>";
    for (int i = 1; i <= 4; ++i)
      html += "<p>Paragraph " + std::to_string(i) + ", with words, commas and clauses, as articles have them.</p>";
    return html + "<p><a href=\"next.html\">next</a> <img src=\"pics/one.png\"> <img src=\"/root.png\"> <img src=\"//" +
           otherHost + "/proto.png\"></p></article></body></html>";
  };
  ASSERT_TRUE(far.Start());
  const std::string nearHost = "127.0.0.1:" + std::to_string(server_.port());
  const std::string farHost = "127.0.0.1:" + std::to_string(far.port());
  server_.server().Get("/old/story", [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("/new/deep/story", 301);
  });
  server_.server().Get("/new/deep/story", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(page(farHost), "text/html");
  });
  server_.server().Get("/hop", [&](const httplib::Request&, httplib::Response& res) {
    res.set_redirect(far.Url("/far/story"), 307);
  });
  far.server().Get("/far/story", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(page(nearHost), "text/html");
  });
  struct Case {
    std::string path, served, folder, root, proto;
  };
  const Case cases[] = {
      {"/old/story", server_.Url("/new/deep/story"), server_.Url("/new/deep/"), server_.Url("/root.png"),
       far.Url("/proto.png")},
      {"/hop", far.Url("/far/story"), far.Url("/far/"), far.Url("/root.png"), server_.Url("/proto.png")},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(RunTolvane({"-a", server_.Url(c.path), output_}, {}, &out), 0);
    const std::string article = ReadFile(output_);
    EXPECT_NE(article.find("href=\"" + c.folder + "next.html\""), std::string::npos) << article;
    EXPECT_NE(article.find("src=\"" + c.folder + "pics/one.png\""), std::string::npos) << article;
    EXPECT_NE(article.find("src=\"" + c.root + "\""), std::string::npos) << article;
    EXPECT_NE(article.find("src=\"" + c.proto + "\""), std::string::npos) << article;
    EXPECT_NE(out.find("\npage " + c.served + "\n"), std::string::npos) << out;
    // A template's output is the page as written; the page line tells where
    // it came from, while the template still sees the address it was given.
    WriteFile(template_, "article.body = article.url + '|' + URLDownload(article.url, 'utf-8');");
    EXPECT_EQ(RunTolvane({server_.Url(c.path), output_, template_}, {}, &out), 0);
    EXPECT_TRUE(ReadFile(output_).starts_with(std::string(kMark) + server_.Url(c.path) + "|<html>"));
    EXPECT_NE(out.find("\npage " + c.served + "\n"), std::string::npos) << out;
  }
}

TEST_F(TolvaneTest, RunawayTemplateEndsAtTheTimeLimit) {
  WriteFile(template_, "article.body = 'x'; while (true) {}");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunTolvane({server_.Url("/article"), output_, template_}, {"WRENLY_SCRIPT_TIME_LIMIT_MS=300"}), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_FALSE(Exists(output_));
}

// The sandbox's address-space limit (lowered for the test) turns a template
// that allocates without end into a script error, long before the time limit.
TEST_F(TolvaneTest, ATemplatePastTheMemoryLimitEndsWithoutAnArticle) {
  if (wrenly::kSanitizedBuild) GTEST_SKIP() << "sanitizer builds set no address-space limit";
  WriteFile(template_,
            "article.body = 'x'; var all = [];\n"
            "for (var i = 0;; ++i) { var s = 'x' + i; for (var k = 0; k < 20; ++k) s += s; all.push(s); }\n");
  const std::string trace = dir_.path() + "/trace.log";
  EXPECT_EQ(RunTolvane({server_.Url("/article"), output_, template_},
                       {std::string(wrenly::kMemoryLimitVariable) + "=256", "WRENLY_TRACE=" + trace,
                        "WRENLY_SCRIPT_TIME_LIMIT_MS=600000"}),
            0);
  EXPECT_FALSE(Exists(output_));
  EXPECT_NE(ReadFile(trace).find("alloc failed"), std::string::npos) << ReadFile(trace);
}

TEST_F(TolvaneTest, AbortSignalCutsThePlainDownloadShortAndKeepsNoFile) {
  std::atomic<bool> stop{false};
  server_.server().Get("/slow", [&stop](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("application/octet-stream", [&stop](size_t, httplib::DataSink& sink) {
      const std::string chunk(1000, 'x');
      for (int i = 0; i < 200 && !stop; ++i) {
        if (!sink.write(chunk.data(), chunk.size())) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      sink.done();
      return true;
    });
  });
  TolvaneProcess process({server_.Url("/slow"), output_});
  ASSERT_TRUE(process.started());
  ASSERT_TRUE(process.ReadLine().starts_with("progress "));
  const auto start = std::chrono::steady_clock::now();
  process.Signal(SIGUSR1);
  EXPECT_EQ(process.Wait(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  stop = true;
  // A cut-short body is never kept, not even in part.
  EXPECT_FALSE(Exists(output_));
}

TEST_F(TolvaneTest, AbortSignalDuringExtractionStillEndsTheRun) {
  std::atomic<bool> stop{false};
  server_.server().Get("/silent", [&stop](const httplib::Request&, httplib::Response& res) {
    // Not a text type, so the server does not compress (and hold back) it.
    res.set_chunked_content_provider("application/octet-stream", [&stop](size_t, httplib::DataSink& sink) {
      sink.write("<HTML>", 6);
      while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      sink.done();
      return true;
    });
  });
  // The script's second download starts after the abort and stops at once.
  WriteFile(template_,
            "var page = URLDownload(article.url.replace('/article', '/silent'), '');\n"
            "var again = URLDownload(article.url.replace('/article', '/page'), '');\n"
            "article.body = page + '|' + (again.length < 100);\n");
  TolvaneProcess process({server_.Url("/article"), output_, template_});
  ASSERT_TRUE(process.started());
  ASSERT_EQ(process.ReadLine(), "progress 6 0");
  process.Signal(SIGUSR1);
  EXPECT_EQ(process.Wait(), 0);
  stop = true;
  EXPECT_EQ(ReadFile(output_), std::string(kMark) + "<HTML>|true");
}

}  // namespace
