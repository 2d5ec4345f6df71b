#include "ui/search/search_dlg.h"

#include <QKeyEvent>
#include <QVBoxLayout>

#include "reader/search.h"
#include "ui/article/article_view_dlg.h"
#include "ui/channels/refusal_box.h"
#include "ui/frame/commands.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/tap_and_hold.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {
namespace {

constexpr size_t kDateLength = 16;
// Searching waits for a pause in the typing.
constexpr int kTypingPauseMs = 300;

bool IsUnread(uint32_t flag) { return flag == reader::kFlagUnread || flag == reader::kFlagUnreadFullText; }

}  // namespace

CSearchDlg::CSearchDlg(CMainFrame& frame, ChannelRef within)
    : frame_(frame),
      within_(std::move(within)),
      data_(reader::ReaderData::Current()),
      field_(new QLineEdit(this)),
      status_(new QLabel(this)),
      results_(new QListView(this)) {
  setObjectName("searchView");
  field_->setObjectName("searchField");
  status_->setObjectName("searchStatus");
  results_->setObjectName("searchResults");
  field_->setClearButtonEnabled(true);
  status_->setWordWrap(true);
  status_->setTextFormat(Qt::PlainText);

  auto* top = new QWidget(this);
  auto* column = new QVBoxLayout(top);
  column->setContentsMargins(6, 6, 6, 4);
  column->setSpacing(4);
  column->addWidget(field_);
  if (within_.number != 0) {
    allChannels_ = new QCheckBox(this);
    allChannels_->setObjectName("searchAllChannels");
    column->addWidget(allChannels_);
    connect(allChannels_, &QCheckBox::toggled, this, &CSearchDlg::RunSearch);
    // Made after the results list, it would follow it in the Tab chain.
    setTabOrder(field_, allChannels_);
    setTabOrder(allChannels_, results_);
  }
  column->addWidget(status_);

  results_->setModel(&model_);
  results_->setItemDelegate(new CSearchResultDelegate(results_));
  results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  results_->setSelectionMode(QAbstractItemView::SingleSelection);
  results_->setUniformItemSizes(true);
  results_->setFrameShape(QFrame::NoFrame);
  new CTapAndHold(results_);
  body().addWidget(top);
  body().addWidget(results_, 1);
  setFocusProxy(field_);
  field_->installEventFilter(this);

  typingTimer_.setSingleShot(true);
  typingTimer_.setInterval(kTypingPauseMs);
  connect(&typingTimer_, &QTimer::timeout, this, &CSearchDlg::RunSearch);
  connect(field_, &QLineEdit::textChanged, this, [this] {
    searched_ = false;
    typingTimer_.start();
  });
  openTimer_.setSingleShot(true);
  openTimer_.setInterval(100);
  connect(&openTimer_, &QTimer::timeout, this, &CSearchDlg::OpenArticle);
  connect(results_, &QListView::clicked, this, [this] { openTimer_.start(); });
  connect(results_, &QListView::activated, this, [this] { openTimer_.start(); });
  Retranslate();
}

void CSearchDlg::Retranslate() {
  softKeys().SetLeft(Tr(u"Back"), cmd::kBack);
  softKeys().SetRight(Tr(u"Open"), cmd::kOpenArticle);
  field_->setPlaceholderText(Tr(u"Words to find"));
  field_->setAccessibleName(Tr(u"Search"));
  results_->setAccessibleName(Tr(u"Headlines"));
  if (allChannels_ != nullptr) allChannels_->setText(Tr(u"Search &all channels"));
  ShowStatus();
}

// --- searching ---

void CSearchDlg::RunSearch() {
  typingTimer_.stop();
  const std::u16string query = ToU16(field_->text());
  const bool everyChannel = within_.number == 0 || (allChannels_ != nullptr && allChannels_->isChecked());
  setCursor(Qt::WaitCursor);
  reader::ValueResult<std::vector<reader::SearchHit>> found =
      reader::Search(data_, query, everyChannel ? std::nullopt : std::optional<int>(within_.number));
  unsetCursor();
  std::vector<SearchRow> rows;
  // Refused, the box says why and no results show.
  if (!ShowIfRefused(frame_.TopPage(), found.result))
    for (reader::SearchHit& hit : found.value)
      rows.push_back({hit.channel, std::move(hit.channelTitle), std::move(hit.title), std::move(hit.link),
                      hit.date.substr(0, kDateLength), hit.flag});
  model_.SetRows(std::move(rows));
  searched_ = true;
  if (model_.rowCount() > 0) SelectRow(0);
  ShowStatus();
}

void CSearchDlg::ShowStatus() {
  if (field_->text().trimmed().isEmpty())
    status_->setText(Tr(u"Type the words to find."));
  else if (!searched_)
    status_->setText(QString());
  else if (model_.rowCount() == 0)
    status_->setText(Tr(u"No headline holds every word."));
  else if (model_.rowCount() == 1)
    status_->setText(Tr(u"1 headline found"));
  else
    status_->setText(Tr(u"%1 headlines found").arg(model_.rowCount()));
}

bool CSearchDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == field_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    // Return searches at once and goes to the first result; Down goes to
    // the results as they are.
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down) {
      if (key != Qt::Key_Down || !searched_) RunSearch();
      if (model_.rowCount() > 0) results_->setFocus();
      return true;
    }
  }
  return CPage::eventFilter(watched, event);
}

// --- articles ---

int CSearchDlg::SelectedRow() const {
  const QModelIndex current = results_->currentIndex();
  return current.isValid() && results_->selectionModel()->isSelected(current) ? current.row() : -1;
}

void CSearchDlg::SelectRow(int row) {
  if (row < 0 || row >= model_.rowCount()) return;
  const QModelIndex index = model_.index(row);
  results_->setCurrentIndex(index);
  results_->scrollTo(index);
}

bool CSearchDlg::CanMove(int direction) const {
  const int r = SelectedRow();
  return r >= 0 && r + direction >= 0 && r + direction < model_.rowCount();
}

ArticleInfo CSearchDlg::GetArticle(int direction) {
  ArticleInfo info;
  if (!CanMove(direction)) return info;
  const int r = SelectedRow() + direction;
  SelectRow(r);
  const SearchRow row = model_.Row(r);
  info.channel = row.channel;
  info.channelTitle = row.channelTitle;
  info.title = row.title;
  info.link = row.link;
  info.published = row.date;
  info.wasRead = !IsUnread(row.flag);
  reader::ValueResult<reader::StoredArticle> opened = data_.OpenArticle(row.channel, row.link);
  // Refused (the item went since the search), the article is empty and
  // the row stays as it was.
  if (ShowIfRefused(frame_.TopPage(), opened.result)) return info;
  info.body = std::move(opened.value.body);
  info.hasFullText = opened.value.hasFullText;
  info.pictures = std::move(opened.value.pictures);
  touched_.insert(row.channel);
  model_.SetFlag(r, row.flag | reader::kFlagRead);
  return info;
}

void CSearchDlg::OpenArticle() {
  if (SelectedRow() < 0 || frame_.TopPage() != this) return;
  auto* view = new CArticleViewDlg(*this, GetArticle(0));
  frame_.PushPage(view, [self = QPointer<CSearchDlg>(this), view](int) {
    if (self == nullptr) return;
    if (view->deleteRequested()) self->DeleteItem(view->article());
    self->results_->setFocus();
  });
}

void CSearchDlg::DeleteItem(const ArticleInfo& article) {
  const reader::Result deleted = data_.DeleteItem(article.channel, article.link);
  if (deleted.refusal != reader::Refusal::kNotFound && ShowIfRefused(frame_.TopPage(), deleted)) return;
  touched_.insert(article.channel);
  for (int r = 0; r < model_.rowCount(); ++r) {
    if (model_.Row(r).channel != article.channel || model_.Row(r).link != article.link) continue;
    model_.Remove(r);
    SelectRow(std::min(r, model_.rowCount() - 1));
    break;
  }
  ShowStatus();
}

// --- commands ---

bool CSearchDlg::OnCommand(int command) {
  switch (command) {
    case cmd::kBack: OnBack(); return true;
    case cmd::kOpenArticle: OpenArticle(); return true;
    default: return false;
  }
}

void CSearchDlg::OnBack() {
  StoreCounts();
  Close(kResultOk);
}

// The program is ending: a refusal has nobody left to read it.
void CSearchDlg::OnExit() { StoreCounts(); }

void CSearchDlg::StoreCounts() {
  for (int channel : touched_) data_.StoreItemCounts(channel);
  touched_.clear();
}

void RegisterSearchScreen() {
  Screens().search = [](CMainFrame& frame, const ChannelRef& within) -> CPage* {
    return new CSearchDlg(frame, within);
  };
}

}  // namespace wrenly::ui
