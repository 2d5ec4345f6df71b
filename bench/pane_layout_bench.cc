// Times the wide layout on the offscreen platform with 1,000 channels: the
// window's first paint with its panes, a switch of layout each way, and a
// headline chosen in the middle pane until its article with 16 stored
// pictures is painted in the right one. Prints medians in milliseconds.
//   build/bin/pane_layout_bench
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

#include "platform/text.h"
#include "store/settings.h"
#include "ui/article/article_view_dlg.h"
#include "ui/channels/channel_view.h"
#include "ui/frame/main_frame.h"
#include "ui/headlines/headlines_dlg.h"
#include "ui/test/ui_test_support.h"

using namespace wrenly;
using namespace wrenly::ui;
using namespace wrenly::ui::testing;

namespace {

constexpr int kChannels = 1000;
constexpr int kPictureItems = 8;  // the newest items; each names 16 stored pictures

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Print(const char* what, const std::vector<double>& ms) {
  std::printf("%s: median %.1f ms (min %.1f, max %.1f)\n", what, Median(ms), *std::min_element(ms.begin(), ms.end()),
              *std::max_element(ms.begin(), ms.end()));
}

// The process's CPU time (the pictures are decoded on helper threads too):
// meaningful on a busy machine, where wall time is not.
double ProcessCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

void RunUntil(const std::function<bool()>& done) {
  while (!done()) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

std::string PictureUrl(int item, int p) {
  return "http://127.0.0.1/pic" + std::to_string(item) + "-" + std::to_string(p) + ".jpg";
}

// The first channel gets 40 items, the newest with pictures stored as a
// refresh would store them.
void WriteData() {
  std::vector<CatalogChannel> channels;
  for (int i = 0; i < kChannels; ++i)
    channels.push_back({Utf8ToUtf16("Category " + std::to_string(i % 7)), Utf8ToUtf16("Channel " + std::to_string(i)),
                        Utf8ToUtf16("http://127.0.0.1:9/feed" + std::to_string(i)), 50, i % 5});
  const int first = WriteCatalog(channels).front();
  std::vector<TestFeedItem> items;
  for (int i = 0; i < 40; ++i) {
    std::string body = "<p>Paragraph of item " + std::to_string(i) + ".</p>";
    if (i >= 40 - kPictureItems)
      for (int p = 0; p < 16; ++p) body += "<p><img src=\"" + PictureUrl(i, p) + "\"></p>";
    char date[64];
    std::snprintf(date, sizeof date, "Mon, %02d Jan 2024 %02d:00:00 GMT", 1 + i / 2, i % 2 * 12);
    items.push_back({"Headline " + std::to_string(i), "http://127.0.0.1/item/" + std::to_string(i), date, body});
  }
  MergeFeed(first, items);
  // A photograph-like picture (a gradient with noise) costs what a real one does to decode.
  QImage picture(640, 480, QImage::Format_RGB32);
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      picture.setPixel(x, y, qRgb((x + std::rand() % 48) % 256, (y + std::rand() % 48) % 256, (x * y / 600) % 256));
  for (int i = 40 - kPictureItems; i < 40; ++i)
    for (int p = 0; p < 16; ++p)
      picture.save(QString::fromStdString(StoredFilePath(first, Utf8ToUtf16(PictureUrl(i, p)), ".img")), "JPG");
}

// Stores a wide window's geometry, so the next frame starts wide.
void StoreWideGeometry() {
  CMainFrame frame;
  frame.resize(1600, 1000);
  frame.Exit();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  UiTestEnvironment env;
  RegisterReadingScreens();
  WriteData();
  StoreWideGeometry();

  std::vector<double> firstPaint, panesPainted;
  for (int run = 0; run < 5; ++run) {
    QElapsedTimer timer;
    timer.start();
    auto frame = std::make_unique<CMainFrame>(FrameOptions{env.root() + "/no-power"});
    frame->show();
    CChannelView& channels = frame->channelView();
    RunUntil([&] { return channels.model().rowCount() == kChannels && channels.list().isVisible(); });
    channels.list().viewport()->repaint();
    firstPaint.push_back(timer.nsecsElapsed() / 1e6);
    RunUntil([&] {
      auto* list = qobject_cast<CHeadlinesDlg*>(frame->Pane(1));
      return list != nullptr && list->list().isVisible() && list->model().rowCount() > 0;
    });
    frame->repaint();
    panesPainted.push_back(timer.nsecsElapsed() / 1e6);
    frame->Exit();
  }
  Print("wide window started until its channel list of 1,000 rows is painted", firstPaint);
  Print("  ... until the first channel's headlines are painted beside it", panesPainted);

  CMainFrame frame(FrameOptions{env.root() + "/no-power"});
  frame.resize(1600, 1000);
  frame.show();
  RunUntil([&] { return qobject_cast<CHeadlinesDlg*>(frame.Pane(1)) != nullptr; });
  auto* list = qobject_cast<CHeadlinesDlg*>(frame.Pane(1));
  RunUntil([&] { return list->model().rowCount() == 40; });
  // A plain article opens the article pane first.
  list->list().setCurrentIndex(list->model().index(kPictureItems, 0));
  RunUntil([&] {
    auto* article = qobject_cast<CArticleViewDlg*>(frame.Pane(2));
    return article != nullptr && !article->page().empty();
  });
  auto* article = qobject_cast<CArticleViewDlg*>(frame.Pane(2));

  std::vector<double> pictures, picturesCpu;
  for (int row = 0; row < kPictureItems; ++row) {
    list->list().setCurrentIndex(list->model().index(kPictureItems, 0));  // away, to a plain one
    QApplication::processEvents();
    QElapsedTimer timer;
    const double cpuStart = ProcessCpuMs();
    timer.start();
    list->list().setCurrentIndex(list->model().index(row, 0));
    article->viewer().viewport()->repaint();
    pictures.push_back(timer.nsecsElapsed() / 1e6);
    picturesCpu.push_back(ProcessCpuMs() - cpuStart);
    if (article->article().pictures.size() != 16) std::printf("row %d: only %zu pictures\n", row, article->article().pictures.size());
  }
  Print("headline chosen until its article with 16 stored pictures is painted", pictures);
  Print("  ... CPU time of the process (all threads)", picturesCpu);

  std::vector<double> toNarrow, toWide;
  for (int run = 0; run < 7; ++run) {
    QElapsedTimer timer;
    timer.start();
    frame.resize(800, 1000);
    frame.repaint();
    toNarrow.push_back(timer.nsecsElapsed() / 1e6);
    timer.start();
    frame.resize(1600, 1000);
    frame.repaint();
    toWide.push_back(timer.nsecsElapsed() / 1e6);
  }
  Print("switch to the page stack with 1,000 channels, painted", toNarrow);
  Print("switch to the three panes with 1,000 channels, painted", toWide);
  return 0;
}
