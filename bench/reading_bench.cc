// Times the reading screens on the offscreen platform: opening a channel of
// 100 items until its list is painted, composing and showing an article with
// 16 stored pictures and one with a 1 MB full text, and stepping between
// plain articles. Prints medians of several runs in milliseconds.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <cstdio>
#include <functional>
#include <vector>

#include "platform/text.h"
#include "store/channel_files.h"
#include "store/paths.h"
#include "store/settings.h"
#include "ui/article/article_view_dlg.h"
#include "ui/frame/commands.h"
#include "ui/frame/main_frame.h"
#include "ui/headlines/headlines_dlg.h"
#include "ui/test/ui_test_support.h"

using namespace wrenly;
using namespace wrenly::ui;
using namespace wrenly::ui::testing;

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double ThreadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Wall and CPU time of one run, in milliseconds. The CPU time of the GUI
// thread stays meaningful on a busy machine, where wall time does not.
struct Timing {
  std::vector<double> wall, cpu;
  void Add(const std::function<void()>& run, int repeats = 1) {
    QElapsedTimer timer;
    const double cpuStart = ThreadCpuMs();
    timer.start();
    run();
    wall.push_back(timer.nsecsElapsed() / 1e6 / repeats);
    cpu.push_back((ThreadCpuMs() - cpuStart) / repeats);
  }
  void Print(const char* what) const {
    std::printf("%s: %.1f ms (CPU %.1f ms)\n", what, Median(wall), Median(cpu));
  }
};

std::string Date(int i) {
  char text[64];
  std::snprintf(text, sizeof text, "Mon, %02d Jan 2024 %02d:%02d:00 GMT", 1 + i / 24 % 28, i % 24, i % 60);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  UiTestEnvironment env;
  SetSettingInt(setting::kArticlesNumber, kMaxArticlesNumber);
  const int channel = WriteCatalog({{u"News", u"Bench", u"http://127.0.0.1:9/bench", -1, -1}})[0];

  // 100 items: the first two with 16 stored pictures each, the third with a
  // 1 MB full text, the rest plain paragraphs.
  std::vector<TestFeedItem> items;
  for (int i = 0; i < 100; ++i) {
    std::string body = "<p>Paragraph of item " + std::to_string(i) + " with some words in it.</p>";
    if (i >= 98)
      for (int p = 0; p < 16; ++p)
        body += "<p><img src=\"http://127.0.0.1/pic" + std::to_string(i) + "-" + std::to_string(p) + ".jpg\"></p>";
    items.push_back({"Headline number " + std::to_string(i), "http://127.0.0.1/item/" + std::to_string(i),
                     Date(i), body});
  }
  MergeFeed(channel, items);
  // A photograph-like picture (a gradient with noise), so that decoding it
  // costs what a real one does.
  QImage picture(640, 480, QImage::Format_RGB32);
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      picture.setPixel(x, y, qRgb((x + std::rand() % 48) % 256, (y + std::rand() % 48) % 256, (x * y / 600) % 256));
  for (int i = 98; i < 100; ++i)
    for (int p = 0; p < 16; ++p)
      picture.save(QString::fromStdString(StoredFilePath(
                       channel, Utf8ToUtf16("http://127.0.0.1/pic" + std::to_string(i) + "-" + std::to_string(p) + ".jpg"),
                       ".img")),
                   "JPG");
  std::string big;
  while (big.size() < 1024 * 1024) big += "<p>A long full text paragraph, read from its file and shown whole.</p>\n";
  testsupport::WriteFile(StoredFilePath(channel, u"http://127.0.0.1/item/97", ".htm"), "\xEF\xBB\xBF" + big);

  CMainFrame frame(FrameOptions{env.root() + "/no-power"});
  frame.resize(480, 720);
  frame.show();
  QApplication::processEvents();

  Timing open, pictures, fullText, step;
  const auto moveAndPaint = [](CArticleViewDlg* view, int direction) {
    view->Move(direction);
    view->viewer().viewport()->repaint();
  };
  for (int run = 0; run < 7; ++run) {
    CHeadlinesDlg* page = nullptr;
    open.Add([&] {
      page = new CHeadlinesDlg(frame, {channel, "Bench", "http://127.0.0.1:9/bench"});
      frame.PushPage(page);
      page->Reload();
      page->list().viewport()->repaint();
    });
    // Every run starts from unread items, newest first: items 99, 98
    // (pictures), 97 (full text), then plain ones.
    page->OnCommand(cmd::kMarkAllUnread);
    page->Reload();
    page->list().setCurrentIndex(page->model().index(0, 0));
    page->OpenArticle();
    auto* view = static_cast<CArticleViewDlg*>(frame.TopPage());
    while (view->page().empty()) QApplication::processEvents();
    pictures.Add([&] { moveAndPaint(view, +1); });
    fullText.Add([&] { moveAndPaint(view, +1); });
    moveAndPaint(view, +1);
    // Between the plain items 96, 95 and 94: next, previous, next.
    step.Add([&] {
      moveAndPaint(view, +1);
      moveAndPaint(view, -1);
      moveAndPaint(view, +1);
    }, 3);
    view->Close(0);
    page->Close(0);
    QApplication::processEvents();
  }
  open.Print("open 100-item channel until painted");
  pictures.Print("article with 16 stored pictures");
  fullText.Print("article with a 1 MB full text");
  step.Print("next/previous between plain articles");
  return 0;
}
