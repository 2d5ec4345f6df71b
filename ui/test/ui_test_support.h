// Helpers for the screen tests: a private settings and data folder per test,
// scripted answers for message boxes and file dialogs, and catalogs made
// through the store.
#pragma once

#include <QString>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "testsupport/temp_dir.h"
#include "ui/frame/dialogs.h"

namespace wrenly::ui::testing {

class CScriptedDialogs : public IDialogs {
 public:
  bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) override;
  void Inform(QWidget* parent, const QString& caption, const QString& text, QMessageBox::Icon icon) override;
  QString SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                       const QString& suffix) override;

  std::deque<bool> answers;   // for AskYesNo, in order; an empty queue answers No
  QString saveFileName;       // what SaveFileName returns
  std::vector<QString> asked;     // "caption|text" of every question and message
};

// An isolated home (settings and data), English unless a test says
// otherwise, the scripted dialogs in place, the network counted as connected
// and the refresh-abort flag down.
class UiTestEnvironment {
 public:
  explicit UiTestEnvironment(const std::string& locale = "en_US.UTF-8");
  ~UiTestEnvironment();
  CScriptedDialogs& dialogs() { return dialogs_; }
  const std::string& root() const { return home_.root(); }

 private:
  testsupport::IsolatedHome home_;
  testsupport::ScopedEnv lang_, all_, messages_;
  CScriptedDialogs dialogs_;
};

struct CatalogChannel {
  std::u16string category, title, url;
  int total = -1, unread = -1;  // stored as counts when not -1
};
// Writes a catalog with these channels (in this order) and returns their numbers.
std::vector<int> WriteCatalog(const std::vector<CatalogChannel>& channels);

// Appends items to a channel's item file: `flags` gives each item's read flag.
void WriteItems(int channel, const std::vector<unsigned>& flags);
// The read flags of a channel's live items in file order.
std::vector<unsigned> ReadFlags(int channel);
// Gives an item a read flag (0 to 3) as the refresh and the full-text jobs
// would, step by step from unread.
void SetReadFlag(int channel, const std::u16string& link, unsigned flag);
// Replaces the channel's error entry as a failed update does.
void WriteErrorEntry(int channel, const std::u16string& errorText);
// The path of one of the channel's files in the data folder ("Ch%03d" + suffix).
std::string ChannelFile(int channel, std::string_view suffix);

// One item of a feed document written for a test (RSS 2.0).
struct TestFeedItem {
  std::string title, link, pubDate, description;
};
// Merges a feed document with these items into the channel's files as a
// refresh does (item file and URL index).
void MergeFeed(int channel, const std::vector<TestFeedItem>& items);
// The path of the stored file (".htm" full text or ".img" picture) that the
// channel's URL index names for an address; empty when it has no record.
std::string StoredFilePath(int channel, const std::u16string& address, const char* extension);

// Writes a translation table for a language under the program folder ("Root").
void WriteTranslation(const std::string& code, const std::u16string& lines, bool withMark = true);

}  // namespace wrenly::ui::testing
