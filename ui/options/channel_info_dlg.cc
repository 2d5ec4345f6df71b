#include "ui/options/channel_info_dlg.h"

#include <QVBoxLayout>

#include "store/feed_parser.h"
#include "store/paths.h"
#include "ui/frame/commands.h"
#include "ui/frame/dialogs.h"
#include "ui/frame/tr.h"
#include "ui/options/channel_info_main_dlg.h"
#include "ui/options/option_page.h"

namespace wrenly::ui {

namespace {

// Shows the description as it stands: no picture, style sheet or page is
// ever fetched, from the network or from a file the page names.
class CDescriptionView : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;
  QVariant loadResource(int, const QUrl&) override { return {}; }
};

}  // namespace

QString ChannelDescriptionHtml(int channel) {
  char name[32];
  std::snprintf(name, sizeof name, "Ch%03d.xml", channel);
  const std::string path = ChannelDataPath(name);
  if (!FileExists(path)) return {};
  CFeedParser parser;
  if (parser.Load(path) != 1) return {};
  return ToQString(parser.ChannelInfoHtml());
}

COptionChannelInfoDlg::COptionChannelInfoDlg(const ChannelRef& channel)
    : tabs_(new QTabWidget(this)),
      info_(new COptionChannelInfoMainDlg(channel)),
      detailsPage_(new QWidget),
      detailsHeading_(MakeHeading(detailsPage_, "detailsHeading")),
      details_(new CDescriptionView(detailsPage_)) {
  setObjectName("channelProperties");
  tabs_->setObjectName("propertyTabs");
  details_->setObjectName("channelDescription");
  details_->setOpenLinks(false);
  details_->setOpenExternalLinks(false);
  connect(details_, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
    Dialogs().Inform(this, Tr(u"Link is clicked"), link.toString(), QMessageBox::Information);
  });
  auto* layout = new QVBoxLayout(detailsPage_);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(detailsHeading_);
  layout->addWidget(details_, 1);
  tabs_->addTab(info_, QString());
  tabs_->addTab(detailsPage_, QString());
  body().setContentsMargins(0, 0, 0, 0);
  body().addWidget(tabs_, 1);
  details_->setHtml(ChannelDescriptionHtml(channel.number));
  Retranslate();
}

void COptionChannelInfoDlg::Retranslate() {
  tabs_->setTabText(0, Tr(u"Info"));
  tabs_->setTabText(1, Tr(u"Details"));
  detailsHeading_->setText(Tr(u"Channel Properties"));
  info_->Retranslate();
  softKeys().SetLeft(Tr(u"OK"), cmd::kOk);
  softKeys().SetRight({}, 0);
}

bool COptionChannelInfoDlg::OnCommand(int command) {
  if (command != cmd::kOk) return false;
  Close(kResultOk);
  return true;
}

}  // namespace wrenly::ui
