// Shows what the reader library refused: one error box with the reason, so
// every screen that changes the reader's data says alike what failed.
// GUI thread only.
#pragma once

#include "reader/result.h"

class QWidget;

namespace wrenly::ui {

// The text shown when the catalog exists but cannot be read.
inline constexpr char16_t kCatalogUnreadable[] = u"The channel list could not be read. The file was left as it is.";

// An error box over `page` when the operation was refused; true then.
bool ShowIfRefused(QWidget* page, const reader::Result& result);

}  // namespace wrenly::ui
