#include "ui/headlines/headlines_dlg.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <algorithm>

#include "engine/download_manager.h"
#include "engine/messages.h"
#include "platform/notifier.h"
#include "ui/channels/category_bar.h"
#include "ui/channels/channel_view.h"
#include "ui/channels/refusal_box.h"
#include "ui/article/article_view_dlg.h"
#include "ui/frame/commands.h"
#include "ui/frame/dialogs.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/pictures.h"
#include "ui/frame/tap_and_hold.h"
#include "ui/frame/tr.h"
#include "ui/headlines/headline_delegate.h"
#include "ui/search/search_dlg.h"

namespace wrenly::ui {
namespace {

constexpr char16_t kTapForDetails[] = u": Tap for details.";
constexpr size_t kDateLength = 16;

bool IsUnread(uint32_t flag) { return flag == kFlagUnread || flag == kFlagUnreadFullText; }

}  // namespace

QSize HeaderLogoSize(QSize image, int windowWidth, double density) {
  if (image.isEmpty()) return {};
  double w = image.width(), h = image.height();
  const double maxWidth = std::max(windowWidth / 2, 1);
  if (w > maxWidth) {
    h = h * maxWidth / w;
    w = maxWidth;
  }
  const double low = 23 * density, high = 34 * density;
  if (h > high) {
    w = w * high / h;
    h = high;
  } else if (h < low) {
    h = low;
  }
  return {std::max(static_cast<int>(w + 0.5), 1), static_cast<int>(h + 0.5)};
}

CHeadlinesDlg::CHeadlinesDlg(CMainFrame& frame, ChannelRef channel)
    : frame_(frame),
      channel_(std::move(channel)),
      data_(reader::ReaderData::Current()),
      logo_(new QLabel(this)),
      title_(new QLabel(this)),
      busy_(new CBusyIndicator(this)),
      list_(new QListView(this)),
      loading_(new QLabel(this)) {
  setObjectName("headlinesView");
  list_->setObjectName("headlineList");
  loading_->setObjectName("loadingText");
  logo_->setObjectName("channelLogo");
  title_->setObjectName("channelTitle");
  auto* header = new QWidget(this);
  auto* row = new QHBoxLayout(header);
  row->setContentsMargins(6, 4, 6, 4);
  row->addWidget(logo_);
  row->addWidget(title_, 1);
  row->addWidget(busy_);
  // A feed's title is text, never markup to render.
  title_->setTextFormat(Qt::PlainText);
  title_->setText(channel_.title);
  QFont bold = title_->font();
  bold.setBold(true);
  title_->setFont(bold);
  title_->setMinimumWidth(0);
  title_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  list_->setModel(&model_);
  list_->setItemDelegate(new CHeadlineDelegate(list_));
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setUniformItemSizes(true);
  list_->setFrameShape(QFrame::NoFrame);
  new CTapAndHold(list_);
  loading_->setAlignment(Qt::AlignCenter);
  loading_->setWordWrap(true);
  body().addWidget(header);
  body().addWidget(list_, 1);
  body().addWidget(loading_, 1);
  list_->hide();
  setCursor(Qt::WaitCursor);

  const auto open = [this] {
    if (frame_.IsPane(this))
      ShowSelectedArticle();
    else
      openTimer_.start();
  };
  connect(list_, &QListView::clicked, this, open);
  connect(list_, &QListView::activated, this, open);
  connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
    if (!selectingItself_ && frame_.IsPane(this)) ShowSelectedArticle();
  });
  connect(&frame, &CMainFrame::engineMessage, this, &CHeadlinesDlg::OnEngineMessage);
  connect(&frame, &CMainFrame::downloadingChanged, this, &CHeadlinesDlg::UpdateBusy);
  loadTimer_.setSingleShot(true);
  loadTimer_.setInterval(100);
  connect(&loadTimer_, &QTimer::timeout, this, &CHeadlinesDlg::Reload);
  openTimer_.setSingleShot(true);
  openTimer_.setInterval(100);
  connect(&openTimer_, &QTimer::timeout, this, &CHeadlinesDlg::OpenArticle);

  // Full texts that arrived before the list opened are in the item file
  // already; marking them unread now would undo what was read since.
  frame_.downloadManager().ClearFinishedUrls();
  Retranslate();
  UpdateBusy();
  loadTimer_.start();
}

void CHeadlinesDlg::Retranslate() {
  softKeys().SetLeft(Tr(u"Channels"), cmd::kChannels);
  softKeys().SetRight(Tr(u"Menu"), cmd::kMenu);
  loading_->setText(Tr(u"Loading, please waiting..."));
  if (model_.rowCount() > 0 && model_.Row(0).isError) Reload();
}

// --- header ---

void CHeadlinesDlg::LayOutHeader() {
  if (logoImage_.isNull()) {
    const int edge = ListImageSize(this);
    logo_->setPixmap(ListImagePixmap(kImageFeed, edge, devicePixelRatioF()));
    title_->show();
    return;
  }
  const QSize size = HeaderLogoSize(logoImage_.size(), width(), Density(this));
  QPixmap pixmap = QPixmap::fromImage(
      logoImage_.scaled(size * devicePixelRatioF(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  pixmap.setDevicePixelRatio(devicePixelRatioF());
  logo_->setPixmap(pixmap);
  title_->show();
}

void CHeadlinesDlg::resizeEvent(QResizeEvent* event) {
  CPage::resizeEvent(event);
  if (!logoImage_.isNull()) LayOutHeader();
}

// --- loading ---

void CHeadlinesDlg::Reload() {
  // A load that was still due would only read the same file again.
  loadTimer_.stop();
  reader::ValueResult<reader::ChannelItems> read = data_.ReadChannel(channel_.number);
  // Refused, the list keeps what it shows.
  if (!read.done()) {
    ShowIfRefused(frame_.TopPage(), read.result);
    ShowList();
    return;
  }
  logoFile_ = std::move(read.value.logoFile);
  if (logoImage_.isNull() && !logoFile_.empty()) logoImage_ = QImage(QString::fromStdString(logoFile_));
  LayOutHeader();

  const int selected = SelectedRow();
  const std::u16string keep = selected >= 0 ? model_.Row(selected).link : std::u16string();
  std::vector<HeadlineRow> rows;
  total_ = unread_ = 0;
  CDownloadManager& downloads = frame_.downloadManager();
  const std::u16string tapForDetails = ToU16(Tr(kTapForDetails));
  for (reader::ItemRecord& record : read.value.items) {
    HeadlineRow row;
    row.isError = record.type == kItemTypeError;
    row.flag = record.flag;
    row.image = HeadlineImage(record.flag, row.isError,
                              !row.isError && record.flag == kFlagUnread && downloads.HasPendingJob(record.link));
    row.isNew = IsUnread(record.flag);
    if (!row.isError) {
      ++total_;
      if (row.isNew) ++unread_;
    }
    row.title = row.isError ? record.title + tapForDetails : std::move(record.title);
    row.date = record.date.substr(0, kDateLength);
    row.link = std::move(record.link);
    row.description = std::move(record.description);
    rows.push_back(std::move(row));
  }
  SortHeadlines(rows);
  model_.SetRows(std::move(rows));

  ShowList();
  // A reload while an article is open keeps that article's row selected, so
  // stepping on from it goes on from the right place.
  const int found = keep.empty() ? -1 : model_.Find(keep);
  SelectRow(found >= 0 ? found : 0);
  // Under an article the list stays without the keyboard.
  if (HoldsKeyboard()) list_->setFocus();
}

void CHeadlinesDlg::ShowList() {
  loading_->hide();
  list_->show();
  unsetCursor();
}

// --- downloads ---

bool CHeadlinesDlg::Downloading() const {
  return frame_.downloading() || frame_.channelView().downloading();
}

void CHeadlinesDlg::UpdateBusy() { busy_->SetRunning(Downloading()); }

void CHeadlinesDlg::OnEngineMessage(quint32 message, quint64, qint64) {
  const std::string name = RegisteredMessageName(message);
  if (name == kMsgDownloadFinished) {
    loadTimer_.start();
  } else if (name == kMsgFulltextFetched) {
    CollectFullTexts();
  }
  // The channel list hears of the end of its refresh on its own path; look
  // again once it has.
  QTimer::singleShot(0, this, &CHeadlinesDlg::UpdateBusy);
}

// A read item becomes unread again, so the user sees that there is more to
// read. Arrivals come in the background: a refused one (the catalog
// unreadable, the item gone) leaves its row as it is, with no error box.
void CHeadlinesDlg::CollectFullTexts() {
  for (std::u16string link; frame_.downloadManager().PopFinishedUrl(link);) {
    const int r = model_.Find(link);
    if (r < 0 || model_.Row(r).isError) continue;
    const reader::ValueResult<reader::FullTextState> text = data_.FullTextFinished(channel_.number, link);
    if (!text.done() || text.value == reader::FullTextState::kNone) continue;
    const bool hasText = text.value == reader::FullTextState::kStored;
    const HeadlineRow& row = model_.Row(r);
    if (!row.isNew) ++unread_;
    const uint32_t flag = hasText ? kFlagUnreadFullText : (row.flag & kFlagUnreadFullText);
    model_.Update(r, flag, hasText ? kImageUnreadFullText : kImageUnread, true);
  }
}

// --- articles ---

bool CHeadlinesDlg::CanMove(int direction) const {
  const int r = SelectedRow();
  return r >= 0 && r + direction >= 0 && r + direction < model_.rowCount();
}

ArticleInfo CHeadlinesDlg::GetArticle(int direction) {
  ArticleInfo info;
  if (!CanMove(direction)) return info;
  const int r = SelectedRow() + direction;
  SelectRow(r);
  const HeadlineRow row = model_.Row(r);
  info.channel = channel_.number;
  info.channelTitle = ToU16(channel_.title);
  info.title = row.title;
  info.link = row.link;
  info.published = row.date;
  info.wasRead = !row.isNew;
  info.body = row.description;
  info.logoFile = logoFile_;
  reader::ValueResult<reader::StoredArticle> opened = data_.OpenArticle(channel_.number, row.link);
  // Refused, the article shows what the list holds, and its row stays unread.
  if (ShowIfRefused(frame_.TopPage(), opened.result)) return info;
  info.body = std::move(opened.value.body);
  info.hasFullText = opened.value.hasFullText;
  info.pictures = std::move(opened.value.pictures);
  if (!row.isError) {
    if (row.isNew) --unread_;
    model_.Update(r, row.flag | kFlagRead, MarkedImage(row.image, true), false);
  }
  return info;
}

void CHeadlinesDlg::OpenArticle() {
  if (SelectedRow() < 0 || !OnTop()) return;
  auto* view = new CArticleViewDlg(*this, GetArticle(0));
  article_ = view;
  frame_.PushPage(view, [self = QPointer<CHeadlinesDlg>(this), view](int) {
    if (self == nullptr) return;
    // The item the article shows, whichever row is selected by now.
    if (view->deleteRequested()) self->DeleteItem(view->article().link);
    if (self->HoldsKeyboard()) self->list_->setFocus();
  });
}

void CHeadlinesDlg::ShowSelectedArticle() {
  const int r = SelectedRow();
  if (r < 0 || (article_ != nullptr && article_->article().link == model_.Row(r).link)) return;
  if (article_ != nullptr)
    article_->Move(0);
  else
    OpenArticle();
}

// --- commands ---

std::vector<MenuEntry> CHeadlinesDlg::MenuEntries() const {
  return {{u"Refresh", cmd::kRefresh, {}},
          {u"Search...", cmd::kSearch, {}},
          Separator(),
          {u"Delete", cmd::kDeleteHeadline, {}},
          {u"Delete All", cmd::kDeleteAllHeadlines, {}},
          Separator(),
          {u"Mark Headline",
           0,
           {{u"Read", cmd::kMarkRead, {}},
            {u"Unread", cmd::kMarkUnread, {}},
            {u"All Headlines as Read", cmd::kMarkAllRead, {}},
            {u"All Headlines as Unread", cmd::kMarkAllUnread, {}}}},
          Separator(),
          {u"Channel Properties", cmd::kProperties, {}}};
}

void CHeadlinesDlg::PrepareAction(QAction& action, int command) {
  // The menu is translated after this, so the English word is set here.
  if (command == cmd::kRefresh) action.setText(ToQString(Downloading() ? u"Cancel" : u"Refresh"));
  // The channel list opens no properties while a refresh runs.
  if (command == cmd::kProperties && (!Screens().channelProperties || Downloading())) action.setEnabled(false);
  if (command == cmd::kDeleteAllHeadlines && RefreshTouchesChannel()) action.setEnabled(false);
  if (command == cmd::kSearch && !Screens().search) action.setEnabled(false);
  const bool needsRow = command == cmd::kDeleteHeadline || command == cmd::kMarkRead || command == cmd::kMarkUnread;
  if (needsRow && SelectedRow() < 0) action.setEnabled(false);
}

int CHeadlinesDlg::DeleteCommand() const { return cmd::kDeleteHeadline; }

bool CHeadlinesDlg::OnCommand(int command) {
  switch (command) {
    case cmd::kChannels: Close(kResultOk); return true;
    case cmd::kRefresh: PassDown(cmd::kRefreshChannel); return true;
    case cmd::kDeleteHeadline: DeleteSelected(); return true;
    case cmd::kDeleteAllHeadlines: DeleteAll(); return true;
    case cmd::kMarkRead: Mark(true); return true;
    case cmd::kMarkUnread: Mark(false); return true;
    case cmd::kMarkAllRead: MarkAll(true); return true;
    case cmd::kMarkAllUnread: MarkAll(false); return true;
    case cmd::kSearch: OpenSearch(); return true;
    default: return false;
  }
}

void CHeadlinesDlg::contextMenuEvent(QContextMenuEvent* event) {
  const QModelIndex index = list_->indexAt(list_->viewport()->mapFromGlobal(event->globalPos()));
  if (event->reason() == QContextMenuEvent::Mouse) {
    if (!index.isValid()) return;
    SelectRow(index.row());
  }
  PopupMenu({{u"Delete", cmd::kDeleteHeadline, {}},
             {u"Delete All", cmd::kDeleteAllHeadlines, {}},
             {u"Mark as Read", cmd::kMarkRead, {}},
             {u"Mark as Unread", cmd::kMarkUnread, {}},
             {u"Channel Properties", cmd::kProperties, {}}},
            event->globalPos());
}

void CHeadlinesDlg::DeleteSelected() {
  if (!ConfirmDelete(this, u"Are you sure you want to delete this item?")) return;
  const int r = SelectedRow();
  if (r >= 0) DeleteItem(model_.Row(r).link);
}

void CHeadlinesDlg::DeleteItem(const std::u16string& link) {
  const reader::Result deleted = data_.DeleteItem(channel_.number, link);
  // An item already gone (deleted by another program) is what Delete wanted;
  // only its row, if any, remains to go.
  if (deleted.refusal != reader::Refusal::kNotFound && ShowIfRefused(frame_.TopPage(), deleted)) return;
  const int r = model_.Find(link);
  // Side by side, the article pane closes with its headline.
  if (article_ != nullptr && article_->article().link == link && frame_.IsPane(article_)) article_->Close(kResultOk);
  if (r >= 0) {
    const HeadlineRow row = model_.Row(r);
    model_.Remove(r);
    if (model_.rowCount() > 0) SelectRow(std::min(r, model_.rowCount() - 1));
    // The error entry was never counted.
    if (!row.isError) {
      --total_;
      if (row.isNew) --unread_;
    }
  }
  if (HoldsKeyboard()) list_->setFocus();
}

bool CHeadlinesDlg::RefreshTouchesChannel() const {
  // Feeds are merged while the frame reports the download (the feed phase).
  return frame_.downloading() && frame_.channelView().RefreshIncludes(channel_.number);
}

void CHeadlinesDlg::DeleteAll() {
  // A running merge of this channel would bring the deleted items back.
  if (RefreshTouchesChannel()) return;
  if (!ConfirmDelete(this, u"Are you sure you want to delete all these items?")) return;
  if (ShowIfRefused(this, data_.DeleteAllItems(channel_.number))) return;
  model_.SetRows({});
  total_ = unread_ = 0;
}

void CHeadlinesDlg::Mark(bool read) {
  const int r = SelectedRow();
  if (r < 0) return;
  const HeadlineRow row = model_.Row(r);
  if (ShowIfRefused(this, data_.Mark(channel_.number, read, row.link)) || row.isError) return;
  if (row.isNew && read) --unread_;
  if (!row.isNew && !read) ++unread_;
  const uint32_t flag = read ? (row.flag | kFlagRead) : (row.flag & kFlagUnreadFullText);
  model_.Update(r, flag, MarkedImage(row.image, read), !read);
  SelectRow(r);
}

void CHeadlinesDlg::MarkAll(bool read) {
  if (ShowIfRefused(this, data_.Mark(channel_.number, read))) return;
  unread_ = read ? 0 : total_;
  for (int r = 0; r < model_.rowCount(); ++r) {
    const HeadlineRow& row = model_.Row(r);
    if (row.isError) continue;
    const uint32_t flag = read ? (row.flag | kFlagRead) : (row.flag & kFlagUnreadFullText);
    model_.Update(r, flag, MarkedImage(row.image, read), !read);
  }
}

// The counts stored are the item file's as it is now: a refresh may have
// merged into it since the list was loaded. The program is ending: a
// refusal has nobody left to read it.
void CHeadlinesDlg::OnExit() { data_.StoreItemCounts(channel_.number); }

int CHeadlinesDlg::SelectedRow() const {
  const QModelIndex current = list_->currentIndex();
  return current.isValid() && list_->selectionModel()->isSelected(current) ? current.row() : -1;
}

void CHeadlinesDlg::SelectRow(int row) {
  if (row < 0 || row >= model_.rowCount()) return;
  const QModelIndex index = model_.index(row);
  selectingItself_ = true;
  list_->setCurrentIndex(index);
  selectingItself_ = false;
  list_->scrollTo(index);
}

// This channel's headlines at first; the screen can widen to every channel.
// Articles read there change this list's rows, so it reads them again.
void CHeadlinesDlg::OpenSearch() {
  if (!Screens().search || frame_.TopPage() != this) return;
  frame_.PushPage(Screens().search(frame_, channel_), [self = QPointer<CHeadlinesDlg>(this)](int) {
    if (self != nullptr) self->Reload();
  });
}

void RegisterReadingScreens() {
  Screens().headlines = [](CMainFrame& frame, const ChannelRef& channel) -> CPage* {
    return new CHeadlinesDlg(frame, channel);
  };
  RegisterSearchScreen();
}

}  // namespace wrenly::ui
