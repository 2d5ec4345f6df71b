#include "ui/frame/tr.h"

#include <QAction>
#include <QMenu>

#include "store/translation.h"

namespace wrenly::ui {

QString ToQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

std::u16string ToU16(const QString& text) { return text.toStdU16String(); }

QString Tr(std::u16string_view english) { return ToQString(Translate(english)); }

void TranslateMenu(QMenu& menu) {
  for (QAction* action : menu.actions()) {
    if (action->isSeparator()) continue;
    if (QMenu* sub = action->menu()) TranslateMenu(*sub);
    action->setText(Tr(ToU16(action->text())));
  }
}

}  // namespace wrenly::ui
