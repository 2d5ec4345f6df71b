// Test fixture for script runs: a local HTTP server for the pages, an output
// path in a temporary folder, and Run(), which runs a template through the
// script host the way Tolvane does.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "fetcher/script_host.h"
#include "fetcher/template_runtime.h"
#include "platform/text.h"
#include "testsupport/http_server.h"
#include "testsupport/temp_dir.h"

namespace wrenly {

inline constexpr const char* kNoFile = "<no file>";

class ScriptRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The runs' transfers keep connections alive; closing each after its
    // response lets the server stop at once at the end of a test.
    server_.server().set_keep_alive_max_count(1);
    ASSERT_TRUE(server_.Start());
    output_ = dir_.path() + "/Ch100-1-001.htm";
  }

  void Serve(const std::string& path, const std::string& body) {
    server_.server().Get(path, [body](const httplib::Request&, httplib::Response& res) {
      res.set_content(body, "text/html");
    });
  }

  // What the template wrote (UTF-8, its mark checked and removed), or kNoFile.
  std::string Run(std::u16string_view templateText) {
    CScriptHost scriptHost;
    EXPECT_TRUE(scriptHost.InitScriptHost(memoryLimit_));
    scriptHost.host().SetOutputPath(output_);
    scriptHost.host().SetArticleUrl(Utf8ToUtf16(server_.Url("/article")));
    entryRan_ = false;
    if (scriptHost.AddScript(BuildScriptText(templateText))) entryRan_ = scriptHost.CallScriptEntry();
    if (!std::filesystem::exists(output_)) return kNoFile;
    const std::string bytes = testsupport::ReadFile(output_);
    EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    return bytes.substr(3);
  }
  std::string Run(std::string_view templateText) { return Run(Utf8ToUtf16(templateText)); }

  testsupport::HttpServer server_;
  testsupport::TempDir dir_;
  std::string output_;
  bool entryRan_ = false;
  std::size_t memoryLimit_ = kScriptMemoryLimit;
};

}  // namespace wrenly
