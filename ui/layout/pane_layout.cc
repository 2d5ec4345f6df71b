#include "ui/layout/pane_layout.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

#include "reader/settings.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/page.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {
namespace {

// The narrowest each pane gets, and its share of a window without stored sizes.
constexpr int kMinimumWidth[CPaneLayout::kPanes] = {180, 240, 300};
constexpr int kShare[CPaneLayout::kPanes] = {24, 30, 46};

// The largest visible part of the page that takes the keyboard.
QWidget* LargestFocusable(CPage& page) {
  QWidget* best = nullptr;
  int bestArea = 0;
  for (QWidget* child : page.findChildren<QWidget*>()) {
    if (!child->isVisibleTo(&page) || !child->isEnabled() || !(child->focusPolicy() & Qt::TabFocus)) continue;
    const int area = child->width() * child->height();
    if (area > bestArea) {
      best = child;
      bestArea = area;
    }
  }
  return best;
}

}  // namespace

CPaneLayout::CPaneLayout(CMainFrame& frame) : QSplitter(Qt::Horizontal, &frame), frame_(frame) {
  setObjectName("paneLayout");
  setChildrenCollapsible(false);
  for (int slot = 0; slot < kPanes; ++slot) {
    auto* holder = new QWidget(this);
    holder->setObjectName(QString("pane%1").arg(slot));
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    holder->setMinimumWidth(kMinimumWidth[slot]);
    // An empty pane shows the lists' background, not a grey hole.
    holder->setBackgroundRole(QPalette::Base);
    holder->setAutoFillBackground(true);
    addWidget(holder);
    setStretchFactor(slot, slot == kPanes - 1 ? 1 : 0);
    holders_[slot] = holder;
  }
  const QByteArray saved = QByteArray::fromBase64(ToQString(reader::SettingText(setting::kPaneSizes)).toLatin1());
  sized_ = !saved.isEmpty() && restoreState(saved);
}

void CPaneLayout::Place(CPage* page, int slot) {
  page->softKeys().hide();
  holders_[slot]->layout()->addWidget(page);
  page->show();
}

void CPaneLayout::Release(CPage& page) {
  // The page keeps a parent here until it is put elsewhere, so one that is
  // deleted later never outlives the window.
  page.hide();
  for (QWidget* holder : holders_) holder->layout()->removeWidget(&page);
  page.softKeys().show();
}

void CPaneLayout::GiveKeyboard(CPage& page) {
  QWidget* last = page.focusWidget();
  QWidget* target = last != nullptr && last != &page && last->isVisibleTo(&page) && last->isEnabled()
                        ? last
                        : LargestFocusable(page);
  if (target != nullptr)
    target->setFocus(Qt::TabFocusReason);
  else
    page.setFocus(Qt::TabFocusReason);
}

void CPaneLayout::StoreSizes() const {
  if (!sized_) return;
  reader::StoreSetting(setting::kPaneSizes, ToU16(QString::fromLatin1(saveState().toBase64())));
}

void CPaneLayout::showEvent(QShowEvent* event) {
  QSplitter::showEvent(event);
  if (!sized_) {
    const int room = std::max(width(), kWideLayoutFrom);
    setSizes({room * kShare[0] / 100, room * kShare[1] / 100, room * kShare[2] / 100});
    sized_ = true;
  }
  qApp->installEventFilter(this);
}

void CPaneLayout::hideEvent(QHideEvent* event) {
  qApp->removeEventFilter(this);
  QSplitter::hideEvent(event);
}

int CPaneLayout::SlotOf(const QWidget* widget) const {
  for (int slot = 0; slot < kPanes; ++slot)
    if (holders_[slot]->isAncestorOf(widget)) return slot;
  return -1;
}

void CPaneLayout::FocusNextPane(bool forward) {
  const int from = SlotOf(QApplication::focusWidget());
  for (int step = 1; step <= kPanes; ++step) {
    const int slot = ((from < 0 ? 0 : from) + (forward ? step : kPanes * 2 - step)) % kPanes;
    if (CPage* page = frame_.Pane(slot)) {
      GiveKeyboard(*page);
      return;
    }
  }
}

bool CPaneLayout::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || watched != QApplication::focusWidget()) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
  if (!tab || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) ||
      QApplication::activePopupWidget() != nullptr || SlotOf(static_cast<QWidget*>(watched)) < 0)
    return false;
  FocusNextPane(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
  return true;
}

void CPaneLayout::NoteReadingPositions(const std::vector<CPage*>& pages) {
  positions_.clear();
  for (CPage* page : pages)
    for (QTextBrowser* viewer : page->findChildren<QTextBrowser*>())
      if (viewer->verticalScrollBar()->value() > 0)
        positions_.push_back({viewer, viewer->cursorForPosition(QPoint(0, 0)).position()});
}

void CPaneLayout::RestoreReadingPositions() {
  const std::vector<ReadingPosition> positions = std::move(positions_);
  positions_.clear();
  if (positions.empty()) return;
  // The pages take their new sizes (and the text wraps anew) first.
  for (int pass = 0; pass < 3; ++pass) QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  for (const ReadingPosition& at : positions) {
    if (at.viewer == nullptr) continue;
    QTextCursor cursor(at.viewer->document());
    cursor.setPosition(std::min(at.position, at.viewer->document()->characterCount() - 1));
    QScrollBar* bar = at.viewer->verticalScrollBar();
    bar->setValue(bar->value() + at.viewer->cursorRect(cursor).top());
  }
}

}  // namespace wrenly::ui
