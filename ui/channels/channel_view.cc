#include "ui/channels/channel_view.h"

#include <utility>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>

#include "engine/messages.h"
#include "net/messages.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "reader/reader_data.h"
#include "store/translation.h"
#include "ui/channels/category_edit_dlg.h"
#include "ui/channels/refusal_box.h"
#include "ui/channels/channel_delegate.h"
#include "ui/channels/welcome_dlg.h"
#include "ui/frame/commands.h"
#include "ui/frame/dialogs.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/pictures.h"
#include "ui/frame/screens.h"
#include "ui/frame/tap_and_hold.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {
namespace {

constexpr char16_t kNoNetwork[] = u"There is no network connection. Nothing was refreshed.";


// Whether a command works on the selected channel (and so needs a selection
// and no running download).
bool IsChannelCommand(int command) {
  switch (command) {
    case cmd::kProperties: case cmd::kRename: case cmd::kMarkRead: case cmd::kMarkUnread:
    case cmd::kMarkAllRead: case cmd::kMarkAllUnread: case cmd::kDelete: case cmd::kChangeCategory:
    case cmd::kRefreshChannel:
      return true;
    default:
      return false;
  }
}

bool IsOptionsCommand(int command) {
  return command == cmd::kOptionsContent || command == cmd::kOptionsAutoUpdate ||
         command == cmd::kOptionsDataStorage || command == cmd::kOptionsNetwork || command == cmd::kOptionsAccount;
}

}  // namespace

std::string CChannelView::CatalogPath() { return reader::ReaderData::Current().CatalogPath(); }

CChannelView::CChannelView(CMainFrame& frame)
    : frame_(frame), bar_(new CCategoryBar(this)), list_(new QListView(this)), loading_(new QLabel(this)) {
  setObjectName("channelView");
  list_->setObjectName("channelList");
  loading_->setObjectName("loadingText");
  list_->setModel(&model_);
  list_->setItemDelegate(new CChannelDelegate(list_));
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setUniformItemSizes(true);
  list_->setFrameShape(QFrame::NoFrame);
  new CTapAndHold(list_);
  list_->viewport()->installEventFilter(this);
  loading_->setAlignment(Qt::AlignCenter);
  loading_->setWordWrap(true);
  loading_->hide();
  body().addWidget(bar_);
  body().addWidget(list_, 1);
  body().addWidget(loading_, 1);

  refresh_ = std::make_unique<reader::Refresh>(model_, &viewBridge_, frame.downloadManager());
  connect(&viewBridge_, &CMessageBridge::received, this, &CChannelView::OnEngineMessage);
  connect(&frame, &CMainFrame::engineMessage, this, &CChannelView::OnEngineMessage);
  connect(&frame, &CMainFrame::downloadingChanged, this, &CChannelView::OnDownloadingChanged);
  connect(&notice_, &CNewHeadlinesNotice::clicked, this, &CChannelView::ComeForwardFromNotice);
  connect(&model_, &CChannelListModel::titleEdited, this, &CChannelView::StoreTitle);
  connect(list_, &QListView::clicked, this, &CChannelView::OpenSelectedSoon);
  connect(list_, &QListView::activated, this, [this] {
    // Side by side, Return or a double click also takes the keyboard to the
    // channel's headlines, as opening it does on the page stack.
    headlinesTakeKeyboard_ = frame_.IsPane(this);
    OpenSelectedSoon();
  });
  // Side by side, the headline pane follows the selected channel.
  connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
    if (frame_.IsPane(this)) OpenSelectedSoon();
  });
  connect(&frame, &CMainFrame::layoutChanged, this, [this] {
    if (frame_.IsPane(this)) OpenSelectedSoon();
  });
  connect(bar_, &CCategoryBar::dropDownAboutToShow, this, &CChannelView::FillDropDown);

  reloadTimer_.setSingleShot(true);
  reloadTimer_.setInterval(100);
  connect(&reloadTimer_, &QTimer::timeout, this, &CChannelView::Reload);
  openTimer_.setSingleShot(true);
  openTimer_.setInterval(100);
  connect(&openTimer_, &QTimer::timeout, this, &CChannelView::OpenSelected);
  // Counts of a running refresh are stored in one catalog save per half
  // second, so the GUI thread does not write the catalog per channel.
  countsTimer_.setSingleShot(true);
  countsTimer_.setInterval(500);
  connect(&countsTimer_, &QTimer::timeout, this, &CChannelView::FlushCounts);
  // A burst of changes (a save writes a temporary file and renames it over
  // the old one) ends in one reload.
  diskTimer_.setSingleShot(true);
  diskTimer_.setInterval(300);
  connect(&diskTimer_, &QTimer::timeout, this, &CChannelView::ReloadFromDisk);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, &diskTimer_, qOverload<>(&QTimer::start));
  connect(&watcher_, &QFileSystemWatcher::fileChanged, &diskTimer_, qOverload<>(&QTimer::start));

  ResetDropDown();
  Retranslate();
  QTimer::singleShot(100, this, &CChannelView::StartUp);
}

CChannelView::~CChannelView() {
  // The refresh ends (and stores its counts) before the model it works on
  // goes away, and an editor still open must not write into a list that is
  // being destroyed.
  refresh_.reset();
  disconnect(&model_, nullptr, this, nullptr);
}

void CChannelView::Retranslate() {
  softKeys().SetLeft(Tr(downloading_ ? u"Cancel" : u"Refresh"), cmd::kRefresh);
  softKeys().SetRight(Tr(u"Menu"), cmd::kMenu);
  if (filter_ == std::nullopt || filter_->empty())
    bar_->SetCaption(CategoryIconFor(CategoryIcon::kAll), Tr(u"All Categories"));
  if (loading_->property("unreadable").toBool())
    loading_->setText(Tr(kCatalogUnreadable));
  else
    loading_->setText(Tr(u"Loading, please waiting..."));
  list_->viewport()->update();
}

// --- start-up and reload ---

void CChannelView::StartUp() {
  SetDownloading(false);
  bar_->setEnabled(false);
  const reader::ReaderData data = reader::ReaderData::Current();
  data.CreateFolders();
  if (!data.HasCatalog()) {
    OpenPage(new CWelcomeDlg, [this](int result) { AfterWelcome(result); });
  } else {
    list_->hide();
    loading_->show();
    setCursor(Qt::WaitCursor);
    ScheduleReload();
  }
}

void CChannelView::AfterWelcome(int result) {
  bar_->setEnabled(!frame_.downloading());
  if (result == kResultOk) RunWizard();
  Reload();
}

void CChannelView::RunWizard() {
  // The wizard sees whether a catalog file exists (a first start) and makes
  // one when it adds a channel; an empty one is saved once it closes.
  if (!Screens().newChannelWizard) {
    EnsureCatalogFile();
    return;
  }
  OpenPage(Screens().newChannelWizard(frame_), [this](int result) {
    EnsureCatalogFile();
    list_->setFocus();
    if (result != kResultOk) return;
    ResetDropDown();
    ScheduleReload();
  });
}

void CChannelView::EnsureCatalogFile() { Done(reader::ReaderData::Current().CreateCatalog()); }

void CChannelView::ScheduleReload() { reloadTimer_.start(); }

void CChannelView::Reload() { Load(true); }

void CChannelView::Load(bool takeFocus) {
  reloadTimer_.stop();
  bar_->setEnabled(false);
  const int remembered = SelectedRow();
  const int rememberedNumber = model_.Row(remembered).number;
  const bool filling = !filter_.has_value();
  const reader::ReaderData data = reader::ReaderData::Current();
  std::vector<reader::CatalogEntry> channels;
  std::vector<std::u16string> categories;
  const bool readable = data.ListCatalog(channels, categories).refusal != reader::Refusal::kUnreadableCatalog;
  if (filling) categories_ = std::move(categories);
  std::vector<ChannelRow> rows;
  for (const reader::CatalogEntry& channel : channels) {
    ChannelRow row;
    row.number = channel.Number();
    row.url = channel.Get(u"xmlUrl");
    if (row.number <= 0 || row.url.empty() || !MatchesFilter(channel.category)) continue;
    if (newOnly_ && ParseDecimal(channel.Get(u"newItemCount")) == 0) continue;
    row.title = channel.attributes.count(u"text") ? channel.Get(u"text") : channel.Get(u"title");
    row.iconPath = Utf8ToUtf16(data.ChannelPath(row.number, "-Fav.ico"));
    if (channel.attributes.count(u"itemCount") && channel.attributes.count(u"newItemCount")) {
      row.total = ParseDecimal(channel.Get(u"itemCount"));
      row.unread = ParseDecimal(channel.Get(u"newItemCount"));
      row.counts = CountText(row.total, row.unread);
    }
    row.hasUnread = row.unread >= 1 ? u"1" : u"0";
    rows.push_back(std::move(row));
  }
  model_.SetRows(std::move(rows));

  loading_->setProperty("unreadable", !readable);
  loading_->setText(Tr(readable ? u"Loading, please waiting..." : kCatalogUnreadable));
  loading_->setVisible(!readable);
  list_->setVisible(readable);
  unsetCursor();
  if (model_.rowCount() > 0) {
    // Rows may have moved: the channel stays selected wherever it is now.
    const int row = model_.RowOfChannel(rememberedNumber);
    SelectRow(row >= 0 && rememberedNumber > 0 ? row : std::clamp(remembered, 0, model_.rowCount() - 1));
    if (takeFocus) list_->setFocus();
  }
  bar_->setEnabled(!frame_.downloading());
  WatchDisk();
  emit reloaded();
}

void CChannelView::WatchDisk() {
  const reader::ReaderData data = reader::ReaderData::Current();
  const QString folder = QString::fromStdString(data.ChannelFolder());
  const QString catalog = QString::fromStdString(data.CatalogPath());
  if (!watcher_.directories().contains(folder)) watcher_.addPath(folder);
  // A save renames a new file over the catalog, and the watcher drops the
  // file it watched.
  if (!watcher_.files().contains(catalog) && data.HasCatalog()) watcher_.addPath(catalog);
}

void CChannelView::ReloadFromDisk() {
  WatchDisk();
  // A running refresh writes item files and stores its counts as it goes,
  // and a reload would close a title being edited (its editor, inside the
  // list, has the focus): both wait their end.
  const QWidget* focus = QApplication::focusWidget();
  const bool editing = focus && focus != list_ && list_->isAncestorOf(focus);
  if (refresh_->running() || downloading_ || editing) {
    diskTimer_.start();
    return;
  }
  FlushCounts();
  Load(false);
}

// --- category drop-down ---

void CChannelView::ResetDropDown() {
  categories_.clear();
  filter_.reset();
  bar_->SetCaption(CategoryIconFor(CategoryIcon::kAll), Tr(u"All Categories"));
}

bool CChannelView::MatchesFilter(const std::u16string& category) const {
  if (!filter_.has_value() || filter_->empty()) return true;
  const std::u16string& filter = *filter_;
  const std::u16string translated = Translate(category);
  const std::u16string filterTranslated = Translate(filter);
  return category == filter || translated == filter || category == filterTranslated ||
         translated == filterTranslated;
}

void CChannelView::FillDropDown(QMenu* menu) {
  menu->clear();
  auto* group = new QActionGroup(menu);
  QFont bold = menu->font();
  bold.setBold(true);
  const auto add = [&](const QIcon& icon, const QString& text, int command, bool chosen) {
    QAction* action = menu->addAction(icon, text);
    action->setData(command);
    action->setFont(bold);
    action->setCheckable(command != cmd::kAddDeleteCategories);
    action->setChecked(chosen);
    if (action->isCheckable()) group->addAction(action);
  };
  const bool all = !filter_.has_value() || filter_->empty();
  add(CategoryIconFor(CategoryIcon::kAll), Tr(u"All Categories"), cmd::kAllCategories, all);
  for (size_t i = 0; i < categories_.size(); ++i) {
    const bool chosen = !all && *filter_ == categories_[i];
    add(CategoryIconFor(chosen ? CategoryIcon::kChosen : CategoryIcon::kCategory), ToQString(categories_[i]),
        cmd::kFirstCategory + static_cast<int>(i), chosen);
  }
  menu->addSeparator();
  add(CategoryIconFor(CategoryIcon::kAddDelete), Tr(u"Add/Delete"), cmd::kAddDeleteCategories, false);
  connect(menu, &QMenu::triggered, this, [this](QAction* action) {
    const int command = action->data().toInt();
    QMetaObject::invokeMethod(this, [this, command] { ChooseCategory(command); }, Qt::QueuedConnection);
  }, Qt::SingleShotConnection);
}

void CChannelView::ChooseCategory(int command) {
  if (command == cmd::kAllCategories) {
    filter_ = std::u16string();
    bar_->SetCaption(CategoryIconFor(CategoryIcon::kAll), Tr(u"All Categories"));
    ScheduleReload();
  } else if (command == cmd::kAddDeleteCategories) {
    OpenPage(new CCategoryEditDlg(CCategoryEditDlg::kEdit, categories_), [this](int) {
      list_->setFocus();
      ResetDropDown();
      ScheduleReload();
    });
  } else if (const size_t i = command - cmd::kFirstCategory; i < categories_.size()) {
    const std::u16string name = ToU16(ToQString(categories_[i]).trimmed());
    filter_ = name;
    bar_->SetCaption(CategoryIconFor(CategoryIcon::kChosen), ToQString(name));
    ScheduleReload();
  }
}

bool CChannelView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Paint && !paintTraced_ && model_.rowCount() > 0) {
    paintTraced_ = true;
    TraceF("Channel list: first paint with %d rows", model_.rowCount());
  }
  return CPage::eventFilter(watched, event);
}

// --- menus and commands ---

std::vector<MenuEntry> CChannelView::MenuEntries() const {
  return {
      {u"New", cmd::kNew, {}},
      Separator(),
      {u"Refresh Channel", cmd::kRefreshChannel, {}},
      {u"Search...", cmd::kSearch, {}},
      {u"Mark Channel", 0,
       {{u"Read", cmd::kMarkRead, {}},
        {u"Unread", cmd::kMarkUnread, {}},
        {u"All Channels As Read", cmd::kMarkAllRead, {}},
        {u"All Channels As Unread", cmd::kMarkAllUnread, {}}}},
      Separator(),
      {u"View", 0, {{u"All Channels", cmd::kViewAll, {}}, {u"New Headlines", cmd::kViewNew, {}}}},
      Separator(),
      {u"Channel", 0,
       {{u"Properties", cmd::kProperties, {}},
        {u"Change Category...", cmd::kChangeCategory, {}},
        {u"Delete", cmd::kDelete, {}},
        {u"Rename", cmd::kRename, {}}}},
      {u"Export...", cmd::kExport, {}},
      Separator(),
      {u"Language", 0, {{u"English", cmd::kEnglish, {}}, {u"Simplified Chinese", cmd::kSimplifiedChinese, {}}}},
      {u"Options", 0,
       {{u"Content...", cmd::kOptionsContent, {}},
        {u"Auto Update...", cmd::kOptionsAutoUpdate, {}},
        {u"Data Storage...", cmd::kOptionsDataStorage, {}},
        {u"Network...", cmd::kOptionsNetwork, {}},
        {u"Account...", cmd::kOptionsAccount, {}}}},
      Separator(),
      {u"About Wrenly...", cmd::kAbout, {}},
      Separator(),
      {u"Exit", cmd::kExit, {}},
  };
}

void CChannelView::PrepareAction(QAction& action, int command) {
  if (IsChannelCommand(command)) action.setEnabled(HasSelection() && !downloading_);
  if (command == cmd::kViewAll || command == cmd::kViewNew) {
    action.setCheckable(true);
    action.setChecked((command == cmd::kViewNew) == newOnly_);
  }
  // A screen this build does not have is greyed rather than doing nothing.
  if (command == cmd::kNew && !Screens().newChannelWizard) action.setEnabled(false);
  if (command == cmd::kProperties && !Screens().channelProperties) action.setEnabled(false);
  if (command == cmd::kSearch && !Screens().search) action.setEnabled(false);
  if (IsOptionsCommand(command) && !Screens().options) action.setEnabled(false);
  frame_.PrepareAction(action, command);
}

bool CChannelView::OnCommand(int command) {
  if (IsChannelCommand(command) && (!HasSelection() || downloading_) && command != cmd::kRefreshChannel)
    return true;
  switch (command) {
    case cmd::kRefresh: ToggleRefresh(-1); return true;
    case cmd::kRefreshChannel:
      // While a download runs this is the Cancel of the headline screen.
      if (downloading_ || HasSelection()) ToggleRefresh(SelectedRow());
      return true;
    case cmd::kNew: RunWizard(); return true;
    case cmd::kMarkRead: Mark(true, false); return true;
    case cmd::kMarkUnread: Mark(false, false); return true;
    case cmd::kMarkAllRead: Mark(true, true); return true;
    case cmd::kMarkAllUnread: Mark(false, true); return true;
    case cmd::kViewAll:
    case cmd::kViewNew:
      if (newOnly_ != (command == cmd::kViewNew)) {
        newOnly_ = command == cmd::kViewNew;
        ResetDropDown();
        ScheduleReload();
      }
      return true;
    case cmd::kDelete: DeleteSelected(); return true;
    case cmd::kRename: StartRename(); return true;
    case cmd::kChangeCategory: ChangeCategory(); return true;
    case cmd::kExport: Export(); return true;
    case cmd::kSearch:
      // The counts of articles read there reach the list as the search
      // screen stores them in the catalog, which the list watches.
      if (Screens().search) OpenPage(Screens().search(frame_, {}), [this](int) { list_->setFocus(); });
      return true;
    case cmd::kProperties: {
      if (!Screens().channelProperties) return true;
      const ChannelRow row = model_.Row(SelectedRow());
      OpenPage(Screens().channelProperties(frame_, {row.number, ToQString(row.title), ToQString(row.url)}),
               [this](int) { list_->setFocus(); });
      return true;
    }
    default:
      if (!IsOptionsCommand(command)) return false;
      if (Screens().options) OpenPage(Screens().options(frame_, command));
      return true;
  }
}

void CChannelView::contextMenuEvent(QContextMenuEvent* event) {
  if (downloading_) return;
  const QModelIndex index = list_->indexAt(list_->viewport()->mapFromGlobal(event->globalPos()));
  if (event->reason() == QContextMenuEvent::Mouse) {
    if (!index.isValid()) return;
    SelectRow(index.row());
  }
  if (!HasSelection()) return;
  PopupMenu({{u"Refresh Channel", cmd::kRefreshChannel, {}},
             {u"Delete", cmd::kDelete, {}},
             {u"Rename", cmd::kRename, {}},
             {u"Change Category...", cmd::kChangeCategory, {}},
             {u"Properties", cmd::kProperties, {}},
             {u"Mark as Read", cmd::kMarkRead, {}},
             {u"Mark as Unread", cmd::kMarkUnread, {}}},
            event->globalPos());
}

// --- refresh ---

void CChannelView::ToggleRefresh(int targetRow) {
  if (downloading_) {
    // Cancel: a running refresh ends with WM_REFRESH_DONE; a wait for the
    // connection ends here, and asks for no connection again.
    refresh_->Abort();
    if (!refresh_->running()) SetDownloading(false);
    return;
  }
  refresh_->Toggle(targetRow);
  SetDownloading(refresh_->running() || refresh_->waitingForConnection());
  if (downloading_) notice_.Begin(false);
}

bool CChannelView::RefreshIncludes(int number) const {
  const int target = model_.TargetChannel();
  return target == 0 || target == number;
}

void CChannelView::SetDownloading(bool downloading) {
  downloading_ = downloading;
  softKeys().SetLeft(Tr(downloading ? u"Cancel" : u"Refresh"), cmd::kRefresh);
  bar_->busy().SetRunning(downloading);
}

void CChannelView::OnDownloadingChanged(bool downloading) {
  softKeys().right().setEnabled(!downloading);
  bar_->setEnabled(!downloading && list_->isVisible());
}

void CChannelView::OnEngineMessage(quint32 message, quint64 wParam, qint64 lParam) {
  switch (message) {
    case WM_REFRESH_TOGGLE: ToggleRefresh(-1); break;
    case WM_REFRESH_DONE:  // the refresh has stored its counts
      SetDownloading(false);
      notice_.End(frame_.isActiveWindow());
      break;
    case WM_CHANNEL_NEW_ITEMS: {
      const RefreshChannel channel = model_.RefreshChannelAt(static_cast<int>(wParam));
      notice_.Add(static_cast<int>(wParam), channel.number, channel.title.empty() ? channel.url : channel.title,
                  static_cast<int>(lParam));
      break;
    }
    case WM_CHANNEL_COUNTS: {
      // wParam is a row of the refresh, which the list may have reloaded since.
      const RefreshChannel channel = model_.RefreshChannelAt(static_cast<int>(wParam));
      ShowCounts(channel.number, static_cast<int>(lParam & 0xFFFF), static_cast<int>((lParam >> 16) & 0xFFFF));
      if (!countsTimer_.isActive()) countsTimer_.start();
      break;
    }
    case WM_REFRESH_SCHEDULED:  // starts a refresh only when none runs
    case WM_NETCONNECTION_STATE:
    case WM_CRADLE_CHANGED:
      OnRefreshTrigger(message, wParam, lParam);
      break;
    default:
      break;
  }
}

void CChannelView::OnRefreshTrigger(quint32 message, quint64 wParam, qint64 lParam) {
  const bool waited = refresh_->waitingForConnection() && !refresh_->running();
  const bool idle = !refresh_->running() && !refresh_->waitingForConnection();
  refresh_->Post(message, wParam, lParam);
  // A refresh that waited for the connection keeps the origin of its request.
  const bool started = idle && (refresh_->running() || refresh_->waitingForConnection());
  if (started && message != WM_NETCONNECTION_STATE) notice_.Begin(true);
  if (refresh_->running()) SetDownloading(true);
  if (message == WM_NETCONNECTION_STATE && !refresh_->running() && !refresh_->waitingForConnection() &&
      downloading_ && !frame_.downloading()) {
    SetDownloading(false);
    // The wait for the connection gave up: say why nothing was refreshed.
    if (waited) Dialogs().Inform(this, Tr(u"Refresh"), Tr(kNoNetwork), QMessageBox::Warning);
  }
}

void CChannelView::ComeForwardFromNotice() {
  frame_.ComeForward();
  if (frame_.TopPage() != this) return;
  const int row = model_.RowOfChannel(notice_.firstChannel());
  if (row >= 0) SelectRow(row);
  list_->setFocus();
}

void CChannelView::ShowCounts(int number, int total, int unread) {
  const int row = number > 0 ? model_.RowOfChannel(number) : -1;
  if (row >= 0) model_.SetCounts(row, total, unread);
}

void CChannelView::FlushCounts() { refresh_->StoreCounts(); }

// --- channel commands ---

bool CChannelView::Done(const reader::Result& result) { return !ShowIfRefused(this, result); }

void CChannelView::Mark(bool read, bool allRows) {
  std::vector<int> rows;
  if (allRows)
    for (int r = 0; r < model_.rowCount(); ++r) rows.push_back(r);
  else
    rows.push_back(SelectedRow());
  FlushCounts();
  reader::ReaderData data = reader::ReaderData::Current();
  for (int r : rows) {
    const ChannelRow row = model_.Row(r);
    // Nothing is marked when the catalog, which gets the counts, cannot be read.
    if (!Done(data.Mark(row.number, read))) return;
    const ItemCounts counts = data.Counts(row.number);
    model_.SetCounts(r, counts.total, counts.total - counts.read);
  }
  if (!allRows) SelectRow(rows.front());
}

void CChannelView::DeleteSelected() {
  if (!ConfirmDelete(this, u"Are you sure you want to delete this item?")) return;
  const int r = SelectedRow();
  if (r < 0) return;
  const ChannelRow row = model_.Row(r);
  FlushCounts();
  if (!Done(reader::ReaderData::Current().Unsubscribe(row.url))) return;
  model_.RemoveRow(r);
  if (model_.rowCount() > 0) SelectRow(std::min(r, model_.rowCount() - 1));
}

void CChannelView::StartRename() {
  const int r = SelectedRow();
  if (r < 0) return;
  list_->setFocus();
  list_->edit(model_.index(r));
}

void CChannelView::StoreTitle(int r) {
  const ChannelRow row = model_.Row(r);
  FlushCounts();
  Done(reader::ReaderData::Current().RenameChannel(row.url, row.title));
}

void CChannelView::ChangeCategory() {
  const ChannelRow row = model_.Row(SelectedRow());
  auto* editor = new CCategoryEditDlg(CCategoryEditDlg::kChoose, categories_);
  OpenPage(editor, [this, editor, row](int result) {
    list_->setFocus();
    if (result != kResultOk || editor->chosen().empty()) return;
    const std::u16string category = editor->chosen();
    FlushCounts();
    if (Done(reader::ReaderData::Current().Move(row.url, category))) ScheduleReload();
  });
}

void CChannelView::Export() {
  const QString path = Dialogs().SaveFileName(this, Tr(u"Name File to Export to"),
                                              Tr(u"Opml Files") + " (*.opml)", "opml");
  if (path.isEmpty()) return;
  FlushCounts();
  Done(reader::ReaderData::Current().Export(path.toStdString()));
}

// --- opening a channel ---

void CChannelView::OpenPage(CPage* page, std::function<void(int)> done) {
  frame_.PushPage(page, std::move(done));
}

void CChannelView::OpenSelectedSoon() {
  if (model_.busy() || openTimer_.isActive()) return;
  openTimer_.start();
}

void CChannelView::OpenSelected() {
  const int r = SelectedRow();
  if (r < 0 || !Screens().headlines || !OnTop()) return;
  const ChannelRow row = model_.Row(r);
  const bool toHeadlines = std::exchange(headlinesTakeKeyboard_, false);
  if (frame_.IsPane(this) && openList_ != nullptr && openNumber_ == row.number) {
    if (toHeadlines) frame_.FocusPane(1);
    return;
  }
  CPage* page = Screens().headlines(frame_, {row.number, ToQString(row.title), ToQString(row.url)});
  OpenPage(page, [this, number = row.number, url = row.url](int) {
    openList_ = nullptr;
    if (HoldsKeyboard()) list_->setFocus();
    // The counts come from the item file, which a refresh may have changed
    // while the screen was open; the screen's own would be older.
    QTimer::singleShot(100, this, [this, number, url] {
      reader::ReaderData data = reader::ReaderData::Current();
      const ItemCounts counts = data.Counts(number);
      if (!counts.readable) return;
      const ChannelCountValues values{counts.total, counts.total - counts.read};
      ShowCounts(number, values.total, values.unread);
      data.StoreCounts({{url, values}});
    });
  });
  openList_ = page;
  openNumber_ = row.number;
  if (toHeadlines) frame_.FocusPane(1);
}

int CChannelView::SelectedRow() const {
  const QModelIndex current = list_->currentIndex();
  return current.isValid() && list_->selectionModel()->isSelected(current) ? current.row() : -1;
}

void CChannelView::SelectRow(int row) {
  const QModelIndex index = model_.index(row);
  list_->setCurrentIndex(index);
  list_->scrollTo(index);
}

}  // namespace wrenly::ui
