#include "ui/frame/soft_key_bar.h"

#include <QHBoxLayout>

namespace wrenly::ui {

CSoftKeyBar::CSoftKeyBar(QWidget* parent)
    : QWidget(parent), left_(new QPushButton(this)), right_(new QPushButton(this)) {
  setObjectName("softKeyBar");
  left_->setObjectName("leftKey");
  right_->setObjectName("rightKey");
  for (QPushButton* key : {left_, right_}) {
    key->setFocusPolicy(Qt::NoFocus);
    key->setMinimumHeight(fontMetrics().height() * 2);
    // Half the bar on a phone; no wider than a comfortable key on a desktop.
    key->setMaximumWidth(fontMetrics().averageCharWidth() * 40);
    key->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  }
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 4);
  layout->setSpacing(8);
  layout->addWidget(left_);
  layout->addStretch(0);
  layout->addWidget(right_);
  connect(left_, &QPushButton::clicked, this, [this] { emit pressed(leftCommand_); });
  connect(right_, &QPushButton::clicked, this, [this] { emit pressed(rightCommand_); });
}

void CSoftKeyBar::SetLeft(const QString& text, int command) {
  left_->setText(text);
  leftCommand_ = command;
  left_->setVisible(command != 0);
}

void CSoftKeyBar::SetRight(const QString& text, int command) {
  right_->setText(text);
  rightCommand_ = command;
  right_->setVisible(command != 0);
}

}  // namespace wrenly::ui
