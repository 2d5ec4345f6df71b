#include "ui/options/channel_info_dlg.h"

#include <QVBoxLayout>

#include "reader/reader_data.h"
#include "ui/article/article_page.h"
#include "ui/article/link_opener.h"
#include "ui/channels/refusal_box.h"
#include "ui/frame/commands.h"
#include "ui/frame/tr.h"
#include "ui/options/channel_info_main_dlg.h"
#include "ui/options/option_page.h"

namespace wrenly::ui {

namespace {

// The description inside the "Details" tab: links open as an article's do.
class CDescriptionView : public CHtmlViewDlg {
 public:
  // Its column starts where the sheet's heading does.
  explicit CDescriptionView(QWidget* parent) : CHtmlViewDlg(parent) {
    Embed();
    viewer().SetColumnCentred(false);
  }
  void OnLinkClicked(const QString& url) override { OpenLink(url); }
};

}  // namespace

std::u16string ChannelDescriptionHtml(int channel) {
  // The description is the feed's HTML: the sheet has no stored pictures,
  // so none it names is shown, and its addresses are not fetched.
  return SubstitutePictures(reader::ReaderData::Current().ChannelDescriptionHtml(channel),
                            [](const std::u16string&, int) { return false; });
}

COptionChannelInfoDlg::COptionChannelInfoDlg(const ChannelRef& channel)
    : channel_(channel),
      tabs_(new QTabWidget(this)),
      fullTextLabel_(new QLabel),
      fullText_(new QComboBox),
      info_(new COptionChannelInfoMainDlg(channel)),
      detailsPage_(new QWidget),
      detailsHeading_(MakeHeading(detailsPage_, "detailsHeading")),
      details_(new CDescriptionView(detailsPage_)) {
  setObjectName("channelProperties");
  tabs_->setObjectName("propertyTabs");
  details_->setObjectName("channelDescription");
  auto* layout = new QVBoxLayout(detailsPage_);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(detailsHeading_);
  layout->addWidget(details_, 1);
  fullText_->setObjectName("fullTextChoice");
  for (int i = 0; i < 3; ++i) fullText_->addItem(QString());
  // A choice that cannot be read shows the default; saving then says why.
  loadedMode_ = static_cast<int>(reader::ReaderData::Current().FullText(ToU16(channel.url)).value);
  fullText_->setCurrentIndex(loadedMode_);
  auto* infoTab = new QWidget;
  auto* infoLayout = new QVBoxLayout(infoTab);
  infoLayout->setContentsMargins(0, 0, 0, 0);
  info_->setMaximumWidth(FormMaxWidth(*info_));
  fullText_->setMaximumWidth(FormMaxWidth(*fullText_));
  infoLayout->addWidget(info_);
  auto* choice = new QVBoxLayout;
  choice->setContentsMargins(8, 0, 8, 8);
  choice->addWidget(fullTextLabel_);
  choice->addWidget(fullText_);
  infoLayout->addLayout(choice);
  infoLayout->addStretch(1);
  tabs_->addTab(infoTab, QString());
  tabs_->addTab(detailsPage_, QString());
  body().setContentsMargins(0, 0, 0, 0);
  body().addWidget(tabs_, 1);
  details_->ShowHtml(ChannelDescriptionHtml(channel.number));
  Retranslate();
}

void COptionChannelInfoDlg::Retranslate() {
  tabs_->setTabText(0, Tr(u"Info"));
  tabs_->setTabText(1, Tr(u"Details"));
  detailsHeading_->setText(Tr(u"Channel Properties"));
  info_->Retranslate();
  fullTextLabel_->setText(Tr(u"Full texts:"));
  fullText_->setItemText(0, Tr(u"With the channel's template"));
  fullText_->setItemText(1, Tr(u"Automatic, for every article"));
  fullText_->setItemText(2, Tr(u"Off"));
  softKeys().SetLeft(Tr(u"OK"), cmd::kOk);
  softKeys().SetRight({}, 0);
}

bool COptionChannelInfoDlg::OnCommand(int command) {
  if (command != cmd::kOk) return false;
  if (SaveFullTextChoice()) Close(kResultOk);
  return true;
}

bool COptionChannelInfoDlg::SaveFullTextChoice() {
  const int mode = fullText_->currentIndex();
  if (mode == loadedMode_) return true;
  const reader::Result saved =
      reader::ReaderData::Current().SetFullText(ToU16(channel_.url), static_cast<FullTextMode>(mode));
  if (ShowIfRefused(this, saved)) return false;
  loadedMode_ = mode;
  return true;
}

}  // namespace wrenly::ui
