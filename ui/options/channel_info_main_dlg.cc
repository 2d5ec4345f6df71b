#include "ui/options/channel_info_main_dlg.h"

#include <QUrl>
#include <QVBoxLayout>

#include "engine/feed_discovery.h"
#include "engine/refresh_abort.h"
#include "net/messages.h"
#include "net/transfer_control.h"
#include "platform/notifier.h"
#include "reader/reader_data.h"
#include "ui/frame/commands.h"
#include "ui/frame/dialogs.h"
#include "ui/frame/tr.h"
#include "ui/wizard/add_channels.h"

namespace wrenly::ui {

namespace {

// Hands the transfer's progress to the page on the GUI thread.
class ProgressReceiver : public Receiver {
 public:
  explicit ProgressReceiver(std::function<void(qint64)> report) : report_(std::move(report)) {}
  void Post(MessageId message, std::uint64_t wParam, std::int64_t lParam) override {
    if (message == WM_DOWNLOAD_PROGRESS && lParam == 0) report_(static_cast<qint64>(wParam));
  }

 private:
  std::function<void(qint64)> report_;
};

}  // namespace

COptionChannelInfoMainDlg::COptionChannelInfoMainDlg(bool wizard)
    : wizard_(wizard),
      heading_(MakeHeading(this, "infoHeading")),
      urlLabel_(new QLabel(this)),
      url_(new QLineEdit(this)),
      titleLabel_(new QLabel(this)),
      title_(new QLineEdit(this)),
      status_(new QLabel(this)) {
  setObjectName(wizard ? "feedAddressPage" : "channelInfoPage");
  url_->setObjectName("urlField");
  title_->setObjectName("titleField");
  status_->setObjectName("infoStatus");
  status_->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(heading_);
  layout->addWidget(urlLabel_);
  layout->addWidget(url_);
  layout->addWidget(titleLabel_);
  layout->addWidget(title_);
  layout->addWidget(status_);
  status_->hide();
  if (wizard) {
    defaultName_ = new QPushButton(this);
    defaultName_->setObjectName("defaultNameButton");
    layout->addWidget(defaultName_, 0, Qt::AlignLeft);
    connect(defaultName_, &QPushButton::clicked, this, [this] { StartTitleDownload(); });
  }
  layout->addStretch(1);
  Retranslate();
}

COptionChannelInfoMainDlg::COptionChannelInfoMainDlg() : COptionChannelInfoMainDlg(true) {
  url_->setText("http://");
  url_->setCursorPosition(url_->text().size());
  setFocusProxy(url_);  // the wizard focuses the page when it shows it
}

COptionChannelInfoMainDlg::COptionChannelInfoMainDlg(const ChannelRef& channel)
    : COptionChannelInfoMainDlg(false) {
  url_->setText(channel.url);
  title_->setText(channel.title);
  url_->setReadOnly(true);
  title_->setReadOnly(true);
  url_->setCursorPosition(url_->text().size());
  url_->setFocus();
}

COptionChannelInfoMainDlg::~COptionChannelInfoMainDlg() { StopDownload(); }

void COptionChannelInfoMainDlg::Retranslate() {
  heading_->setText(wizard_ ? Tr(u"New Channel Wizard") : Tr(u"Channel Properties"));
  urlLabel_->setText(Tr(u"URL:"));
  titleLabel_->setText(Tr(u"Title:"));
  if (defaultName_) defaultName_->setText(Tr(u"Download Default Name"));
}

void COptionChannelInfoMainDlg::SetKeys(CSoftKeyBar& keys) {
  keys.SetLeft(Tr(u"Back"), cmd::kBack);
  keys.SetRight(Tr(u"Finish"), cmd::kFinish);
}

bool COptionChannelInfoMainDlg::OnCommand(int command) {
  if (!wizard_) return false;
  if (command == cmd::kBack) {
    StopDownload();
    emit done(false, false);
    return true;
  }
  if (command == cmd::kFinish) {
    Finish();
    return true;
  }
  return false;
}

bool COptionChannelInfoMainDlg::CheckAddress(const QString& url) {
  const QString lower = url.toLower();
  if (lower.startsWith("http://") && url.size() > 7) return true;
  if (lower.startsWith("https://") && url.size() > 8) return true;
  Dialogs().Inform(this, Tr(u"Error"), Tr(u"Please type the feed's address, beginning with http:// or https://."),
                   QMessageBox::Warning);
  url_->setFocus();
  return false;
}

void COptionChannelInfoMainDlg::Finish() {
  StopDownload();
  const QString url = url_->text().trimmed();
  const QString title = title_->text().trimmed();
  if (!CheckAddress(url)) return;
  if (title.isEmpty()) {
    finishAfterDownload_ = StartTitleDownload();
    return;
  }
  const auto added = AddChannels(this, {{ToU16(Tr(u"Others")), ToU16(title), ToU16(url), std::nullopt}});
  // An unreadable catalog or an address already there: the page stays.
  if (!added || added->front().result.refusal == reader::Refusal::kDuplicateAddress) {
    url_->setFocus();
    return;
  }
  emit done(true, added->front().result.done());
}

bool COptionChannelInfoMainDlg::StartTitleDownload() {
  if (downloading_) return true;
  const QString url = url_->text().trimmed();
  if (!CheckAddress(url)) return false;
  downloading_ = true;
  ShowFields(false);
  status_->setText(Tr(u"Downloading..."));
  status_->show();
  GetTransferControl().ClearAbortFlag();
  const int generation = ++generation_;
  worker_ = std::jthread([this, generation, address = ToU16(url)] {
    ProgressReceiver progress(
        [this](qint64 bytes) { QMetaObject::invokeMethod(this, [this, bytes] { OnProgress(bytes); }); });
    FeedDiscovery found = DiscoverFeeds(address, &progress);
    QMetaObject::invokeMethod(
        this,
        [this, generation, found = std::move(found)] {
          // A result of a download that was stopped meanwhile is dropped.
          if (generation == generation_ && downloading_) OnFeedsFound(found);
        },
        Qt::QueuedConnection);
  });
  return true;
}

void COptionChannelInfoMainDlg::OnProgress(qint64 bytes) {
  if (!downloading_ || bytes <= 0) return;
  status_->setText(Tr(u"Download %dKB...").replace("%d", QString::number(bytes / 1000)));
}

void COptionChannelInfoMainDlg::OnFeedsFound(const FeedDiscovery& found) {
  if (worker_.joinable()) worker_.join();
  downloading_ = false;
  status_->hide();
  ShowFields(true);
  const bool finish = finishAfterDownload_;
  finishAfterDownload_ = false;
  const int chosen = ChooseFeed(found);
  if (chosen < 0) {
    emit titleDownloaded(false);
    return;
  }
  const DiscoveredFeed& feed = found.feeds[static_cast<std::size_t>(chosen)];
  url_->setText(ToQString(feed.url));
  title_->setText(ToQString(feed.title.empty() ? feed.url : feed.title));
  emit titleDownloaded(true);
  if (finish) Finish();
}

int COptionChannelInfoMainDlg::ChooseFeed(const FeedDiscovery& found) {
  if (!found.error.empty()) {
    Dialogs().Inform(this, Tr(u"Error"),
                     Tr(u"Download failed. Please check the feed's URL and the network connection."),
                     QMessageBox::Critical);
    return -1;
  }
  if (found.feeds.empty()) {
    // The address typed, then the other places on its site by their paths,
    // which wrap well on a narrow screen.
    const QUrl typed(ToQString(found.tried.front()));
    QStringList places;
    for (std::size_t i = 1; i < found.tried.size(); ++i) {
      const QUrl place(ToQString(found.tried[i]));
      places << (place.adjusted(QUrl::RemovePath | QUrl::RemoveQuery) == typed.adjusted(QUrl::RemovePath | QUrl::RemoveQuery)
                     ? place.path()
                     : place.toString());
    }
    Dialogs().Inform(this, Tr(u"Error"),
                     Tr(u"No feed was found at %1. Also tried: %2").arg(typed.toString(), places.join(", ")),
                     QMessageBox::Warning);
    url_->setFocus();
    return -1;
  }
  if (found.feeds.size() == 1) return 0;
  QStringList items;
  for (const DiscoveredFeed& feed : found.feeds)
    items << (feed.title.empty() ? ToQString(feed.url) : ToQString(feed.title) + " (" + ToQString(feed.url) + ")");
  return Dialogs().ChooseOne(this, Tr(u"Choose a Feed"), Tr(u"This page offers several feeds. Choose one:"), items);
}

void COptionChannelInfoMainDlg::ShowFields(bool show) {
  for (QWidget* w : {static_cast<QWidget*>(urlLabel_), static_cast<QWidget*>(url_),
                     static_cast<QWidget*>(titleLabel_), static_cast<QWidget*>(title_)})
    w->setVisible(show);
  if (defaultName_) defaultName_->setVisible(show);
}

void COptionChannelInfoMainDlg::StopDownload() {
  if (!worker_.joinable()) return;
  AbortTransfers();
  worker_.join();
  downloading_ = false;
  finishAfterDownload_ = false;
  status_->hide();
  ShowFields(true);
}

}  // namespace wrenly::ui
