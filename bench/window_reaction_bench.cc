// How soon the window shows a change made by another process: the channel
// list open (offscreen) on 20 channels while the built wrenly-cli adds a
// channel, or merges new items into one; the time from starting wrenly-cli,
// and from its exit (the change is on disk), to the row on screen.
//   build/bin/window_reaction_bench
#include <sys/wait.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "cli/cli_process_support.h"
#include "engine/refresh_test_support.h"
#include "platform/text.h"
#include "testsupport/temp_dir.h"
#include "ui/channels/channel_view.h"
#include "ui/frame/main_frame.h"
#include "ui/test/ui_test_support.h"

using namespace wrenly;
using namespace wrenly::ui;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRuns = 10;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Reaction {
  double fromStart = -1, fromExit = -1;
};

// Starts wrenly-cli and runs the window's events until `shown` holds.
Reaction Measure(const std::vector<std::string>& args, const std::function<bool()>& shown) {
  const Clock::time_point start = Clock::now();
  const pid_t pid = cli::StartCli(args);
  if (pid < 0) return {};
  Clock::time_point exited{};
  bool running = true;
  Reaction reaction;
  while (Clock::now() - start < std::chrono::seconds(20)) {
    QApplication::processEvents(QEventLoop::AllEvents, 1);
    int status = 0;
    if (running && waitpid(pid, &status, WNOHANG) == pid) {
      running = false;
      exited = Clock::now();
    }
    if (!running && shown()) {
      reaction = {Ms(Clock::now() - start), Ms(Clock::now() - exited)};
      break;
    }
  }
  if (running) cli::WaitCli(pid);
  return reaction;
}

void Print(const char* what, const std::vector<Reaction>& reactions) {
  std::vector<double> fromStart, fromExit;
  for (const Reaction& r : reactions) {
    fromStart.push_back(r.fromStart);
    fromExit.push_back(r.fromExit);
  }
  std::printf("%s: median %.0f ms from starting wrenly-cli (max %.0f), %.0f ms from its exit (max %.0f)\n", what,
              Median(fromStart), *std::max_element(fromStart.begin(), fromStart.end()), Median(fromExit),
              *std::max_element(fromExit.begin(), fromExit.end()));
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  ui::testing::UiTestEnvironment env;
  std::vector<ui::testing::CatalogChannel> channels;
  for (int i = 0; i < 20; ++i)
    channels.push_back({u"News", Utf8ToUtf16("Channel " + std::to_string(i)),
                        Utf8ToUtf16("http://127.0.0.1:9/feed" + std::to_string(i))});
  const int merged = ui::testing::WriteCatalog(channels).front();
  CMainFrame frame;
  frame.show();
  CChannelListModel& model = frame.channelView().model();
  while (model.rowCount() < 20) QApplication::processEvents(QEventLoop::AllEvents, 10);

  const auto hasRow = [&](const QString& title) {
    for (int r = 0; r < model.rowCount(); ++r)
      if (model.index(r).data().toString() == title) return true;
    return false;
  };
  std::vector<Reaction> adds;
  for (int run = 0; run < kRuns; ++run) {
    const std::string title = "Added " + std::to_string(run);
    adds.push_back(Measure({"add", "http://127.0.0.1:9/added" + std::to_string(run), title, "--category", "News"},
                           [&] { return hasRow(QString::fromStdString(title)); }));
  }
  Print("wrenly-cli add until the new row shows", adds);

  std::vector<Reaction> merges;
  const std::string feed = env.root() + "/feed.xml";
  for (int run = 0; run < kRuns; ++run) {
    const std::string link = "http://127.0.0.1/item" + std::to_string(run);
    testsupport::WriteFile(feed, wrenly::testing::RssFeed("Feed", "http://127.0.0.1/", "", {{"Item", link, "text"}}));
    const QString counts = QString("%1/%1").arg(run + 1);
    merges.push_back(Measure({"merge", std::to_string(merged), feed}, [&] {
      const int row = model.RowOfChannel(merged);
      return row >= 0 && model.index(row).data(CChannelListModel::kCountsRole).toString() == counts;
    }));
  }
  Print("wrenly-cli merge until the row's new counts show", merges);
  return 0;
}
