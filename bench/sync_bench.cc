// The sync against a throwaway Tiny Tiny RSS on this machine, with 100 feeds
// of 50 articles: the built wrenly-cli's first sync and a sync with nothing
// new (wall time and peak memory of the whole program), and how many
// requests 1,000 read changes take. Run by hand: build/bin/sync_bench.
#include <chrono>
#include <cstdio>
#include <string>

#include "bench/child_run.h"
#include "engine/sync/sync_server.h"
#include "reader/account.h"
#include "reader/reader_data.h"
#include "reader/sync.h"
#include "reader/sync_test_server.h"
#include "testsupport/temp_dir.h"

using wrenly::reader::ReaderData;
using wrenly::reader::TtrssTestServer;

namespace {

constexpr int kFeeds = 100;
constexpr int kArticles = 50;

std::string Line(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

bench::ChildRun Sync() { return bench::RunChild({std::string(WRENLY_BIN_DIR) + "/wrenly-cli", "sync"}); }

void Print(const char* what, const bench::ChildRun& run) {
  // The CPU time is Wrenly's own share; the rest of the wall time is mostly
  // the server's answers.
  std::printf("%-28s %8.0f ms  cpu %6.0f ms  peak %6.1f MB%s\n", what, run.ms,
              bench::Ms(run.usage.ru_utime) + bench::Ms(run.usage.ru_stime), run.usage.ru_maxrss / 1024.0,
              run.ok ? "" : "  FAILED");
}

}  // namespace

int main() {
  const std::string failed = TtrssTestServer::Start();
  if (!failed.empty()) {
    std::fprintf(stderr, "sync_bench: %s\n", failed.c_str());
    return 1;
  }
  TtrssTestServer& server = TtrssTestServer::Get();
  auto api = wrenly::sync::MakeTtrssServer(server.url());
  if (!api->Login("admin", "password").ok()) return 1;
  for (int f = 0; f < kFeeds; ++f) {
    const std::string name = "feed" + std::to_string(f);
    std::int64_t id = 0;
    api->Subscribe(server.SetFeed(name, TtrssTestServer::Rss(name, 1, kArticles)), 0, id);
  }
  server.UpdateFeeds();
  std::printf("server: %s articles in %s feeds\n",
              Line(server.Sql("select count(*) from ttrss_user_entries")).c_str(),
              Line(server.Sql("select count(*) from ttrss_feeds")).c_str());

  // The server's own share: every headline with its content, as a first sync asks.
  const auto start = std::chrono::steady_clock::now();
  int headlines = 0;
  api->Headlines({0, true, 0}, [&](wrenly::sync::Headline&&) { ++headlines; });
  std::printf("%-28s %8.0f ms  (%d headlines, %d requests so far)\n", "server: all headlines",
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(), headlines,
              api->requests());

  testsupport::IsolatedHome home;
  const testsupport::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", "");
  const ReaderData data = ReaderData::Current();
  if (!wrenly::reader::SaveAccount(data.root(), server.AdminAccount()).done()) return 1;
  Print("first sync (wrenly-cli)", Sync());
  for (int i = 0; i < 3; ++i) Print("nothing new (wrenly-cli)", Sync());

  const auto idle = wrenly::reader::Sync(data.root(), server.AdminAccount());
  std::vector<wrenly::reader::CatalogEntry> channels;
  data.ListChannels(channels);
  int marked = 0;
  for (const auto& channel : channels) {
    if (marked >= 1000) break;
    if (ReaderData(data.root()).Mark(channel.Number(), true).done()) marked += data.Counts(channel.Number()).total;
  }
  const auto changed = wrenly::reader::Sync(data.root(), server.AdminAccount());
  std::printf("%d read changes sent: %d requests beyond an idle sync's %d\n", changed.value.changesSent,
              changed.value.requests - idle.value.requests, idle.value.requests);
  TtrssTestServer::Stop();
  return 0;
}
