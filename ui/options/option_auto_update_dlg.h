// COptionAutoUpdateDlg, the "Auto Update" page: the mode, the interval
// (01 to 20 minutes, hours or days), whether an automatic update tells of
// new headlines with a desktop notice, and the time of the last update. OK
// stores them and restarts or stops the schedule at once.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <functional>

#include "ui/options/option_page.h"

namespace wrenly::ui {

class COptionAutoUpdateDlg : public COptionPage {
  Q_OBJECT

 public:
  // schedule(true) starts the timed schedule afresh, schedule(false) stops it.
  explicit COptionAutoUpdateDlg(std::function<void(bool start)> schedule);

 protected:
  std::u16string_view HeadingText() const override { return u"Auto Update"; }
  void RetranslateForm() override;
  bool Save() override;

 private:
  std::function<void(bool)> schedule_;
  QLabel* modeLabel_;
  QComboBox* mode_;
  QLabel* intervalLabel_;
  QComboBox* count_;
  QComboBox* unit_;
  QCheckBox* notice_;
  QLabel* lastLabel_;
  QLabel* last_;
};

}  // namespace wrenly::ui
