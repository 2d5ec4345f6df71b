#include "fetcher/fetcher_process.h"

#include <signal.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "fetcher/article_extractor.h"
#include "fetcher/article_output.h"
#include "fetcher/fetcher_args.h"
#include "fetcher/fetcher_listener.h"
#include "fetcher/html_page_bytes.h"
#include "fetcher/sandbox.h"
#include "fetcher/script_host.h"
#include "fetcher/script_watchdog.h"
#include "fetcher/template_runtime.h"
#include "net/network_connection.h"
#include "net/transfer.h"
#include "net/transfer_control.h"
#include "platform/text.h"
#include "platform/text_file.h"
#include "platform/trace.h"

namespace wrenly {
namespace {

constexpr std::chrono::milliseconds kConnectionWait{10000};

// Error lines the program shows (translated) when it ran the fetcher.
constexpr char16_t kProxyTooLongText[] = u"The proxy address is longer than 259 characters.";
constexpr char16_t kNoListenerText[] = u"Fatal Error: the abort listener thread could not be started";

void PrintErrorLine(std::uint32_t code, std::u16string_view text) {
  std::fprintf(stderr, "error %u %s\n", static_cast<unsigned>(code), Utf16ToUtf8(text).c_str());
  std::fflush(stderr);
}

// Brings the network up, waiting at most 10 s for a connection being made;
// after that the fetcher goes on all the same.
void WaitForNetwork(bool useProxy, Event& connection) {
  if (EnsureNetworkConnection(useProxy) == 1 && !connection.Wait(kConnectionWait)) {
    Trace("No connection within 10 s; trying anyway.\n");
  }
}

int RunPlainDownload(const FetcherArgs& args) {
  std::uint32_t errorCode = 0;
  std::u16string errorText;
  const HRESULT result =
      DownloadUrlToFile(Utf8ToUtf16(args.url), args.outputPath, &errorCode, &errorText);
  if (result == S_OK) return kFetcherExitDone;
  PrintErrorLine(errorCode, errorText);
  return kFetcherExitTransferFailed;
}

// The page a run cut its article from was served from this address (after
// redirects): "page <address>" on stdout tells the engine, which takes the
// article's relative picture addresses against it as a browser would.
void ReportPageAddress(std::u16string_view address) {
  if (address.empty()) return;
  std::printf("%s%s\n", kFetcherPagePrefix, Utf16ToUtf8(address).c_str());
  std::fflush(stdout);
}

// Returns the address of the last page the script downloaded ("" for none).
std::u16string RunTemplate(const FetcherArgs& args, std::u16string_view templateText) {
  const std::u16string script = BuildScriptText(templateText);
  ScriptWatchdog watchdog(ScriptTimeLimit());
  CScriptHost scriptHost;
  if (!scriptHost.InitScriptHost()) {
    Trace("The script engine cannot be created.\n");
    return {};
  }
  scriptHost.host().SetOutputPath(args.outputPath);
  scriptHost.host().SetArticleUrl(Utf8ToUtf16(args.url));
  if (scriptHost.AddScript(script)) scriptHost.CallScriptEntry();
  std::u16string pageUrl = scriptHost.host().pageUrl();
  scriptHost.CloseScriptHost();
  return pageUrl;
}

// A missing template writes and deletes nothing. Otherwise an old output
// file goes first, so that a run whose script fails leaves no file behind
// that the main program would take for this run's article.
int RunExtraction(const FetcherArgs& args) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(args.templatePath, error)) {
    TraceF("Template %s not found.\n", args.templatePath.c_str());
    return kFetcherExitDone;
  }
  std::u16string templateText;
  if (!ReadTextFile(args.templatePath, templateText, 0)) {
    TraceF("Template %s cannot be read.\n", args.templatePath.c_str());
  }
  DeleteFileIfPresent(args.outputPath);
  ReportPageAddress(RunTemplate(args, templateText));
  return kFetcherExitDone;
}

// Automatic extraction: the page is fetched into memory (at most
// kMaxDownloadBytes), and only an HTML page that holds an article gives an
// output file. The watchdog bounds the whole run like a template's; an
// aborted run writes nothing, since its page may be cut short.
int RunAutomaticExtraction(const FetcherArgs& args) {
  DeleteFileIfPresent(args.outputPath);
  ScriptWatchdog watchdog(ScriptTimeLimit());
  std::uint32_t errorCode = 0;
  std::u16string errorText;
  DownloadBuffer buffer;
  std::uint64_t byteCount = 0;
  std::u16string pageUrl;
  const HRESULT result = DownloadUrlToFile(Utf8ToUtf16(args.url), {}, &errorCode, &errorText, nullptr, &buffer,
                                           &byteCount, nullptr, &pageUrl);
  if (result != S_OK || !buffer.data) {
    TraceF("The page could not be downloaded (error %u).\n", static_cast<unsigned>(errorCode));
    return kFetcherExitDone;
  }
  if (GetTransferControl().AbortFlag()) {
    Trace("The download was cancelled; no article.\n");
    return kFetcherExitDone;
  }
  const std::string_view bytes(buffer.data.get(), static_cast<size_t>(byteCount));
  if (!LooksLikeHtml(bytes)) {
    Trace("The page is not HTML; no article.\n");
    return kFetcherExitDone;
  }
  // Relative addresses refer to where the page was served from, as in a browser.
  const ArticleExtraction article =
      ExtractArticle(HtmlPageToUtf8(bytes), pageUrl.empty() ? args.url : Utf16ToUtf8(pageUrl));
  if (article.refused) {
    // The page will not change its nature: an empty article file tells the
    // refresh not to fetch it again.
    Trace("The page is built to defeat the HTML parser; no article.\n");
    WriteEmptyArticle(args.outputPath);
    return kFetcherExitDone;
  }
  if (article.html.empty()) {
    Trace("The page holds no article.\n");
    return kFetcherExitDone;
  }
  StoreArticleUtf8(args.outputPath, article.html);
  ReportPageAddress(pageUrl);
  return kFetcherExitDone;
}

int RunWithListener(const FetcherArgs& args, CFetcherListener& listener) {
  if (args.proxyTooLong) {
    PrintErrorLine(kFetcherExitCannotStart, kProxyTooLongText);
    return kFetcherExitCannotStart;
  }
  TransferControl& control = GetTransferControl();
  if (args.useProxy) {
    control.SetUseProxy(true);
    control.SetProxyAddress(args.proxyAddress);
  }
  WaitForNetwork(control.UseProxy(), listener.connectionEvent());
  switch (args.mode) {
    case FetcherMode::kPlain: return RunPlainDownload(args);
    case FetcherMode::kExtraction: return RunExtraction(args);
    case FetcherMode::kAutomatic: return RunAutomaticExtraction(args);
    case FetcherMode::kNothing: return kFetcherExitDone;
  }
  return kFetcherExitDone;
}

}  // namespace

int RunTolvane(const std::vector<std::string>& args) {
  // The parent may close its end of the progress pipe early.
  signal(SIGPIPE, SIG_IGN);
  const FetcherArgs parsed = ParseFetcherArgs(args);
  // Before any thread starts and before any page is read.
  EnterFetcherSandbox(parsed.outputPath, parsed.templatePath);
  int exitCode = kFetcherExitDone;
  {
    CFetcherListener listener;
    if (listener.Start()) {
      exitCode = RunWithListener(parsed, listener);
    } else {
      PrintErrorLine(kFetcherExitCannotStart, kNoListenerText);
      exitCode = kFetcherExitCannotStart;
    }
  }
  TraceF("Tolvane exits with code = 0x%08x.\n", static_cast<unsigned>(exitCode));
  return exitCode;
}

}  // namespace wrenly
