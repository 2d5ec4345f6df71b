#include "ui/options/option_auto_update_dlg.h"

#include <QHBoxLayout>
#include <algorithm>

#include "engine/auto_update.h"
#include "reader/settings.h"
#include "ui/channels/refusal_box.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {

namespace {
constexpr std::u16string_view kModes[] = {u"No auto update", u"When docked (on external power)",
                                          u"Connect automatically"};
constexpr std::u16string_view kUnits[] = {u"Minutes", u"Hours", u"Days"};
}  // namespace

COptionAutoUpdateDlg::COptionAutoUpdateDlg(std::function<void(bool)> schedule)
    : COptionPage("autoUpdatePage"),
      schedule_(std::move(schedule)),
      modeLabel_(new QLabel(this)),
      mode_(new QComboBox(this)),
      intervalLabel_(new QLabel(this)),
      count_(new QComboBox(this)),
      unit_(new QComboBox(this)),
      notice_(new QCheckBox(this)),
      lastLabel_(new QLabel(this)),
      last_(new QLabel(this)) {
  mode_->setObjectName("updateMode");
  count_->setObjectName("updateCount");
  unit_->setObjectName("updateUnit");
  notice_->setObjectName("newHeadlinesNotice");
  last_->setObjectName("lastUpdate");
  for (int i = 0; i < 3; ++i) mode_->addItem(QString());
  for (int i = 1; i <= 20; ++i) count_->addItem(QString("%1").arg(i, 2, 10, QChar('0')));
  for (int i = 0; i < 3; ++i) unit_->addItem(QString());
  mode_->setCurrentIndex(std::clamp(reader::SettingNumber(setting::kAutoUpdateMode), 0, 2));
  count_->setCurrentIndex(std::clamp(reader::SettingNumber(setting::kAutoUpdateTimeNum), 0, 19));
  unit_->setCurrentIndex(std::clamp(reader::SettingNumber(setting::kAutoUpdateTimeUnit), 0, 2));
  notice_->setChecked(reader::SettingNumber(setting::kNewHeadlinesNotice) != 0);
  last_->setText(ToQString(reader::SettingText(setting::kLastUpdateTime)));
  intervalLabel_->setWordWrap(true);
  auto* interval = new QHBoxLayout;
  interval->addWidget(count_);
  interval->addWidget(unit_, 1);
  auto* lastRow = new QHBoxLayout;
  lastRow->addWidget(lastLabel_);
  lastRow->addWidget(last_, 1);
  form().addWidget(modeLabel_);
  form().addWidget(mode_);
  form().addWidget(intervalLabel_);
  form().addLayout(interval);
  form().addWidget(notice_);
  form().addLayout(lastRow);
  Retranslate();
  mode_->setFocus();
}

void COptionAutoUpdateDlg::RetranslateForm() {
  modeLabel_->setText(Tr(u"Auto Update Mode:"));
  for (int i = 0; i < 3; ++i) mode_->setItemText(i, Tr(kModes[i]));
  intervalLabel_->setText(Tr(u"Don't update more than once every:"));
  for (int i = 0; i < 3; ++i) unit_->setItemText(i, Tr(kUnits[i]));
  notice_->setText(Tr(u"Notify me of new headlines"));
  lastLabel_->setText(Tr(u"Last Update:"));
}

bool COptionAutoUpdateDlg::Save() {
  reader::Result stored = reader::StoreSetting(setting::kAutoUpdateMode, mode_->currentIndex());
  if (stored.done()) stored = reader::StoreSetting(setting::kAutoUpdateTimeNum, count_->currentIndex());
  if (stored.done()) stored = reader::StoreSetting(setting::kAutoUpdateTimeUnit, unit_->currentIndex());
  if (stored.done()) stored = reader::StoreSetting(setting::kNewHeadlinesNotice, notice_->isChecked() ? 1 : 0);
  if (ShowIfRefused(this, stored)) return false;
  schedule_(mode_->currentIndex() == kAutoUpdateTimed);
  return true;
}

}  // namespace wrenly::ui
