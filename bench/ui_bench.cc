// The channel list's speed with 100 channels: process start to the first
// painted list (the built Wrenly, offscreen), a reload of the list, and the
// longest stall of the GUI thread during a refresh of 100 loopback feeds.
//   build/bin/ui_bench
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "engine/refresh_abort.h"
#include "engine/refresh_test_support.h"
#include "platform/text.h"
#include "testsupport/temp_dir.h"
#include "ui/channels/channel_view.h"
#include "ui/frame/commands.h"
#include "ui/frame/main_frame.h"
#include "ui/test/ui_test_support.h"

extern char** environ;

using namespace wrenly;
using namespace wrenly::ui;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kChannels = 100;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Milliseconds from spawning Wrenly to its trace of the first painted list.
double FirstPaint(const std::string& root) {
  const std::string trace = root + "/trace.txt";
  std::remove(trace.c_str());
  std::vector<std::string> env = {"XDG_CONFIG_HOME=" + root + "/config", "XDG_DATA_HOME=" + root + "/data",
                                  "XDG_RUNTIME_DIR=" + root, "QT_QPA_PLATFORM=offscreen",
                                  "WRENLY_TRACE=" + trace, "HOME=" + root};
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string program = std::string(WRENLY_BIN_DIR) + "/Wrenly";
  char* argv[] = {program.data(), nullptr};
  const Clock::time_point start = Clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0) return -1;
  double elapsed = -1;
  while (Clock::now() - start < std::chrono::seconds(10)) {
    if (testsupport::ReadFile(trace).find("first paint") != std::string::npos) {
      elapsed = Ms(Clock::now() - start);
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  return elapsed;
}

std::vector<ui::testing::CatalogChannel> Channels(const std::function<std::string(int)>& url) {
  std::vector<ui::testing::CatalogChannel> channels;
  for (int i = 0; i < kChannels; ++i)
    channels.push_back({Utf8ToUtf16("Category " + std::to_string(i % 7)),
                        Utf8ToUtf16("Channel " + std::to_string(i)), Utf8ToUtf16(url(i)), 50, i % 5});
  return channels;
}

}  // namespace

int main(int argc, char* argv[]) {
  ui::testing::UiTestEnvironment env;
  ui::testing::WriteCatalog(Channels([](int i) { return "http://127.0.0.1:9/feed" + std::to_string(i); }));

  std::vector<double> paints;
  for (int run = 0; run < 7; ++run) paints.push_back(FirstPaint(env.root()));
  std::printf("process start to first painted list (%d channels): median %.1f ms (min %.1f, max %.1f)\n",
              kChannels, Median(paints), *std::min_element(paints.begin(), paints.end()),
              *std::max_element(paints.begin(), paints.end()));

  QApplication app(argc, argv);
  wrenly::testing::TestSite site;
  for (int i = 0; i < kChannels; ++i) {
    std::vector<wrenly::testing::FeedItemSpec> items;
    for (int n = 0; n < 50; ++n) {
      const std::string link = "http://127.0.0.1/" + std::to_string(i) + "/" + std::to_string(n);
      items.push_back({"Headline " + std::to_string(n), link, "<p>Story " + std::to_string(n) + "</p>"});
    }
    site.Serve("/feed" + std::to_string(i), wrenly::testing::RssFeed("Feed", "http://127.0.0.1/", "", items));
  }
  ui::testing::WriteCatalog(Channels([&](int i) { return site.UrlUtf8("/feed" + std::to_string(i)); }));
  CMainFrame frame;
  frame.show();
  CChannelView& view = frame.channelView();
  while (view.model().rowCount() < kChannels) QApplication::processEvents(QEventLoop::AllEvents, 10);

  std::vector<double> reloads;
  for (int run = 0; run < 21; ++run) {
    const Clock::time_point start = Clock::now();
    view.Reload();
    QApplication::processEvents();  // the list repaints
    reloads.push_back(Ms(Clock::now() - start));
  }
  std::printf("reload of the list: median %.2f ms (max %.2f)\n", Median(reloads),
              *std::max_element(reloads.begin(), reloads.end()));

  // The GUI thread's longest gap between 1 ms ticks while 100 feeds refresh.
  QElapsedTimer sinceTick;
  double worst = 0;
  std::vector<double> gaps;
  QTimer ticker;
  ticker.setInterval(1);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const double gap = sinceTick.nsecsElapsed() / 1e6;
    gaps.push_back(gap);
    worst = std::max(worst, gap);
    sinceTick.restart();
  });
  const Clock::time_point start = Clock::now();
  view.RunCommand(cmd::kRefresh);
  sinceTick.start();
  ticker.start();
  while (view.downloading()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  ticker.stop();
  std::printf("refresh of %d feeds x 50 items: %.0f ms; longest GUI stall %.1f ms, 99th percentile %.1f ms\n",
              kChannels, Ms(Clock::now() - start), worst, [&] {
                std::sort(gaps.begin(), gaps.end());
                return gaps.empty() ? 0.0 : gaps[gaps.size() * 99 / 100];
              }());
  return 0;
}
