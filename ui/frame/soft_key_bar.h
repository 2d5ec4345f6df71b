// The bar along the bottom of every page: a left key that runs the page's
// command and a right key that opens the page's menu upwards (or, in the
// wizard, runs Next or Finish). F1 and F2 press the two keys.
#pragma once

#include <QPushButton>
#include <QWidget>

namespace wrenly::ui {

class CSoftKeyBar : public QWidget {
  Q_OBJECT

 public:
  explicit CSoftKeyBar(QWidget* parent = nullptr);

  void SetLeft(const QString& text, int command);
  void SetRight(const QString& text, int command);
  int leftCommand() const { return leftCommand_; }
  int rightCommand() const { return rightCommand_; }
  QPushButton& left() { return *left_; }
  QPushButton& right() { return *right_; }

 signals:
  // A key was pressed: its command number.
  void pressed(int command);

 private:
  QPushButton* left_;
  QPushButton* right_;
  int leftCommand_ = 0;
  int rightCommand_ = 0;
};

}  // namespace wrenly::ui
