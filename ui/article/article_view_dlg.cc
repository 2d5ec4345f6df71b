#include "ui/article/article_view_dlg.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextDocument>
#include <algorithm>

#include "reader/reading.h"
#include "reader/settings.h"
#include "ui/article/article_page.h"
#include "ui/article/link_opener.h"
#include "ui/article/picture_decoding.h"
#include "ui/frame/commands.h"
#include "ui/frame/dialogs.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/pictures.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {
namespace {

constexpr int kFontLevels = 5;
// Level 0 (Smallest) to 4 (Largest), relative to the desktop's font.
constexpr double kFontScale[kFontLevels] = {0.75, 0.875, 1.0, 1.25, 1.5};
constexpr int kFontCommands[kFontLevels] = {cmd::kFontSmallest, cmd::kFontSmaller, cmd::kFontMedium,
                                            cmd::kFontLarger, cmd::kFontLargest};
constexpr char16_t kTapForDetails[] = u": Tap for details.";

int fontLevel = -1;  // read from the settings when the first view opens

int FontLevelOf(int command) {
  const auto* it = std::find(std::begin(kFontCommands), std::end(kFontCommands), command);
  return it == std::end(kFontCommands) ? -1 : static_cast<int>(it - std::begin(kFontCommands));
}

void RemoveAll(std::u16string& text, std::u16string_view what) {
  if (what.empty()) return;
  for (size_t at = text.find(what); at != std::u16string::npos; at = text.find(what, at)) text.erase(at, what.size());
}

}  // namespace

int HtmlFontSize() {
  if (fontLevel < 0) fontLevel = std::clamp(reader::SettingNumber(setting::kHtmlFontSize), 0, kFontLevels - 1);
  return fontLevel;
}

CArticleViewDlg::CArticleViewDlg(IArticleSource& source, ArticleInfo article, QWidget* parent)
    : CHtmlViewDlg(parent),
      source_(source),
      sourceObject_(dynamic_cast<QObject*>(&source)),
      article_(std::move(article)),
      loading_(new QLabel(this)) {
  setObjectName("articleView");
  loading_->setObjectName("loadingText");
  loading_->setAlignment(Qt::AlignCenter);
  loading_->setWordWrap(true);
  const int inset = 6 * static_cast<int>(Density(this));
  loading_->setContentsMargins(inset, inset, inset, inset);
  body().addWidget(loading_, 1);
  viewer().installEventFilter(this);
  viewer().viewport()->installEventFilter(this);
  installEventFilter(this);
  fontLevel = -1;  // each view starts from the stored level
  ApplyFontSize();
  Retranslate();
  ShowLoading(true);
  composeTimer_.setSingleShot(true);
  composeTimer_.setInterval(100);
  connect(&composeTimer_, &QTimer::timeout, this, &CArticleViewDlg::Compose);
  composeTimer_.start();
}

void CArticleViewDlg::Retranslate() {
  softKeys().SetLeft(Tr(u"Headlines"), cmd::kHeadlines);
  softKeys().SetRight(Tr(u"Menu"), cmd::kMenu);
  loading_->setText(Tr(u"Loading, please waiting..."));
}

void CArticleViewDlg::ShowLoading(bool loading) {
  loading_->setVisible(loading);
  viewer().setVisible(!loading);
  if (loading)
    setCursor(Qt::WaitCursor);
  else
    unsetCursor();
  if (!loading && HoldsKeyboard()) viewer().setFocus();
}

// --- composition ---

void CArticleViewDlg::RegisterFixedImages() {
  const qreal ratio = devicePixelRatioF();
  const bool error = IsErrorEntry(article_);
  RegisterImage("news-read", ArticleMarkImage(error ? ArticleMark::kError : ArticleMark::kRead, ratio));
  RegisterImage("news-unread", ArticleMarkImage(error ? ArticleMark::kError : ArticleMark::kUnread, ratio));
  RegisterImage("newsfiller", ArticleMarkImage(ArticleMark::kFiller, 1.0));
  if (imagesRegistered_) return;
  const QImage logo =
      article_.logoFile.empty() ? QImage() : QImage(QString::fromStdString(article_.logoFile));
  hasLogo_ = !logo.isNull();
  if (hasLogo_) RegisterImage("logo", logo);
}

bool CArticleViewDlg::LoadStoredPicture(const std::u16string& address, int slot) {
  const auto decoded = decoded_.find(address);
  QImage image;
  if (decoded != decoded_.end()) {
    image = decoded->second;
  } else {
    const auto it = article_.pictures.find(address);
    if (it == article_.pictures.end()) return false;
    image = ReadStoredPicture(it->second, PictureRoom());
  }
  if (image.isNull()) return false;
  RegisterImage(ToQString(PictureName(slot)), image);
  return true;
}

// Decodes the first stored pictures the body names, all at once, before the
// substitution takes them one by one.
void CArticleViewDlg::DecodeStoredPictures() {
  std::vector<std::u16string> addresses;
  std::vector<std::string> files;
  PictureAddress found;
  for (size_t pos = 0; addresses.size() < kMaxArticlePictures && NextPictureAddress(article_.body, pos, found);) {
    const auto it = article_.pictures.find(found.address);
    if (it == article_.pictures.end() ||
        std::find(addresses.begin(), addresses.end(), found.address) != addresses.end())
      continue;
    addresses.push_back(found.address);
    files.push_back(it->second);
  }
  std::vector<QImage> images = ReadStoredPictures(files, PictureRoom());
  for (std::size_t i = 0; i < addresses.size(); ++i) decoded_.emplace(std::move(addresses[i]), std::move(images[i]));
}

// The width a picture may take: the text column's. While the viewer is
// still hidden behind the loading label (and has no size of its own yet),
// the page less a scroll bar stands for the viewer.
int CArticleViewDlg::PictureRoom() {
  const int available = viewer().isVisible() ? viewer().viewport()->width()
                                              : width() - viewer().verticalScrollBar()->sizeHint().width();
  return std::max(std::min(available, viewer().MaxColumnWidth()) - 24, 120);
}

void CArticleViewDlg::Compose() {
  // The marks follow the article shown: moving onto the error entry shows
  // the error mark, moving off it the read marks again.
  RegisterFixedImages();
  ArticleInfo shown = article_;
  if (IsErrorEntry(shown)) {
    RemoveAll(shown.title, kTapForDetails);
    RemoveAll(shown.title, ToU16(Tr(kTapForDetails)));
  }
  DecodeStoredPictures();
  shown.body = SubstitutePictures(
      article_.body, [this](const std::u16string& address, int slot) { return LoadStoredPicture(address, slot); });
  decoded_.clear();
  page_ = ComposeArticlePage(shown, hasLogo_, {ToU16(Tr(u"Read More Online")), ToU16(Tr(u"Published"))});
  ShowHtml(PageForViewer(page_));
  // A screen reader names the article and its channel and date.
  viewer().setAccessibleName(ToQString(shown.title));
  viewer().setAccessibleDescription(ToQString(shown.channelTitle) + ", " + ToQString(shown.published));
  ShowLoading(false);
}

// --- commands ---

void CArticleViewDlg::Move(int direction) {
  IArticleSource* source = Source();
  if (source == nullptr || !source->CanMove(direction)) return;
  article_ = source->GetArticle(direction);
  deleteRequested_ = false;
  imagesRegistered_ = true;
  Compose();
}

std::vector<MenuEntry> CArticleViewDlg::MenuEntries() const {
  return {{u"Previous Article", cmd::kPreviousArticle, {}},
          {u"Next Article", cmd::kNextArticle, {}},
          Separator(),
          {u"Delete", cmd::kDeleteHeadline, {}},
          Separator(),
          {u"Font Size",
           0,
           {{u"Largest", cmd::kFontLargest, {}},
            {u"Larger", cmd::kFontLarger, {}},
            {u"Medium", cmd::kFontMedium, {}},
            {u"Smaller", cmd::kFontSmaller, {}},
            {u"Smallest", cmd::kFontSmallest, {}}}}};
}

void CArticleViewDlg::PrepareAction(QAction& action, int command) {
  if (command == cmd::kPreviousArticle) action.setEnabled(Source() != nullptr && Source()->CanMove(-1));
  if (command == cmd::kNextArticle) action.setEnabled(Source() != nullptr && Source()->CanMove(+1));
  const int level = FontLevelOf(command);
  if (level >= 0) {
    action.setCheckable(true);
    action.setChecked(level == HtmlFontSize());
  }
}

int CArticleViewDlg::DeleteCommand() const { return cmd::kDeleteHeadline; }

bool CArticleViewDlg::OnCommand(int command) {
  switch (command) {
    case cmd::kHeadlines: Close(kResultOk); return true;
    case cmd::kPreviousArticle: Move(-1); return true;
    case cmd::kNextArticle: Move(+1); return true;
    case cmd::kDeleteHeadline:
      if (ConfirmDelete(this, u"Are you sure you want to delete this item?")) {
        deleteRequested_ = true;
        Close(kResultOk);
      }
      return true;
    default: {
      const int level = FontLevelOf(command);
      if (level < 0) return false;
      SetFontSize(level);
      return true;
    }
  }
}

void CArticleViewDlg::OnLinkClicked(const QString& url) {
  // Side by side the article stays in its pane while the browser shows the page.
  if (OpenLink(url) && (frame() == nullptr || !frame()->IsPane(this))) Close(kResultOk);
}

// --- font size and keys ---

void CArticleViewDlg::SetFontSize(int level) {
  fontLevel = std::clamp(level, 0, kFontLevels - 1);
  ApplyFontSize();
}

void CArticleViewDlg::ApplyFontSize() {
  const int level = HtmlFontSize();
  QFont font = QApplication::font();
  font.setPointSizeF(std::max(font.pointSizeF(), 6.0) * kFontScale[level]);
  viewer().document()->setDefaultFont(font);
  viewer().FitColumn();
  reader::StoreSetting(setting::kHtmlFontSize, level);
}

bool CArticleViewDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::NoModifier && key->key() == Qt::Key_Space && watched == &viewer() &&
        viewer().verticalScrollBar()->value() >= viewer().verticalScrollBar()->maximum()) {
      emit spacePastEnd();
      return true;
    }
    if (mods == Qt::NoModifier && (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right)) {
      Move(key->key() == Qt::Key_Left ? -1 : +1);
      return true;
    }
    if (mods & Qt::ControlModifier) {
      if (key->key() == Qt::Key_Plus || key->key() == Qt::Key_Equal) {
        SetFontSize(HtmlFontSize() + 1);
        return true;
      }
      if (key->key() == Qt::Key_Minus) {
        SetFontSize(HtmlFontSize() - 1);
        return true;
      }
    }
  }
  return CHtmlViewDlg::eventFilter(watched, event);
}

}  // namespace wrenly::ui
