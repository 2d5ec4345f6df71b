// The wizard's first page: "How should the Channel be created?" with four
// choices. Next and Cancel hand the choice to the wizard.
#pragma once

#include <QButtonGroup>
#include <QRadioButton>
#include <array>

#include "ui/wizard/wizard_page.h"

namespace wrenly::ui {

// Choice numbers, in the order of the buttons; kChoiceNone when none is checked.
enum WizardChoice { kChoiceOpml = 0, kChoiceUrl = 1, kChoiceLocalTemplates = 2, kChoiceDownload = 3, kChoiceNone = 4 };

class CNewChannelDlg : public CWizardPage {
  Q_OBJECT

 public:
  // Checks and focuses `preselect`; kChoiceNone applies the start rule:
  // local templates once the catalog file exists, else the download.
  explicit CNewChannelDlg(int preselect);
  void SetKeys(CSoftKeyBar& keys) override;
  bool OnCommand(int command) override;
  void Retranslate() override;
  // The first checked button in order, kChoiceNone when none is.
  int Choice() const;
  void Select(int choice);

 private:
  QLabel* heading_;
  QLabel* question_;
  QButtonGroup group_;
  std::array<QRadioButton*, 4> buttons_{};
};

}  // namespace wrenly::ui
