#include "cli/engine_commands.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <ostream>

#include "cli/cli_channel_panel.h"
#include "cli/interrupt_watch.h"
#include "engine/auto_update.h"
#include "engine/dock_watch.h"
#include "engine/messages.h"
#include "engine/refresh_abort.h"
#include "net/messages.h"
#include "platform/text.h"
#include "reader/account.h"
#include "reader/reader_data.h"
#include "reader/refresh.h"
#include "reader/sync.h"
#include "reader/settings.h"

namespace wrenly::cli {
namespace {

// The channels named on the command line (by number or title), in the
// catalog's order; `unknown` receives the names that match none.
std::vector<ChannelRow> ChooseChannels(const std::vector<std::string>& names, std::vector<std::string>& unknown) {
  std::vector<ChannelRow> all = LoadCatalogChannels();
  if (names.empty()) return all;
  std::vector<bool> chosen(all.size(), false);
  for (const std::string& name : names) {
    bool found = false;
    for (std::size_t i = 0; i < all.size(); ++i) {
      if (std::to_string(all[i].number) != name && Utf16ToUtf8(all[i].title) != name) continue;
      chosen[i] = found = true;
    }
    if (!found) unknown.push_back(name);
  }
  std::vector<ChannelRow> rows;
  for (std::size_t i = 0; i < all.size(); ++i)
    if (chosen[i]) rows.push_back(all[i]);
  return rows;
}

void PrintRows(const std::vector<ChannelRow>& rows, std::ostream& out, int& failed) {
  int unread = 0, total = 0;
  failed = 0;
  for (const ChannelRow& row : rows) {
    const bool updated = row.icon == kIconUpdated;
    out << row.number << '\t' << Utf16ToUtf8(row.title) << '\t';
    if (updated)
      out << "updated";
    else
      out << "failed: " << Utf16ToUtf8(row.error.empty() ? u"cancelled" : row.error);
    const int u = std::max(row.unread, 0), t = std::max(row.total, 0);
    out << '\t' << u << '/' << t << '\n';
    unread += u;
    total += t;
    if (!updated) ++failed;
  }
  out << rows.size() << " channels, " << rows.size() - failed << " updated, " << failed << " failed, "
      << unread << '/' << total << " unread\n";
}

int RunRefresh(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> unknown;
  std::vector<ChannelRow> rows = ChooseChannels(args, unknown);
  for (const std::string& name : unknown) err << "wrenly-cli refresh: no channel \"" << name << "\"\n";
  if (!unknown.empty()) return kExitUsage;
  // The watch comes first: the signals must be blocked before any thread
  // starts, or a worker would take them and end the process mid-write.
  std::atomic<reader::Refresh*> running{nullptr};
  InterruptWatch interrupt([&] {
    if (reader::Refresh* refresh = running) refresh->Abort();
  });
  CliChannelPanel panel(std::move(rows));
  reader::Refresh refresh(panel, &panel);
  running = &refresh;
  AddBroadcastReceiver(&refresh);
  refresh.Toggle();
  // The refresh starts at once or once the connection is up.
  while (refresh.waitingForConnection() && !interrupt.interrupted())
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (interrupt.interrupted()) refresh.Abort();
  refresh.Wait();
  RemoveBroadcastReceiver(&refresh);
  // No interrupt callback may still be using the refresh when it goes.
  interrupt.Stop();
  if (const reader::Result stored = refresh.StoreCounts(); !stored.done())
    err << "wrenly-cli refresh: the channel counts could not be saved: " << stored.message << '\n';
  int failed = 0;
  PrintRows(panel.Rows(), out, failed);
  if (interrupt.interrupted()) err << "wrenly-cli refresh: cancelled\n";
  return failed == 0 && !interrupt.interrupted() ? kExitOk : kExitFailed;
}

// Prints each refresh of the schedule as it ends.
class AutoReporter : public Receiver {
 public:
  explicit AutoReporter(std::ostream& out) : out_(out) {}
  void Post(MessageId message, std::uint64_t, std::int64_t) override {
    if (message == RegisterMessage(kMsgDownloadStart)) Print("refresh started");
    if (message == RegisterMessage(kMsgDownloadFinished)) Print("refresh finished");
  }

 private:
  void Print(const char* text) {
    std::lock_guard lock(mutex_);
    out_ << text << std::endl;
  }
  std::ostream& out_;
  std::mutex mutex_;
};

int RunAuto(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (!args.empty()) return UsageError("auto", err);
  const int mode = reader::SettingNumber(setting::kAutoUpdateMode);
  if (mode == kAutoUpdateOff) {
    err << "wrenly-cli auto: \"AutoUpdateMode\" is 0 (no automatic update)\n";
    return kExitFailed;
  }
  std::mutex mutex;
  std::condition_variable stopped;
  bool stop = false;
  InterruptWatch interrupt([&] {
    std::lock_guard lock(mutex);
    stop = true;
    stopped.notify_all();
  });
  CliChannelPanel panel(LoadCatalogChannels());
  // Each refresh of the schedule stores its counts when it ends.
  reader::Refresh refresh(panel, &panel);
  AutoReporter reporter(out);
  AddBroadcastReceiver(&refresh);
  AddBroadcastReceiver(&reporter);
  CDockWatch dock(&refresh);
  dock.Start();
  if (mode == kAutoUpdateTimed) StartAutoUpdate(&refresh);
  out << "automatic update in mode " << mode << "; Ctrl-C ends it" << std::endl;
  {
    std::unique_lock lock(mutex);
    stopped.wait(lock, [&] { return stop; });
  }
  StopAutoUpdate();
  dock.Close();
  refresh.Abort();
  refresh.Wait();
  RemoveBroadcastReceiver(&reporter);
  RemoveBroadcastReceiver(&refresh);
  refresh.StoreCounts();
  return kExitOk;
}

bool IsValueName(const std::string& name) {
  return !name.empty() && name.find_first_of("=[]\r\n;#") == std::string::npos && name.front() != ' ' &&
         name.back() != ' ';
}

int RunSet(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  if (args.size() != 2) return UsageError("set", err);
  if (!IsValueName(args[0]) || args[1].find_first_of("\r\n") != std::string::npos) {
    err << "wrenly-cli set: a value name is one line without \"=\", \"[\", \"]\", \";\" or \"#\", "
           "and a value is one line\n";
    return kExitUsage;
  }
  if (const reader::Result stored = reader::StoreSetting(args[0], Utf8ToUtf16(args[1])); !stored.done()) {
    err << "wrenly-cli set: " << stored.message << '\n';
    return kExitFailed;
  }
  return kExitOk;
}

bool IsNumberSetting(std::string_view name) {
  for (std::string_view n : {setting::kArticlesNumber, setting::kArticlesNumberSet, setting::kDownloadImage,
                             setting::kDownloadFulltext, setting::kAutoUpdateMode, setting::kAutoUpdateTimeNum,
                             setting::kAutoUpdateTimeUnit, setting::kUseNetAgency, setting::kUseStorageCard,
                             setting::kStorageCardNo, setting::kHtmlFontSize, setting::kAlwaysConnected,
                             setting::kNewHeadlinesNotice})
    if (AsciiLower(n) == AsciiLower(name)) return true;
  return false;
}

int RunGet(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1) return UsageError("get", err);
  if (const auto stored = reader::StoredSetting(args[0]))
    out << Utf16ToUtf8(*stored) << '\n';
  else if (IsNumberSetting(args[0]))
    out << reader::SettingNumber(args[0]) << '\n';
  else
    out << Utf16ToUtf8(reader::SettingText(args[0])) << '\n';
  return kExitOk;
}

// Syncs with the account's server and prints what changed.
int RunSync(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (!args.empty()) return UsageError("sync", err);
  const std::string root = reader::ReaderData::Current().root();
  const reader::ValueResult<std::optional<reader::Account>> account = reader::LoadAccount(root);
  if (!account.done()) {
    err << "wrenly-cli sync: " << account.result.message << '\n';
    return kExitFailed;
  }
  if (!account.value) {
    err << "wrenly-cli sync: no account is set (wrenly-cli account ttrss URL USER)\n";
    return kExitFailed;
  }
  const reader::ValueResult<reader::SyncReport> synced = reader::Sync(root, *account.value);
  if (!synced.done()) {
    err << "wrenly-cli sync: " << synced.result.message << '\n';
    return kExitFailed;
  }
  const reader::SyncReport& report = synced.value;
  out << report.channelsAdded << " channels added, " << report.channelsRemoved << " removed, " << report.channelsSent
      << " sent to the server, " << report.newItems << " new items, " << report.changesSent << " changes sent, "
      << report.changesReceived << " taken from the server\n";
  for (const std::string& note : report.notes) out << note << '\n';
  return kExitOk;
}

}  // namespace

std::vector<Command> EngineCommands() {
  return {
      {"refresh", "[CHANNEL...]",
       "Refreshes every channel, or the channels given by number or title: feeds, pictures when "
       "\"DownloadImage\" is on, full texts when \"DownloadFulltext\" is on and the channel has a "
       "template. With an account, syncs with its server instead of downloading the feeds. Prints one "
       "line per channel and the totals; exit 0 when every channel updated.",
       RunRefresh},
      {"sync", "",
       "Syncs with the account's server: its channels and categories, new items and the read state "
       "both ways; local changes made offline are sent. Pictures come from their sites when "
       "\"DownloadImage\" is on; full texts come with refresh, which syncs first. Exit 1 with the "
       "reason when it fails.",
       RunSync},
      {"auto", "",
       "Runs the automatic-update schedule of \"AutoUpdateMode\" in the foreground (1: refresh when "
       "docked, 2: at the set interval) until Ctrl-C.",
       RunAuto},
      {"set", "NAME VALUE", "Stores a setting.", RunSet},
      {"get", "NAME", "Prints a setting: the stored value or its default.", RunGet},
  };
}

}  // namespace wrenly::cli
