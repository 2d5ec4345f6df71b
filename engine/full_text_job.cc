#include "engine/full_text_job.h"

#include <cstring>
#include <filesystem>

#include "net/hresult.h"
#include "net/internet_error.h"
#include "platform/program_folder.h"
#include "platform/text.h"
#include "platform/text_file.h"
#include "platform/trace.h"
#include "store/channel_files.h"
#include "store/channel_store.h"
#include "store/data_root_lock.h"
#include "store/dates.h"
#include "store/feed_parser.h"
#include "store/paths.h"
#include "store/picture_addresses.h"
#include "store/settings.h"
#include "net/transfer_control.h"
#include "net/web_address.h"

namespace wrenly {
namespace {

std::uint32_t Fail(std::uint32_t code, std::u16string text, const std::string& outputPath,
                   std::uint32_t& errorCode, std::u16string& errorText) {
  std::error_code ec;
  std::filesystem::remove(outputPath, ec);  // a torn file must not pass for a result
  errorCode = code;
  errorText = std::move(text);
  return code;
}

// Fetches the pictures of a fetched article that are not on disk yet.
// pageUrl: where the article's page was served from.
void FetchArticlePictures(const FullTextJob& job, const std::string& itemFile, std::u16string_view pageUrl) {
  std::u16string text;
  if (!ReadTextFile(job.fullTextFile, text, 0) || text.empty()) return;
  const std::string dataRoot = GetDataRoot();
  PictureAddress found;
  for (std::size_t pos = 0; !job.abortCheck() && NextPictureAddress(text, pos, found);) {
    std::string picture;
    {
      // The address gets its record, and its file name, under the lock.
      const DataRootLock lock(dataRoot, LockMode::kExclusive);
      CChannelStore index(UrlIndexPathFor(itemFile), false);
      if (!index.ContainsLink(found.address) && !index.AppendIndexAddress(found.address)) continue;
      if (!index.FindRecord(found.address, u"")) continue;
      picture = StampedFilePath(itemFile, index.current().flag, index.current().type, ".img");
    }
    if (job.abortCheck()) continue;
    if (FileExists(picture)) continue;
    std::uint32_t code = 0;
    std::u16string error;
    // The key stays the address as the page writes it; the download takes
    // it as a browser would on the article's page.
    RunFetcher(ResolveWebAddress(pageUrl, found.address), picture, "", code, error, job.useProxy);
  }
}

FetcherRun StartFetcher(std::u16string_view url, const std::string& outputPath, const std::string& templatePath,
                        bool useProxy, std::chrono::milliseconds limit) {
  TraceF("RunFetcher %s\n", Utf16ToUtf8(url).c_str());
  const std::vector<std::string> args = FetcherArguments(url, outputPath, templatePath, useProxy,
                                                         GetSettingString(setting::kNetAgencyIP));
  return RunFetcherProgram(GetProgramFolder() + "/Tolvane", args, limit,
                           [] { return GetTransferControl().AbortFlag(); });
}

}  // namespace

std::uint32_t JudgeFetcherRun(const FetcherRun& run, const std::string& outputPath, std::uint32_t& errorCode,
                              std::u16string& errorText) {
  errorCode = 0;
  errorText.clear();
  const auto failure = static_cast<std::uint32_t>(INET_E_DOWNLOAD_FAILURE);
  if (!run.started) return Fail(failure, kFetcherNotStartedText, outputPath, errorCode, errorText);
  if (run.timedOut) return Fail(ERROR_INTERNET_TIMEOUT, kFetcherTimedOutText, outputPath, errorCode, errorText);
  if (run.exitStatus < 0) {
    TraceF("Tolvane ended by signal %d (%s)\n", run.signal, run.signal != 0 ? strsignal(run.signal) : "status lost");
    return Fail(failure, kFetcherCrashedText, outputPath, errorCode, errorText);
  }
  TraceF("Wrenly know that Tolvane exits with code = 0x%08x.\n", static_cast<unsigned>(run.exitStatus));
  if (run.exitStatus == kFetcherExitDone) return 0;
  errorCode = run.errorCode != 0 ? run.errorCode : static_cast<std::uint32_t>(run.exitStatus);
  errorText = !run.errorText.empty() ? run.errorText : InternetErrorText(errorCode);
  Trace(errorText);
  Trace("\n");
  return errorCode;
}

std::uint32_t RunFetcher(std::u16string_view url, const std::string& outputPath,
                         const std::string& templatePath, std::uint32_t& errorCode,
                         std::u16string& errorText, bool useProxy, std::chrono::milliseconds limit) {
  return JudgeFetcherRun(StartFetcher(url, outputPath, templatePath, useProxy, limit), outputPath, errorCode,
                         errorText);
}

void RunFullTextJob(const FullTextJob& job) {
  if (job.abortCheck()) return;
  std::uint32_t code = 0;
  std::u16string error;
  // The result is not needed: the output file is the outcome.
  const FetcherRun run = StartFetcher(job.url, job.fullTextFile, job.templateFile, job.useProxy, kFetcherTimeLimit);
  JudgeFetcherRun(run, job.fullTextFile, code, error);
  if (job.abortCheck()) {
    // The fetcher was told to stop: what it wrote may be a cut-off page. The
    // item is not marked, so the next refresh fetches its full text again.
    std::error_code ec;
    std::filesystem::remove(job.fullTextFile, ec);
    return;
  }
  if (job.skipFollowUp || !FileExists(job.fullTextFile)) return;
  // An empty file stands for a page that gives no article and is not to be
  // fetched again: the item keeps its description.
  std::error_code ec;
  if (std::filesystem::file_size(job.fullTextFile, ec) == 0 && !ec) return;
  const std::string itemFile = ChannelDataPath(ChannelFileName(job.channel, ".bin"));
  {
    const DataRootLock lock(GetDataRoot(), LockMode::kExclusive);
    CChannelStore store(itemFile, false);
    store.UpdateField(job.url, ItemField::kReadFlag, kReadFlagFullTextArrived);
  }
  // The page may have been served from elsewhere (a redirect): relative
  // picture addresses refer to that address.
  const std::u16string& pageUrl = run.pageAddress.empty() ? job.url : run.pageAddress;
  if (GetSettingInt(setting::kDownloadImage) != 0) FetchArticlePictures(job, itemFile, pageUrl);
}

}  // namespace wrenly
