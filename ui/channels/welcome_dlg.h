// The welcome screen of the first start: a greeting, a word on what the
// program does, and "Continue >>", which leads into the New Channel Wizard.
// Closes with kResultOk for "Continue >>" and kResultCancel for the back
// action.
#pragma once

#include "ui/frame/page.h"

class QLabel;

namespace wrenly::ui {

class CWelcomeDlg : public CPage {
  Q_OBJECT

 public:
  CWelcomeDlg();
  bool OnCommand(int command) override;
  void Retranslate() override;

 protected:
  // Return and Enter continue, like the screen's only button.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLabel* heading_;
  QLabel* text_;
};

}  // namespace wrenly::ui
