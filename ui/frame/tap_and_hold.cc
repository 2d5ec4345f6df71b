#include "ui/frame/tap_and_hold.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>

namespace wrenly::ui {

CTapAndHold::CTapAndHold(QAbstractScrollArea* area) : QObject(area), area_(area) {
  timer_.setSingleShot(true);
  timer_.setInterval(600);
  area->viewport()->installEventFilter(this);
  connect(&timer_, &QTimer::timeout, this, [this] {
    fired_ = true;
    QContextMenuEvent menu(QContextMenuEvent::Mouse, pressedAt_, area_->viewport()->mapToGlobal(pressedAt_));
    QApplication::sendEvent(area_->viewport(), &menu);
  });
}

bool CTapAndHold::eventFilter(QObject*, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton) {
        pressedAt_ = mouse->position().toPoint();
        timer_.start();
      }
      break;
    }
    case QEvent::MouseMove:
      if ((static_cast<QMouseEvent*>(event)->position().toPoint() - pressedAt_).manhattanLength() >
          QApplication::startDragDistance())
        timer_.stop();
      break;
    case QEvent::MouseButtonRelease:
      timer_.stop();
      if (fired_) {
        // The press opened the menu; its release must not also tap the row.
        fired_ = false;
        return true;
      }
      break;
    case QEvent::Leave:
      timer_.stop();
      break;
    default:
      break;
  }
  return false;
}

}  // namespace wrenly::ui
