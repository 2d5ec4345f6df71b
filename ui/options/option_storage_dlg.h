// COptionStorageDlg, the "Data Storage" page: keep the data on a storage
// card (one of at least 63 MiB) or in the home folder. OK stores the choice
// and, when the data root changes, moves everything the data root holds
// (channel data, downloaded templates and channel lists) there. No move
// starts while a refresh or a full-text job may still write under the old
// root. A move never overwrites a file at the target; when some files cannot
// be moved, the ones already moved go back, the page names the others, and
// the settings keep the root where the data is, so the data is never split.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <functional>
#include <vector>

#include "platform/storage_cards.h"
#include "ui/options/option_page.h"

namespace wrenly::ui {

// Cards of at least this size are offered.
constexpr std::uint64_t kMinCardBytes = 63ull * 1024 * 1024;

class COptionStorageDlg : public COptionPage {
  Q_OBJECT

 public:
  using CardSource = std::function<std::vector<StorageCard>()>;
  // busy: whether anything may write under the data root now.
  explicit COptionStorageDlg(CardSource cards = EnumerateStorageCards, std::function<bool()> busy = {});

 protected:
  std::u16string_view HeadingText() const override { return u"Data Storage"; }
  void RetranslateForm() override;
  bool Save() override;

 private:
  void ShowSpace();

  std::function<bool()> busy_;
  std::vector<StorageCard> cards_;
  QCheckBox* useCard_;
  QComboBox* card_;
  QLabel* totalLabel_;
  QLabel* total_;
  QLabel* freeLabel_;
  QLabel* free_;
};

}  // namespace wrenly::ui
