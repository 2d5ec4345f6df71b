#include "engine/download_dialog_worker.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/full_text_job.h"
#include "net/transfer_control.h"
#include "platform/text.h"
#include "store/paths.h"
#include "store/settings.h"

namespace wrenly {
namespace {

constexpr std::size_t kMaxLine = 1023;
constexpr char16_t kNotStoredText[] = u"The downloaded file could not be stored.";

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool IsPlainTemplateName(std::string_view name) {
  return name.size() > 4 && name.ends_with(".xml") && name.front() != '.' &&
         name.find_first_of("/\\") == std::string_view::npos && name.find("..") == std::string_view::npos;
}

// Fetches into a side file first and renames it into place only when the
// fetch succeeded, so a failed or cancelled download never leaves a torn file.
bool Fetch(IDownloadDialog& dialog, const std::u16string& url, const std::string& path, bool useProxy) {
  const std::string part = path + ".part";
  std::uint32_t code = 0;
  std::u16string error;
  const std::uint32_t result = RunFetcher(url, part, "", code, error, useProxy);
  std::error_code ec;
  if (result == 0 && !dialog.Cancelled() && FileExists(part)) {
    std::filesystem::rename(part, path, ec);
    if (!ec) return true;
    error = kNotStoredText;
  }
  std::filesystem::remove(part, ec);
  if (dialog.Cancelled()) return false;
  if (error.empty()) error = kFetcherNotStartedText;
  dialog.Failed(error);
  return false;
}

}  // namespace

std::vector<std::string> TemplateNamesOfList(std::string_view list) {
  std::vector<std::string> names;
  while (!list.empty()) {
    const std::size_t end = std::min(list.find('\n'), list.size());
    std::string_view line = list.substr(0, std::min(end, kMaxLine));
    list.remove_prefix(std::min(end + 1, list.size()));
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (IsPlainTemplateName(line)) names.emplace_back(line);
  }
  return names;
}

void RunDownloadDialogWorker(IDownloadDialog& dialog) {
  // New work: the Cancel of an earlier download or refresh must not stop it.
  GetTransferControl().ClearAbortFlag();
  const bool useProxy = GetSettingInt(setting::kUseNetAgency) != 0;
  const std::u16string site = GetSettingString(setting::kSupportWebsite);
  const std::u16string suffix = GetSettingString(setting::kLanguage) == u"CHS" ? u"_CHS" : u"";
  const std::string root = GetDataRoot();
  const std::string templates = root + "/Templates";
  CreateFolder(templates);

  dialog.ShowStatus(u"Download sample channels (OPML)...", u"");
  if (dialog.Cancelled() ||
      !Fetch(dialog, site + u"/SampleChannels" + suffix + u".xml", root + "/SampleChannels.opml", useProxy))
    return;

  dialog.ShowStatus(u"Download online template list file...", u"");
  const std::string listPath = root + "/OnlineTemplates.txt";
  std::error_code ec;
  std::filesystem::remove(listPath, ec);
  if (dialog.Cancelled() || !Fetch(dialog, site + u"/OnlineTemplates" + suffix + u".txt", listPath, useProxy))
    return;

  for (const std::string& name : TemplateNamesOfList(ReadWholeFile(listPath))) {
    if (dialog.Cancelled()) return;
    const std::u16string wide = Utf8ToUtf16(name);
    dialog.ShowStatus(u"Download", wide);
    if (!Fetch(dialog, site + u"/" + wide, templates + "/" + name, useProxy)) return;
  }
  if (!dialog.Cancelled()) dialog.Done();
}

}  // namespace wrenly
