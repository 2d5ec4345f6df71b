#include "ui/channels/category_bar.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QShortcut>

#include "ui/frame/tr.h"

namespace wrenly::ui {

CBusyIndicator::CBusyIndicator(QWidget* parent) : QWidget(parent) {
  setObjectName("busyIndicator");
  timer_.setInterval(250);
  connect(&timer_, &QTimer::timeout, this, [this] {
    frame_ = (frame_ + 1) % 4;
    update();
  });
}

void CBusyIndicator::SetRunning(bool running) {
  if (running == timer_.isActive()) return;
  if (running)
    timer_.start();
  else
    timer_.stop();
  frame_ = 0;
  update();
}

QSize CBusyIndicator::sizeHint() const {
  const int edge = fontMetrics().height();
  return {edge, edge};
}

void CBusyIndicator::paintEvent(QPaintEvent*) {
  if (!timer_.isActive()) return;  // stopped: the square stays clear
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const int edge = std::min(width(), height());
  const qreal dot = edge / 3.2;
  // Four dots at the corners of the square; the lit one walks round.
  const QPointF corners[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  const QColor lit = palette().highlight().color();
  for (int i = 0; i < 4; ++i) {
    painter.setBrush(i == frame_ ? lit : palette().mid().color());
    painter.setPen(Qt::NoPen);
    const QPointF at = corners[i] * (edge - dot) + QPointF(dot / 2, dot / 2);
    painter.drawEllipse(at, dot / 2, dot / 2);
  }
}

CCategoryBar::CCategoryBar(QWidget* parent)
    : QWidget(parent), button_(new QToolButton(this)), dropDown_(new QMenu(this)), busy_(new CBusyIndicator(this)) {
  setObjectName("categoryBar");
  button_->setObjectName("categoryButton");
  dropDown_->setObjectName("categoryDropDown");
  button_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  button_->setPopupMode(QToolButton::InstantPopup);
  button_->setAutoRaise(true);
  button_->setMenu(dropDown_);
  button_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  QFont bold = button_->font();
  bold.setBold(true);
  button_->setFont(bold);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 2, 8, 2);
  layout->addWidget(button_, 1);
  layout->addWidget(busy_);
  setMinimumHeight(fontMetrics().height() * 2);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::AlternateBase);
  connect(dropDown_, &QMenu::aboutToShow, this, [this] {
    button_->setText(Tr(u"Show"));
    emit dropDownAboutToShow(dropDown_);
  });
  connect(dropDown_, &QMenu::aboutToHide, this, [this] { button_->setText(caption_); });
  // Alt+Down opens the drop-down from anywhere on the screen the bar is part of.
  auto* open = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Down), parent != nullptr ? parent : this);
  open->setContext(Qt::WidgetWithChildrenShortcut);
  connect(open, &QShortcut::activated, this, [this] {
    if (isEnabled()) button_->showMenu();
  });
}

void CCategoryBar::SetCaption(const QIcon& icon, const QString& caption) {
  caption_ = caption;
  button_->setIcon(icon);
  button_->setText(caption);
}

}  // namespace wrenly::ui
