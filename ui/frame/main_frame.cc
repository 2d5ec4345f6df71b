#include "ui/frame/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "engine/auto_update.h"
#include "engine/dock_watch.h"
#include "engine/download_manager.h"
#include "engine/full_text_job.h"
#include "engine/messages.h"
#include "engine/refresh_abort.h"
#include "platform/text.h"
#include "reader/settings.h"
#include "store/system_language.h"
#include "store/translation.h"
#include "ui/channels/channel_view.h"
#include "ui/frame/about_page.h"
#include "ui/frame/commands.h"
#include "ui/frame/page.h"
#include "ui/frame/pictures.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {
namespace {

bool IsChinese(const std::string& code) { return AsciiLower(code) == "chs"; }

}  // namespace

CMainFrame::CMainFrame(FrameOptions options)
    : stack_(new QStackedWidget(this)),
      downloadManager_(std::make_unique<CDownloadManager>(RunFullTextJob)),
      dockWatch_(std::make_unique<CDockWatch>(&bridge_, options.powerSupplyRoot)) {
  setObjectName("mainFrame");
  setWindowIcon(ProgramIcon());
  setCentralWidget(stack_);
  RestoreGeometry();
  connect(&bridge_, &CMessageBridge::received, this, &CMainFrame::OnEngineMessage);
  AddBroadcastReceiver(&bridge_);

  channelView_ = new CChannelView(*this);
  PushPage(channelView_);
  dockWatch_->Start();
  setWindowTitle(Tr(u"Wrenly Mobile"));
  if (reader::SettingNumber(setting::kAutoUpdateMode) == kAutoUpdateTimed)
    StartAutoUpdate(&bridge_, options.timer != nullptr ? *options.timer : ProcessTimer());
}

CMainFrame::~CMainFrame() {
  Shutdown();
  // The pages go first: the channel list's refresh still uses the download
  // manager while it ends.
  delete stack_;
  RemoveBroadcastReceiver(&bridge_);
}

void CMainFrame::PushPage(CPage* page, std::function<void(int)> done) {
  page->SetFrame(this);
  if (CPage* below = TopPage()) below->RememberFocus();
  stack_->addWidget(page);
  stack_->setCurrentWidget(page);
  page->TakeFocus();
  connect(page, &CPage::unhandledCommand, this, [this, page](int command) { DispatchUnhandled(page, command); });
  connect(page, &CPage::finished, this, [this, page, done = std::move(done)](int result) {
    stack_->removeWidget(page);
    page->deleteLater();
    if (CPage* top = TopPage()) top->TakeFocus();
    if (done) done(result);
  });
}

CPage* CMainFrame::TopPage() const { return qobject_cast<CPage*>(stack_->currentWidget()); }

void CMainFrame::ComeForward() {
  if (isMinimized())
    showNormal();
  else
    show();
  raise();
  activateWindow();
  if (QApplication::activeModalWidget() != nullptr) return;
  for (CPage* top = TopPage(); top != nullptr && top != channelView_;) {
    top->OnBack();
    CPage* next = TopPage();
    if (next == top) break;  // the page stays
    top = next;
  }
}

void CMainFrame::DispatchUnhandled(CPage* from, int command) {
  // The pages below the one that could not handle it, nearest first.
  for (int i = stack_->indexOf(from) - 1; i >= 0; --i)
    if (auto* page = qobject_cast<CPage*>(stack_->widget(i)); page != nullptr && page->OnCommand(command))
      return;
  OnCommand(command);
}

bool CMainFrame::OnCommand(int command) {
  switch (command) {
    case cmd::kExit: Exit(); return true;
    case cmd::kEnglish: SwitchLanguage(u"ENU"); return true;
    case cmd::kSimplifiedChinese: SwitchLanguage(u"CHS"); return true;
    case cmd::kAbout: PushPage(new CAboutPage); return true;
    default: return false;
  }
}

void CMainFrame::PrepareAction(QAction& action, int command) const {
  const std::string system = SystemLanguageAbbreviation();
  const bool chinese = IsChinese(CurrentLanguageCode());
  if (command == cmd::kEnglish) {
    action.setCheckable(true);
    action.setChecked(!chinese);
  } else if (command == cmd::kSimplifiedChinese) {
    action.setCheckable(true);
    action.setChecked(chinese);
    action.setEnabled(IsChinese(system));
  }
}

void CMainFrame::SwitchLanguage(const char16_t* code) {
  reader::StoreSetting(setting::kLanguage, code);
  Retranslate();
}

void CMainFrame::Retranslate() {
  setWindowTitle(Tr(u"Wrenly Mobile"));
  for (int i = 0; i < stack_->count(); ++i)
    if (auto* page = qobject_cast<CPage*>(stack_->widget(i))) page->Retranslate();
  emit languageChanged();
}

void CMainFrame::OnEngineMessage(quint32 message, quint64 wParam, qint64 lParam) {
  const std::string name = RegisteredMessageName(message);
  if (name == kMsgDownloadStart) {
    // Full texts finished and never collected belong to the refresh before.
    downloadManager_->ClearFinishedUrls();
    downloading_ = true;
    emit downloadingChanged(true);
  } else if (name == kMsgDownloadFinished || name == kMsgHeadlinesFinished) {
    downloading_ = false;
    emit downloadingChanged(false);
  }
  emit engineMessage(message, wParam, lParam);
}

void CMainFrame::RestoreGeometry() {
  const QByteArray saved = QByteArray::fromBase64(ToQString(reader::SettingText(setting::kWindowGeometry)).toLatin1());
  if (!saved.isEmpty() && restoreGeometry(saved)) return;
  // A phone's screen is filled; a desktop gets a window of a reading size.
  const QSize screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableSize() : QSize(480, 720);
  if (screen.width() < 800)
    resize(screen);
  else
    resize(std::min(1100, screen.width() * 7 / 10), std::min(820, screen.height() * 85 / 100));
}

void CMainFrame::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  reader::StoreSetting(setting::kWindowGeometry, ToU16(QString::fromLatin1(saveGeometry().toBase64())));
  for (int i = stack_->count() - 1; i >= 0; --i)
    if (auto* page = qobject_cast<CPage*>(stack_->widget(i))) page->OnExit();
  StopAutoUpdate();
  dockWatch_->Close();
  RequestRefreshAbort();
}

void CMainFrame::Exit() {
  Shutdown();
  close();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  Shutdown();
  event->accept();
}

}  // namespace wrenly::ui
