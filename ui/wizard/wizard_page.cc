#include "ui/wizard/wizard_page.h"

namespace wrenly::ui {

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
