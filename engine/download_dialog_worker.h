// The work behind the download progress dialog: the sample channel list, the
// online template list and every template it names, each fetched through the
// fetcher in plain-download mode into the data root. The dialog itself
// belongs to the screens; it implements IDownloadDialog and runs
// RunDownloadDialogWorker on a thread of its own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wrenly {

class IDownloadDialog {
 public:
  virtual ~IDownloadDialog() = default;
  // An English status text to translate; for a template download the text is
  // "Download" and `name` the template's name (shown as text + " " + name + "...").
  virtual void ShowStatus(std::u16string_view text, std::u16string_view name) = 0;
  virtual bool Cancelled() = 0;
  // A download failed: show "Error: <errorText>" and offer "OK".
  virtual void Failed(std::u16string_view errorText) = 0;
  // Everything arrived: close with OK.
  virtual void Done() = 0;
};

// The template names of an online template list: one per line (at most 1023
// bytes; line ends and blank lines dropped), kept only when it is a plain
// file name ending in ".xml" (no "/", "\", no "..", no leading "."), so a
// list from the network cannot write outside the templates folder.
std::vector<std::string> TemplateNamesOfList(std::string_view list);

void RunDownloadDialogWorker(IDownloadDialog& dialog);

}  // namespace wrenly
