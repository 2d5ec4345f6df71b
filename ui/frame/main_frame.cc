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
#include "ui/layout/command_bar.h"
#include "ui/layout/pane_layout.h"
#include "ui/layout/wide_reading.h"

namespace wrenly::ui {
namespace {

bool IsChinese(const std::string& code) { return AsciiLower(code) == "chs"; }

}  // namespace

CMainFrame::CMainFrame(FrameOptions options)
    : stack_(new QStackedWidget(this)),
      panes_(new CPaneLayout(*this)),
      commandBar_(new CCommandBar(*this)),
      reading_(new CWideReading(*this)),
      downloadManager_(std::make_unique<CDownloadManager>(RunFullTextJob)),
      dockWatch_(std::make_unique<CDockWatch>(&bridge_, options.powerSupplyRoot)) {
  setObjectName("mainFrame");
  setWindowIcon(ProgramIcon());
  setCentralWidget(stack_);
  addToolBar(Qt::TopToolBarArea, commandBar_);
  commandBar_->hide();
  panes_->hide();
  RestoreGeometry();
  // Only an application filter sees a resize before the window's layout
  // hands it to the pages.
  qApp->installEventFilter(this);
  wide_ = width() >= kWideLayoutFrom;
  if (wide_) stack_->addWidget(panes_);
  connect(&bridge_, &CMessageBridge::received, this, &CMainFrame::OnEngineMessage);
  AddBroadcastReceiver(&bridge_);

  channelView_ = new CChannelView(*this);
  PushPage(channelView_);
  ShowTop();
  dockWatch_->Start();
  setWindowTitle(Tr(u"Wrenly Mobile"));
  if (reader::SettingNumber(setting::kAutoUpdateMode) == kAutoUpdateTimed)
    StartAutoUpdate(&bridge_, options.timer != nullptr ? *options.timer : ProcessTimer());
}

CMainFrame::~CMainFrame() {
  Shutdown();
  // The command bar goes before the pages it words as the focus leaves them.
  delete commandBar_;
  // The pages go first: the channel list's refresh still uses the download
  // manager while it ends.
  delete stack_;
  qApp->removeEventFilter(this);
  RemoveBroadcastReceiver(&bridge_);
}

void CMainFrame::PushPage(CPage* page, std::function<void(int)> done) {
  page->SetFrame(this);
  const int slot = page->PaneSlot();
  const bool pane = wide_ && slot >= 0 && slot <= PaneCount() && PaneCount() == static_cast<int>(pages_.size());
  if (pane) {
    // A list or an article takes the place of the one its pane shows.
    ClosePanesFrom(slot);
  } else if (CPage* below = TopPage()) {
    if (wide_ && IsPane(below)) paneFocus_ = QApplication::focusWidget();
    below->RememberFocus();
  }
  pages_.push_back(page);
  if (pane) {
    panes_->Place(page, slot);
    // A pane leaves the keyboard where the person is, unless it is nowhere.
    if (QApplication::focusWidget() == nullptr || !isAncestorOf(QApplication::focusWidget())) page->TakeFocus();
  } else {
    stack_->addWidget(page);
  }
  ShowTop();
  if (!pane) page->TakeFocus();
  connect(page, &CPage::unhandledCommand, this, [this, page](int command) { DispatchUnhandled(page, command); });
  connect(page, &CPage::finished, this, [this, page, done = std::move(done)](int result) {
    const bool wasPane = IsPane(page);
    const QWidget* focused = QApplication::focusWidget();
    const bool hadKeyboard = focused == nullptr || focused == page || page->isAncestorOf(focused);
    // Panes over a closing one (its article) close first.
    if (wasPane) ClosePanesFrom(page->PaneSlot() + 1);
    RemovePage(page);
    page->deleteLater();
    CPage* top = TopPage();
    if (!wide_ || !wasPane) {
      if (wide_ && IsPane(top) && paneFocus_ != nullptr)
        paneFocus_->setFocus();
      else if (top != nullptr)
        top->TakeFocus();
    } else if (hadKeyboard && top != nullptr) {
      top->TakeFocus();
    }
    if (done) done(result);
  });
  if (pane) emit panesChanged();
}

CPage* CMainFrame::TopPage() const { return pages_.empty() ? nullptr : pages_.back(); }

int CMainFrame::PaneCount() const {
  int count = 0;
  while (count < static_cast<int>(pages_.size()) && count < CPaneLayout::kPanes && pages_[count]->PaneSlot() == count)
    ++count;
  return count;
}

bool CMainFrame::IsPane(const CPage* page) const {
  if (!wide_ || page == nullptr) return false;
  const int slot = page->PaneSlot();
  return slot >= 0 && slot < PaneCount() && pages_[slot] == page;
}

bool CMainFrame::Uncovered(const CPage* page) const {
  if (page == TopPage()) return true;
  return IsPane(page) && PaneCount() == static_cast<int>(pages_.size());
}

CPage* CMainFrame::Pane(int slot) const {
  return wide_ && slot >= 0 && slot < PaneCount() ? pages_[slot] : nullptr;
}

void CMainFrame::FocusPane(int slot) {
  for (int s = std::min(slot, PaneCount() - 1); s >= 0; --s)
    if (CPage* page = Pane(s)) {
      panes_->GiveKeyboard(*page);
      return;
    }
}

void CMainFrame::ClosePanesFrom(int slot) {
  while (PaneCount() > slot && static_cast<int>(pages_.size()) == PaneCount()) {
    const size_t before = pages_.size();
    pages_.back()->Close(kResultOk);
    if (pages_.size() == before) return;  // the page is closing already
  }
}

void CMainFrame::RemovePage(CPage* page) {
  const bool wasPane = IsPane(page);
  if (wasPane)
    panes_->Release(*page);
  else
    stack_->removeWidget(page);
  pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
  ShowTop();
  if (wasPane) emit panesChanged();
}

void CMainFrame::ShowTop() {
  CPage* top = TopPage();
  const bool panesShow = wide_ && (top == nullptr || IsPane(top));
  if (panesShow)
    stack_->setCurrentWidget(panes_);
  else if (top != nullptr)
    stack_->setCurrentWidget(top);
  commandBar_->setVisible(panesShow);
}

void CMainFrame::SetWide(bool wide) {
  if (wide == wide_) return;
  QWidget* focused = QApplication::focusWidget();
  if (wide) {
    wide_ = true;
    const int panes = PaneCount();
    for (int i = 0; i < panes; ++i) {
      stack_->removeWidget(pages_[i]);
      panes_->Place(pages_[i], i);
    }
    stack_->insertWidget(0, panes_);
  } else {
    const int panes = PaneCount();
    wide_ = false;
    stack_->removeWidget(panes_);
    for (int i = 0; i < panes; ++i) {
      panes_->Release(*pages_[i]);
      stack_->insertWidget(i, pages_[i]);
    }
  }
  ShowTop();
  // The keyboard stays where it was while that place shows; else the top
  // page takes it as when it comes back to the top.
  CPage* top = TopPage();
  if (focused != nullptr && focused->isVisible() && (wide_ || top == nullptr || top->isAncestorOf(focused)))
    focused->setFocus();
  else if (top != nullptr)
    top->TakeFocus();
  panes_->RestoreReadingPositions();
  emit layoutChanged(wide_);
  emit panesChanged();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == this && event->type() == QEvent::Resize &&
      (static_cast<QResizeEvent*>(event)->size().width() >= kWideLayoutFrom) != wide_)
    panes_->NoteReadingPositions(pages_);
  return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  SetWide(width() >= kWideLayoutFrom);
}

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
  const auto it = std::find(pages_.begin(), pages_.end(), from);
  for (auto below = it; below != pages_.begin();)
    if ((*--below)->OnCommand(command)) return;
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
  for (CPage* page : pages_) page->Retranslate();
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
  panes_->StoreSizes();
  for (auto page = pages_.rbegin(); page != pages_.rend(); ++page) (*page)->OnExit();
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
