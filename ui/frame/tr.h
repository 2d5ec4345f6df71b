// Qt's side of the translation table: texts shown on screen go through Tr,
// and menus are translated as a whole just before they open.
#pragma once

#include <QString>
#include <string_view>

class QMenu;

namespace wrenly::ui {

QString ToQString(std::u16string_view text);
std::u16string ToU16(const QString& text);

// The translation of an English text (lines and tab-separated pieces too).
QString Tr(std::u16string_view english);

// Translates every item of the menu and of its sub-menus, in place.
void TranslateMenu(QMenu& menu);

}  // namespace wrenly::ui
