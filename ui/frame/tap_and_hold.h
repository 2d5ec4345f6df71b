// Tap and hold on a touch screen: a press held still for 600 ms opens the
// widget's context menu, as a right click, the context-menu key or Shift+F10
// already do.
#pragma once

#include <QObject>
#include <QPoint>
#include <QTimer>

class QAbstractScrollArea;

namespace wrenly::ui {

class CTapAndHold : public QObject {
  Q_OBJECT

 public:
  // Watches the area's viewport; owned by the area.
  explicit CTapAndHold(QAbstractScrollArea* area);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAbstractScrollArea* area_;
  QTimer timer_;
  QPoint pressedAt_;
  bool fired_ = false;
};

}  // namespace wrenly::ui
