#include "ui/layout/wide_reading.h"

#include "ui/article/article_view_dlg.h"
#include "ui/channels/channel_view.h"
#include "ui/frame/main_frame.h"
#include "ui/headlines/headlines_dlg.h"

namespace wrenly::ui {

CWideReading::CWideReading(CMainFrame& frame) : QObject(&frame), frame_(frame) {
  connect(&frame, &CMainFrame::panesChanged, this, &CWideReading::OnPanesChanged);
}

void CWideReading::OnPanesChanged() {
  auto* list = qobject_cast<CHeadlinesDlg*>(frame_.Pane(1));
  if (list != nullptr && list != list_) {
    list_ = list;
    // Queued: the list has settled its counts once its rows have changed.
    const auto show = [this, list] { ShowCounts(*list); };
    QAbstractItemModel* model = &list->model();
    connect(model, &QAbstractItemModel::dataChanged, list, show, Qt::QueuedConnection);
    connect(model, &QAbstractItemModel::rowsRemoved, list, show, Qt::QueuedConnection);
    connect(model, &QAbstractItemModel::modelReset, list, show, Qt::QueuedConnection);
    if (readOnChannel_ != 0 && list->Counts().number == readOnChannel_) {
      readOnChannel_ = 0;
      focusArticle_ = true;
      connect(
          model, &QAbstractItemModel::modelReset, list, [list] { SelectUnread(*list, -1); },
          static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
    }
  }
  auto* article = qobject_cast<CArticleViewDlg*>(frame_.Pane(2));
  if (article != nullptr && article != article_) {
    article_ = article;
    connect(article, &CArticleViewDlg::spacePastEnd, this, &CWideReading::ReadOn);
    if (focusArticle_) frame_.FocusPane(2);
    focusArticle_ = false;
  }
}

void CWideReading::ShowCounts(CHeadlinesDlg& list) {
  const ChannelCounts counts = list.Counts();
  CChannelListModel& channels = frame_.channelView().model();
  const int row = channels.RowOfChannel(counts.number);
  if (row >= 0) channels.SetCounts(row, counts.total, counts.unread);
}

bool CWideReading::SelectUnread(CHeadlinesDlg& list, int after) {
  CHeadlineModel& model = list.model();
  for (int r = after + 1; r < model.rowCount(); ++r) {
    const HeadlineRow& row = model.Row(r);
    if (!row.isNew || row.isError) continue;
    list.list().setCurrentIndex(model.index(r));
    list.list().scrollTo(model.index(r));
    list.ShowSelectedArticle();
    return true;
  }
  return false;
}

void CWideReading::ReadOn() {
  auto* list = qobject_cast<CHeadlinesDlg*>(frame_.Pane(1));
  if (list == nullptr) return;
  if (SelectUnread(*list, list->list().currentIndex().row())) return;
  // The next channel down the list with unread headlines, round to the top.
  CChannelView& view = frame_.channelView();
  CChannelListModel& channels = view.model();
  const int count = channels.rowCount();
  const int from = channels.RowOfChannel(list->Counts().number);
  for (int step = 1; step < count; ++step) {
    const int r = (std::max(from, 0) + step) % count;
    const ChannelRow row = channels.Row(r);
    if (row.unread <= 0 || row.number == list->Counts().number) continue;
    readOnChannel_ = row.number;
    view.list().setCurrentIndex(channels.index(r));
    view.list().scrollTo(channels.index(r));
    return;
  }
  // No other channel has any: the unread ones above in this channel.
  SelectUnread(*list, -1);
}

}  // namespace wrenly::ui
