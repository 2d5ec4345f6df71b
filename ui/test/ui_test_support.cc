#include "ui/test/ui_test_support.h"

#include <filesystem>

#include "engine/refresh_abort.h"
#include "platform/text.h"
#include "store/channel_catalog.h"
#include "store/channel_counts.h"
#include "store/channel_files.h"
#include "store/channel_store.h"
#include "store/feed_parser.h"
#include "store/item_record.h"
#include "store/paths.h"
#include "store/settings.h"

namespace wrenly::ui::testing {

bool CScriptedDialogs::AskYesNo(QWidget*, const QString& caption, const QString& text) {
  asked.push_back(caption + "|" + text);
  if (answers.empty()) return false;
  const bool answer = answers.front();
  answers.pop_front();
  return answer;
}

void CScriptedDialogs::Inform(QWidget*, const QString& caption, const QString& text, QMessageBox::Icon) {
  asked.push_back(caption + "|" + text);
}

QString CScriptedDialogs::SaveFileName(QWidget*, const QString&, const QString&, const QString&) {
  return saveFileName;
}

UiTestEnvironment::UiTestEnvironment(const std::string& locale)
    : lang_("LANG", locale), all_("LC_ALL", ""), messages_("LC_MESSAGES", "") {
  SetDialogs(&dialogs_);
  ClearRefreshAbort();
  // The program folder with the translations is the test's own.
  SetSettingString(setting::kRoot, Utf8ToUtf16(home_.root() + "/program"));
  // Refreshes talk to a local site, whatever the machine's routes say.
  SetSettingInt(setting::kAlwaysConnected, 1);
}

UiTestEnvironment::~UiTestEnvironment() {
  SetDialogs(nullptr);
  ClearRefreshAbort();
}

std::vector<int> WriteCatalog(const std::vector<CatalogChannel>& channels) {
  CreateFolder(ChannelDataFolder());
  CChannelCatalog catalog;
  catalog.CreateEmpty();
  catalog.SetPath(ChannelDataPath("Channels.opml"));
  std::vector<int> numbers;
  std::map<std::u16string, ChannelCountValues> counts;
  for (const CatalogChannel& channel : channels) {
    numbers.push_back(catalog.AddChannel(channel.category, channel.title, channel.url));
    if (channel.total >= 0) counts[channel.url] = {channel.total, channel.unread};
  }
  catalog.SaveFile();
  StoreChannelCounts(catalog, counts);
  return numbers;
}

void WriteItems(int channel, const std::vector<unsigned>& flags) {
  CreateFolder(ChannelDataFolder());
  CChannelStore store(ChannelDataPath(ChannelFileName(channel, ".bin")), false);
  for (size_t i = 0; i < flags.size(); ++i) {
    const std::u16string n = Utf8ToUtf16(std::to_string(i));
    store.AppendRecord(u"Item " + n, u"http://127.0.0.1/item/" + n, u"2008-05-01 10:00:00", flags[i],
                       kItemTypeOrdinary, u"<p>Body " + n + u"</p>");
  }
}

std::vector<unsigned> ReadFlags(int channel) {
  std::vector<unsigned> flags;
  CChannelStore store(ChannelDataPath(ChannelFileName(channel, ".bin")), false);
  store.ResetCursor();
  while (store.ReadNext()) flags.push_back(store.current().flag);
  return flags;
}

void SetReadFlag(int channel, const std::u16string& link, unsigned flag) {
  CChannelStore store(ChannelFile(channel, ".bin"), false);
  if (flag & kFlagUnreadFullText) store.UpdateField(link, ItemField::kReadFlag, kReadFlagFullTextArrived);
  if (flag & kFlagRead) store.UpdateField(link, ItemField::kReadFlag, flag);
}

void WriteErrorEntry(int channel, const std::u16string& errorText) {
  WriteErrorRecord(ChannelFile(channel, ".bin"), errorText);
}

std::string ChannelFile(int channel, std::string_view suffix) {
  return ChannelDataPath(ChannelFileName(channel, suffix));
}

void MergeFeed(int channel, const std::vector<TestFeedItem>& items) {
  CreateFolder(ChannelDataFolder());
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>Test</title>"
      "<link>http://127.0.0.1/</link><description>d</description>";
  for (const TestFeedItem& item : items)
    xml += "<item><title>" + item.title + "</title><link>" + item.link + "</link><pubDate>" + item.pubDate +
           "</pubDate><description><![CDATA[" + item.description + "]]></description></item>";
  xml += "</channel></rss>";
  const std::string path = ChannelDataPath(ChannelFileName(channel, "~.xml"));
  testsupport::WriteFile(path, xml);
  CFeedParser feed;
  if (feed.Load(path) == 1) feed.MergeItems();
  std::remove(path.c_str());
}

std::string StoredFilePath(int channel, const std::u16string& address, const char* extension) {
  const std::string items = ChannelDataPath(ChannelFileName(channel, ".bin"));
  CChannelStore index(UrlIndexPathFor(items), false);
  if (!index.FindRecord(address, u"")) return {};
  return StampedFilePath(items, index.current().flag, index.current().type, extension);
}

void WriteTranslation(const std::string& code, const std::u16string& lines, bool withMark) {
  const std::string folder = Utf16ToUtf8(GetSettingString(setting::kRoot)) + "/Localization/" + code;
  std::filesystem::create_directories(folder);
  testsupport::WriteFile(folder + "/Default.txt", (withMark ? "\xFF\xFE" : "") + Utf16ToUtf16LE(lines));
}

}  // namespace wrenly::ui::testing
