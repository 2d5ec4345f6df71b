// Time from opening the wizard's OPML chooser (1,000 outlines) and template
// chooser (50 template files) until their trees are filled and painted, on
// whatever Qt platform the environment chooses (offscreen works).
#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/text.h"
#include "store/paths.h"
#include "store/settings.h"
#include "testsupport/temp_dir.h"
#include "ui/wizard/opml_display_dlg.h"
#include "ui/wizard/templates_display_dlg.h"

using namespace wrenly;
using namespace wrenly::ui;

namespace {

std::string BigOpml() {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><opml version=\"1.0\"><body>";
  for (int c = 0; c < 40; ++c) {
    text += "<outline text=\"Category " + std::to_string(c) + "\">";
    for (int i = 0; i < 24; ++i)
      text += "<outline type=\"rss\" text=\"Channel " + std::to_string(c * 24 + i) +
              "\" xmlUrl=\"http://example.com/" + std::to_string(c * 24 + i) + ".xml\"/>";
    text += "</outline>";
  }
  return text + "</body></opml>";  // 40 + 960 = 1,000 outlines
}

std::string TemplateFile(int n) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><template name=\"Group " + std::to_string(n) + "\">";
  for (int i = 0; i < 5; ++i)
    text += "<channel><name>Channel " + std::to_string(i) + "</name><url>http://example.com/" +
            std::to_string(n) + "/" + std::to_string(i) + "</url></channel>";
  return text + "<parse_article><![CDATA[var doc = new Document(article.url, \"\");]]></parse_article></template>";
}

template <typename Page>
double OpenMs(Page* page) {
  QElapsedTimer timer;
  QSignalSpy loaded(page, &Page::loaded);
  timer.start();
  page->resize(480, 640);
  page->show();
  loaded.wait(5000);
  QApplication::processEvents();  // the first paint of the filled tree
  const double ms = timer.nsecsElapsed() / 1e6;
  delete page;
  return ms;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  testsupport::IsolatedHome home;
  testsupport::TempDir dir;
  testsupport::WriteFile(dir.path() + "/big.opml", BigOpml());
  CreateFolder(dir.path() + "/Templates");
  for (int n = 0; n < 50; ++n)
    testsupport::WriteFile(dir.path() + "/Templates/t" + std::to_string(n) + ".xml", TemplateFile(n));

  std::vector<double> opml, templates;
  for (int run = 0; run < 7; ++run) {
    opml.push_back(OpenMs(new COpmlDisplayDlg(dir.path() + "/big.opml")));
    templates.push_back(OpenMs(new CTemplatesDisplayDlg({dir.path() + "/Templates"})));
  }
  std::printf("OPML chooser, 1000 outlines: median %.1f ms (max %.1f)\n", Median(opml),
              *std::max_element(opml.begin(), opml.end()));
  std::printf("template chooser, 50 files: median %.1f ms (max %.1f)\n", Median(templates),
              *std::max_element(templates.begin(), templates.end()));
  return 0;
}
