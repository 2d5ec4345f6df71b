#include "ui/options/option_storage_dlg.h"

#include <QApplication>
#include <QGridLayout>

#include "platform/text.h"
#include "reader/settings.h"
#include "reader/data_root_move.h"
#include "reader/reader_data.h"
#include "ui/frame/dialogs.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {

namespace {

QString Megabytes(std::uint64_t bytes) {
  return QString("%1 MB").arg(static_cast<qulonglong>(bytes / (1024 * 1024)));
}

struct StorageSettings {
  int useCard = 0;
  int cardNo = 0;
  std::u16string cardName;
  std::u16string storage;

  static StorageSettings Read() {
    return {reader::SettingNumber(setting::kUseStorageCard), reader::SettingNumber(setting::kStorageCardNo),
            reader::SettingText(setting::kStorageCardName), reader::SettingText(setting::kStorage)};
  }
  void Write() const {
    reader::StoreSetting(setting::kUseStorageCard, useCard);
    reader::StoreSetting(setting::kStorageCardNo, cardNo);
    reader::StoreSetting(setting::kStorageCardName, cardName);
    reader::StoreSetting(setting::kStorage, storage);
  }
};

}  // namespace

COptionStorageDlg::COptionStorageDlg(CardSource cards, std::function<bool()> busy)
    : COptionPage("storagePage"),
      busy_(std::move(busy)),
      useCard_(new QCheckBox(this)),
      card_(new QComboBox(this)),
      totalLabel_(new QLabel(this)),
      total_(new QLabel(this)),
      freeLabel_(new QLabel(this)),
      free_(new QLabel(this)) {
  useCard_->setObjectName("useCard");
  card_->setObjectName("cardList");
  total_->setObjectName("cardTotal");
  free_->setObjectName("cardFree");
  for (StorageCard& card : cards()) {
    if (card.spaceKnown && card.totalBytes >= kMinCardBytes) cards_.push_back(std::move(card));
  }
  for (const StorageCard& card : cards_) card_->addItem(QString::fromStdString(card.path));
  const bool any = !cards_.empty();
  useCard_->setEnabled(any);
  card_->setEnabled(any);
  if (any) {
    const int wanted = reader::SettingNumber(setting::kStorageCardNo);
    card_->setCurrentIndex(wanted >= 0 && wanted < card_->count() ? wanted : 0);
  }
  useCard_->setChecked(reader::SettingNumber(setting::kUseStorageCard) != 0);
  connect(card_, &QComboBox::currentIndexChanged, this, &COptionStorageDlg::ShowSpace);

  auto* space = new QGridLayout;
  space->addWidget(totalLabel_, 0, 0);
  space->addWidget(total_, 0, 1);
  space->addWidget(freeLabel_, 1, 0);
  space->addWidget(free_, 1, 1);
  space->setColumnStretch(1, 1);
  form().addWidget(useCard_);
  form().addWidget(card_);
  form().addLayout(space);
  Retranslate();
  ShowSpace();
  useCard_->setFocus();
}

void COptionStorageDlg::RetranslateForm() {
  useCard_->setText(Tr(u"Store all data on card"));
  totalLabel_->setText(Tr(u"Total space on media\t:").remove('\t'));
  freeLabel_->setText(Tr(u"Free space on media\t:").remove('\t'));
}

void COptionStorageDlg::ShowSpace() {
  const int i = card_->currentIndex();
  if (i < 0 || i >= static_cast<int>(cards_.size())) return;
  total_->setText(Megabytes(cards_[i].totalBytes));
  free_->setText(Megabytes(cards_[i].freeBytes));
}

bool COptionStorageDlg::Save() {
  const StorageSettings old = StorageSettings::Read();
  const std::string oldRoot = reader::ReaderData::Current().root();
  StorageSettings now = old;
  const int chosen = card_->currentIndex();
  if (!cards_.empty()) now.useCard = useCard_->isChecked() ? 1 : 0;
  now.cardNo = chosen;
  if (chosen >= 0) now.cardName = Utf8ToUtf16(cards_[chosen].path);
  now.Write();
  const std::string newRoot = reader::ReaderData::Current().root();
  now.storage = Utf8ToUtf16(newRoot);
  now.Write();
  if (newRoot == oldRoot) return true;
  if (busy_ && busy_()) {
    // A refresh or a full-text job would go on writing under the old root.
    old.Write();
    Dialogs().Inform(this, Tr(u"Data Storage"),
                     Tr(u"The data cannot move while a refresh runs. Try again when it has ended."),
                     QMessageBox::Warning);
    return false;
  }

  QApplication::setOverrideCursor(Qt::WaitCursor);
  const std::vector<std::string> left = reader::MoveDataRoot(oldRoot, newRoot);
  QApplication::restoreOverrideCursor();
  if (left.empty()) return true;
  old.Write();
  QString names;
  for (const std::string& name : left) names += "\n" + QString::fromStdString(name);
  Dialogs().Inform(this, Tr(u"Data Storage"),
                   Tr(u"These files could not be moved, so the data stays where it was:") + names,
                   QMessageBox::Warning);
  return false;
}

}  // namespace wrenly::ui
