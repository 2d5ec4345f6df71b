// The header bar of the channel list: the current category's icon and name
// on a button that opens the category drop-down (which reads "Show" while it
// is open; Alt+Down opens it from the keyboard), and the busy animation at the right end while downloads run.
// Greyed (disabled) while the list loads and while a download runs.
#pragma once

#include <QMenu>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

namespace wrenly::ui {

// Four frames, the next one every 250 ms, in a square.
class CBusyIndicator : public QWidget {
  Q_OBJECT

 public:
  explicit CBusyIndicator(QWidget* parent = nullptr);
  void SetRunning(bool running);
  bool running() const { return timer_.isActive(); }
  int frame() const { return frame_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QTimer timer_;
  int frame_ = 0;
};

class CCategoryBar : public QWidget {
  Q_OBJECT

 public:
  explicit CCategoryBar(QWidget* parent = nullptr);

  void SetCaption(const QIcon& icon, const QString& caption);
  QString caption() const { return caption_; }
  QToolButton& button() { return *button_; }
  QMenu& dropDown() { return *dropDown_; }
  CBusyIndicator& busy() { return *busy_; }

 signals:
  // The drop-down is about to open: fill it now.
  void dropDownAboutToShow(QMenu* menu);

 private:
  QToolButton* button_;
  QMenu* dropDown_;
  CBusyIndicator* busy_;
  QString caption_;
};

}  // namespace wrenly::ui
