#include "ui/wizard/wizard_page.h"

#include <QFontMetrics>

namespace wrenly::ui {

int FormMaxWidth(const QWidget& widget) {
  constexpr int kCharacters = 90;
  return QFontMetrics(widget.font()).averageCharWidth() * kCharacters;
}

QLabel* MakeHeading(QWidget* parent, const char* objectName) {
  auto* heading = new QLabel(parent);
  heading->setObjectName(objectName);
  QFont font = heading->font();
  font.setPointSizeF(font.pointSizeF() * 1.4);
  font.setBold(true);
  heading->setFont(font);
  heading->setWordWrap(true);
  return heading;
}

}  // namespace wrenly::ui
