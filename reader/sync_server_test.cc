// The sync against a real, throwaway Tiny Tiny RSS (one per run of this
// binary): logins, the catalog mirror, new articles, read state both ways,
// subscriptions, offline changes, a sync killed midway and two data roots.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "cli/cli_process_support.h"
#include "engine/refresh_test_support.h"
#include "engine/sync/sync_server.h"
#include "platform/text.h"
#include "reader/account.h"
#include "reader/reader_data.h"
#include "reader/refresh.h"
#include "reader/settings.h"
#include "reader/sync.h"
#include "reader/sync_test_server.h"
#include "testsupport/temp_dir.h"

namespace wrenly::reader {
namespace {

class SyncServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string failed = TtrssTestServer::Start();
    ASSERT_TRUE(failed.empty()) << failed;
    server_ = &TtrssTestServer::Get();
    server_->SetApiAccess(true);
    // Each test starts from a server without feeds.
    server_->Sql("delete from ttrss_feeds; delete from ttrss_feed_categories; delete from ttrss_entries");
  }

  // Subscribes the server itself to a feed served here, as the phone would.
  std::int64_t ServerSubscribe(const std::string& name, int articles, std::int64_t category = 0) {
    const std::string url = server_->SetFeed(name, TtrssTestServer::Rss(name, 1, articles));
    auto api = sync::MakeTtrssServer(server_->url());
    EXPECT_TRUE(api->Login("admin", "password").ok());
    std::int64_t id = 0;
    const sync::ServerStatus status = api->Subscribe(url, category, id);
    EXPECT_TRUE(status.ok()) << status.message;
    return id;
  }

  ReaderData NewRoot() {
    roots_.push_back(std::make_unique<testsupport::TempDir>());
    return ReaderData(roots_.back()->path() + "/Data");
  }

  SyncReport MustSync(const ReaderData& data) {
    const ValueResult<SyncReport> synced = Sync(data.root(), server_->AdminAccount());
    EXPECT_TRUE(synced.done()) << synced.result.message;
    return synced.value;
  }

  // "category/title" of each channel, sorted.
  static std::vector<std::string> Channels(const ReaderData& data) {
    std::vector<CatalogEntry> entries;
    EXPECT_TRUE(data.ListChannels(entries).done());
    std::vector<std::string> names;
    for (const CatalogEntry& e : entries) names.push_back(Utf16ToUtf8(e.category + u"/" + e.Get(u"xmlUrl")));
    std::sort(names.begin(), names.end());
    return names;
  }

  static int ChannelOf(const ReaderData& data, const std::string& name) {
    std::vector<CatalogEntry> entries;
    data.ListChannels(entries);
    for (const CatalogEntry& e : entries)
      if (Utf16ToUtf8(e.Get(u"xmlUrl")).ends_with("/" + name + ".xml")) return e.Number();
    return 0;
  }

  // The links of the channel's read items, sorted.
  static std::vector<std::string> ReadLinks(const ReaderData& data, int channel) {
    std::vector<std::string> links;
    data.ForEachItem(channel, [&](const ItemRecord& r) {
      if (r.type != kItemTypeError && (r.flag & kFlagRead) != 0) links.push_back(Utf16ToUtf8(r.link));
    });
    std::sort(links.begin(), links.end());
    return links;
  }

  static int ItemCount(const ReaderData& data, int channel) { return data.Counts(channel).total; }

  std::string ServerUnread(const std::string& name) {
    return server_->Sql(
        "select count(*) from ttrss_user_entries u join ttrss_feeds f on f.id = u.feed_id where u.unread and "
        "f.feed_url like '%/" + name + ".xml'");
  }

  // Marks the article read or unread through the API, as the phone would.
  void ServerMarkRead(const std::string& name, int article, bool read) {
    const std::string id = server_->Sql("select id from ttrss_entries where link = 'http://example.com/" + name +
                                        "/" + std::to_string(article) + "'");
    auto api = sync::MakeTtrssServer(server_->url());
    ASSERT_TRUE(api->Login("admin", "password").ok());
    ASSERT_TRUE(api->SetRead({std::stoll(id)}, read).ok());
  }

  TtrssTestServer* server_ = nullptr;
  testsupport::IsolatedHome home_;
  std::vector<std::unique_ptr<testsupport::TempDir>> roots_;
};

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

TEST_F(SyncServerTest, CheckLoginTellsEachFailureApart) {
  Account account = server_->AdminAccount();
  EXPECT_TRUE(CheckLogin(account).done());

  account.password = "wrong";
  EXPECT_TRUE(CheckLogin(account).message.starts_with(Utf16ToUtf8(kSyncWrongPasswordText))) << CheckLogin(account).message;

  server_->SetApiAccess(false);
  const Result off = CheckLogin(server_->AdminAccount());
  server_->SetApiAccess(true);
  EXPECT_TRUE(off.message.starts_with(Utf16ToUtf8(kSyncApiDisabledText))) << off.message;

  account = server_->AdminAccount();
  account.url = "http://127.0.0.1:1/";
  EXPECT_TRUE(CheckLogin(account).message.starts_with(Utf16ToUtf8(kSyncUnreachableText))) << CheckLogin(account).message;

  // The feed server answers, but it is no news server.
  account.url = server_->SetFeed("plain", "<html></html>");
  EXPECT_TRUE(CheckLogin(account).message.starts_with(Utf16ToUtf8(kSyncNotAServerText))) << CheckLogin(account).message;

  account.url = "http://news.example.org/";
  EXPECT_TRUE(CheckLogin(account).message.starts_with(Utf16ToUtf8(kSyncPlainHttpText))) << CheckLogin(account).message;
}

TEST_F(SyncServerTest, AFailedSyncSaysWhyAndChangesNothing) {
  ServerSubscribe("fail", 2);
  ReaderData data = NewRoot();
  Account account = server_->AdminAccount();
  account.password = "wrong";
  const ValueResult<SyncReport> wrong = Sync(data.root(), account);
  EXPECT_TRUE(wrong.result.message.starts_with(Utf16ToUtf8(kSyncWrongPasswordText)));
  server_->SetApiAccess(false);
  const ValueResult<SyncReport> off = Sync(data.root(), server_->AdminAccount());
  server_->SetApiAccess(true);
  EXPECT_TRUE(off.result.message.starts_with(Utf16ToUtf8(kSyncApiDisabledText)));
  EXPECT_TRUE(Channels(data).empty());

  // wrenly-cli sync exits 1 then.
  const testsupport::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", "");
  ASSERT_TRUE(SaveAccount(ReaderData::Current().root(), account).done());
  EXPECT_EQ(cli::RunCliProgram({"sync"}), 1);
}

TEST_F(SyncServerTest, MirrorsCategoriesFeedsNewArticlesAndReadStateBothWays) {
  const std::int64_t news = server_->AddCategory("News");
  ServerSubscribe("alpha", 3, news);
  ServerSubscribe("beta", 2);
  server_->UpdateFeeds();
  ReaderData data = NewRoot();
  const SyncReport first = MustSync(data);
  EXPECT_EQ(first.channelsAdded, 2);
  EXPECT_EQ(first.newItems, 5);
  const int alpha = ChannelOf(data, "alpha"), beta = ChannelOf(data, "beta");
  EXPECT_EQ(Channels(data), (std::vector<std::string>{"News/" + server_->SetFeed("alpha", TtrssTestServer::Rss("alpha", 1, 3)),
                                                      "Others/" + server_->SetFeed("beta", TtrssTestServer::Rss("beta", 1, 2))}));
  EXPECT_EQ(ItemCount(data, alpha), 3);

  // New articles arrive on the server; the channel keeps its number.
  server_->SetFeed("alpha", TtrssTestServer::Rss("alpha", 1, 5));
  server_->UpdateFeeds();
  EXPECT_EQ(MustSync(data).newItems, 2);
  EXPECT_EQ(ChannelOf(data, "alpha"), alpha);
  EXPECT_EQ(ItemCount(data, alpha), 5);

  // Read here, read there.
  ASSERT_TRUE(data.Mark(alpha, true, u"http://example.com/alpha/1").done());
  ASSERT_TRUE(data.OpenArticle(alpha, u"http://example.com/alpha/2").done());
  EXPECT_EQ(MustSync(data).changesSent, 2);
  EXPECT_EQ(Trimmed(ServerUnread("alpha")), "3");

  // Read and unread there, here after the next sync.
  ServerMarkRead("beta", 1, true);
  ServerMarkRead("alpha", 1, false);
  MustSync(data);
  EXPECT_EQ(ReadLinks(data, beta), (std::vector<std::string>{"http://example.com/beta/1"}));
  EXPECT_EQ(ReadLinks(data, alpha), (std::vector<std::string>{"http://example.com/alpha/2"}));

  // One read and one unread in the same feed there leave its unread count
  // as it was; both arrive all the same.
  ServerMarkRead("alpha", 3, true);
  ServerMarkRead("alpha", 2, false);
  EXPECT_EQ(MustSync(data).changesReceived, 2);
  EXPECT_EQ(ReadLinks(data, alpha), (std::vector<std::string>{"http://example.com/alpha/3"}));

  // Nothing new: nothing is sent, and few requests are made.
  const SyncReport idle = MustSync(data);
  EXPECT_EQ(idle.changesSent, 0);
  EXPECT_EQ(idle.newItems, 0);
  EXPECT_LE(idle.requests, 4);
}

TEST_F(SyncServerTest, TheSessionIsKeptBetweenSyncsUntilTheServerEndsItOrTheAccountGoes) {
  ServerSubscribe("kept", 2);
  server_->UpdateFeeds();
  const testsupport::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", "");
  ReaderData data = ReaderData::Current();
  ASSERT_TRUE(SaveAccount(data.root(), server_->AdminAccount()).done());
  const std::string sessions = "select count(*) from ttrss_sessions";
  const int before = std::stoi(server_->Sql(sessions));
  const int first = MustSync(data).requests;
  // The second sync needs no login, and neither logs out.
  EXPECT_EQ(MustSync(data).requests, first - 1);
  EXPECT_EQ(std::stoi(server_->Sql(sessions)), before + 1);
  // The server ended the session: the sync logs in again and goes on.
  server_->Sql("delete from ttrss_sessions");
  ASSERT_TRUE(data.Mark(ChannelOf(data, "kept"), true).done());
  const SyncReport renewed = MustSync(data);
  EXPECT_EQ(renewed.changesSent, 2);
  EXPECT_EQ(Trimmed(ServerUnread("kept")), "0");
  // A password changed meanwhile is told as such when the session ends.
  Account changed = server_->AdminAccount();
  changed.password = "changed";
  ASSERT_TRUE(SaveAccount(data.root(), changed).done());
  server_->Sql("delete from ttrss_sessions");
  const ValueResult<SyncReport> refused = Sync(data.root(), changed);
  EXPECT_TRUE(refused.result.message.starts_with(Utf16ToUtf8(kSyncWrongPasswordText))) << refused.result.message;
  // The account goes, and the kept session with it.
  const std::string state = data.root() + "/Sync/Feeds.txt";
  EXPECT_NE(testsupport::ReadFile(state).find("session "), std::string::npos);
  ASSERT_TRUE(RemoveAccount(data.root()).done());
  EXPECT_EQ(testsupport::ReadFile(state).find("session "), std::string::npos);
}

TEST_F(SyncServerTest, SubscribeAndUnsubscribeFromWrenlyReachTheServer) {
  ServerSubscribe("kept", 1);
  ReaderData data = NewRoot();
  MustSync(data);
  const std::string added = server_->SetFeed("added", TtrssTestServer::Rss("added", 1, 2));
  ASSERT_TRUE(data.Subscribe(u"Others", u"Added", Utf8ToUtf16(added)).done());
  ASSERT_TRUE(data.Unsubscribe(Utf8ToUtf16(server_->SetFeed("kept", TtrssTestServer::Rss("kept", 1, 1)))).done());
  const SyncReport report = MustSync(data);
  EXPECT_EQ(report.channelsSent, 1);
  EXPECT_EQ(Trimmed(server_->Sql("select count(*) from ttrss_feeds where feed_url like '%/added.xml'")), "1");
  EXPECT_EQ(Trimmed(server_->Sql("select count(*) from ttrss_feeds where feed_url like '%/kept.xml'")), "0");
  EXPECT_EQ(Channels(data), (std::vector<std::string>{"Others/" + added}));
  // A new category stays here, and says so.
  EXPECT_FALSE(data.AddCategory(u"Local").message.empty());

  // An address the server refuses stays a local channel, said once and not
  // offered again at every sync.
  // (Nothing is served at that address.)
  const std::string page = added.substr(0, added.rfind('/')) + "/missing.xml";
  ASSERT_TRUE(data.Subscribe(u"Others", u"Page", Utf8ToUtf16(page)).done());
  const SyncReport refused = MustSync(data);
  ASSERT_EQ(refused.notes.size(), 1u);
  EXPECT_NE(refused.notes[0].find("Page stays a local channel"), std::string::npos) << refused.notes[0];
  const SyncReport later = MustSync(data);
  EXPECT_TRUE(later.notes.empty());
  EXPECT_LT(later.requests, refused.requests);
  EXPECT_EQ(Channels(data), (std::vector<std::string>{"Others/" + added, "Others/" + page}));
}

TEST_F(SyncServerTest, OfflineChangesAreSentWhenTheServerIsBack) {
  ServerSubscribe("offline", 3);
  server_->UpdateFeeds();
  ReaderData data = NewRoot();
  MustSync(data);
  const int channel = ChannelOf(data, "offline");
  ASSERT_TRUE(data.Mark(channel, true).done());
  ASSERT_TRUE(data.Mark(channel, false, u"http://example.com/offline/3").done());
  Account away = server_->AdminAccount();
  away.url = "http://127.0.0.1:1/";
  EXPECT_FALSE(Sync(data.root(), away).done());
  // The server changed meanwhile too; the pending local change wins.
  ServerMarkRead("offline", 3, true);
  EXPECT_EQ(MustSync(data).changesSent, 3);
  EXPECT_EQ(Trimmed(ServerUnread("offline")), "1");
  EXPECT_EQ(ReadLinks(data, channel),
            (std::vector<std::string>{"http://example.com/offline/1", "http://example.com/offline/2"}));
}

TEST_F(SyncServerTest, AWrenlyCliSyncKilledMidwayLosesNothingAndSendsNothingTwice) {
  // The password goes to a private file: no secret service in the test.
  const testsupport::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", "");
  for (int f = 0; f < 4; ++f) ServerSubscribe("kill" + std::to_string(f), 30);
  server_->UpdateFeeds();
  const ReaderData data = ReaderData::Current();
  ASSERT_TRUE(SaveAccount(data.root(), server_->AdminAccount()).done());
  ASSERT_EQ(cli::RunCliProgram({"sync"}), 0);
  const int channel = ChannelOf(data, "kill0");
  ASSERT_TRUE(ReaderData(data.root()).Mark(channel, true).done());
  server_->SetFeed("kill1", TtrssTestServer::Rss("kill1", 1, 40));
  server_->UpdateFeeds();
  // Kill syncs at growing moments until one ends by itself.
  for (int delayMs = 5; delayMs < 20000; delayMs = delayMs * 3 / 2) {
    const pid_t child = cli::StartCli({"sync"});
    ASSERT_GT(child, 0);
    ::usleep(delayMs * 1000);
    ::kill(child, SIGKILL);
    if (cli::WaitCli(child) != 128 + SIGKILL) break;
  }
  MustSync(data);
  EXPECT_EQ(ItemCount(data, ChannelOf(data, "kill1")), 40);
  EXPECT_EQ(ReadLinks(data, channel).size(), 30u);
  EXPECT_EQ(Trimmed(ServerUnread("kill0")), "0");
  // Nothing is left to send or to take.
  const SyncReport again = MustSync(data);
  EXPECT_EQ(again.changesSent, 0);
  EXPECT_EQ(again.newItems, 0);
  EXPECT_EQ(again.changesReceived, 0);
}

TEST_F(SyncServerTest, TheRefreshOfADataRootWithAnAccountIsASync) {
  const testsupport::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", "");
  ASSERT_TRUE(StoreSetting(setting::kAlwaysConnected, 1).done());
  ASSERT_TRUE(StoreSetting(setting::kDownloadFulltext, 0).done());
  ServerSubscribe("window", 3);
  server_->UpdateFeeds();
  ReaderData data = ReaderData::Current();
  const std::string url = server_->SetFeed("window", TtrssTestServer::Rss("window", 1, 3));
  const ValueResult<int> local = data.Subscribe(u"Others", u"Window", Utf8ToUtf16(url));
  ASSERT_TRUE(local.done());
  wrenly::testing::TestPanel panel;
  panel.AddRow(local.value, u"Window", Utf8ToUtf16(url));
  Account wrong = server_->AdminAccount();
  wrong.password = "wrong";
  ASSERT_TRUE(SaveAccount(data.root(), wrong).done());
  {
    Refresh refresh(panel, nullptr);
    refresh.Toggle();
    refresh.Wait();
  }
  // The row fails with the sync's reason, as a failed feed would.
  EXPECT_EQ(panel.row(0).error, kSyncWrongPasswordText);
  EXPECT_EQ(panel.Icon(0), kIconNotUpdated);

  ASSERT_TRUE(SaveAccount(data.root(), server_->AdminAccount()).done());
  {
    Refresh refresh(panel, nullptr);
    refresh.Toggle();
    refresh.Wait();
  }
  EXPECT_EQ(panel.Icon(0), kIconUpdated);
  EXPECT_EQ(ItemCount(data, local.value), 3);
  EXPECT_EQ(Channels(data), (std::vector<std::string>{"Others/" + url}));
}

TEST_F(SyncServerTest, PicturesOfSyncedItemsComeFromTheirSites) {
  ASSERT_TRUE(StoreSetting(setting::kDownloadImage, 1).done());
  const std::string picture = server_->SetFile("dot.png", "not really a picture");
  const std::string url = server_->SetFeed(
      "pics", "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>pics</title><link>http://example.com/</link>"
              "<item><title>P</title><link>http://example.com/p</link><guid>p</guid><description>&lt;p&gt;See "
              "&lt;img src=\"" + picture + "\"&gt;&lt;/p&gt;</description></item></channel></rss>");
  auto api = sync::MakeTtrssServer(server_->url());
  ASSERT_TRUE(api->Login("admin", "password").ok());
  std::int64_t id = 0;
  ASSERT_TRUE(api->Subscribe(url, 0, id).ok());
  server_->UpdateFeeds();
  ReaderData data = NewRoot();
  MustSync(data);
  const int channel = ChannelOf(data, "pics");
  int pictures = 0;
  for (const auto& file : std::filesystem::directory_iterator(data.ChannelFolder()))
    if (file.path().filename().string().starts_with("Ch" + std::to_string(channel) + "-") &&
        file.path().extension() == ".img")
      ++pictures;
  EXPECT_EQ(pictures, 1);
}

TEST_F(SyncServerTest, AnotherServerAddressStartsAfreshAndKeepsTheChannels) {
  ServerSubscribe("switch", 2);
  server_->UpdateFeeds();
  ReaderData data = NewRoot();
  MustSync(data);
  const int channel = ChannelOf(data, "switch");
  ASSERT_TRUE(data.Mark(channel, true, u"http://example.com/switch/1").done());
  Account other = server_->AdminAccount();
  other.url.replace(other.url.find("127.0.0.1"), 9, "localhost");
  const ValueResult<SyncReport> synced = Sync(data.root(), other);
  ASSERT_TRUE(synced.done()) << synced.result.message;
  // The last server's ids and journal are forgotten; nothing is lost or doubled.
  EXPECT_EQ(synced.value.changesSent, 0);
  EXPECT_EQ(synced.value.channelsAdded, 0);
  EXPECT_EQ(synced.value.channelsRemoved, 0);
  EXPECT_EQ(ChannelOf(data, "switch"), channel);
  EXPECT_EQ(ItemCount(data, channel), 2);
  EXPECT_EQ(Trimmed(ServerUnread("switch")), "2");
}

TEST_F(SyncServerTest, TwoDataRootsAgreeAfterOfflineChangesOnBothSides) {
  const std::int64_t tech = server_->AddCategory("Tech");
  ServerSubscribe("one", 4, tech);
  ServerSubscribe("two", 4);
  server_->UpdateFeeds();
  ReaderData phone = NewRoot(), desk = NewRoot();
  MustSync(phone);
  MustSync(desk);
  ASSERT_TRUE(phone.Mark(ChannelOf(phone, "one"), true, u"http://example.com/one/1").done());
  ASSERT_TRUE(desk.Mark(ChannelOf(desk, "two"), true).done());
  ASSERT_TRUE(desk.Mark(ChannelOf(desk, "one"), true, u"http://example.com/one/4").done());
  MustSync(phone);
  MustSync(desk);
  MustSync(phone);
  EXPECT_EQ(Channels(phone), Channels(desk));
  for (const char* name : {"one", "two"})
    EXPECT_EQ(ReadLinks(phone, ChannelOf(phone, name)), ReadLinks(desk, ChannelOf(desk, name))) << name;
  EXPECT_EQ(ReadLinks(desk, ChannelOf(desk, "one")).size(), 2u);
}

}  // namespace
}  // namespace wrenly::reader
