#include "ui/channels/refusal_box.h"

#include "platform/text.h"
#include "ui/frame/dialogs.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {

bool ShowIfRefused(QWidget* page, const reader::Result& result) {
  if (result.done()) return false;
  Dialogs().Inform(page, Tr(u"Error"),
                   result.refusal == reader::Refusal::kUnreadableCatalog ? Tr(kCatalogUnreadable)
                                                                         : ToQString(Utf8ToUtf16(result.message)),
                   QMessageBox::Critical);
  return true;
}

}  // namespace wrenly::ui
