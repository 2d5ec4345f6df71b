// The about screen: the program icon, its heading, the platform line and the
// version. "OK" or the back action closes it.
#pragma once

#include "ui/frame/page.h"

class QLabel;

namespace wrenly::ui {

class CAboutPage : public CPage {
  Q_OBJECT

 public:
  CAboutPage();
  bool OnCommand(int command) override;
  void Retranslate() override;

 private:
  QLabel* heading_;
  QLabel* text_;
};

}  // namespace wrenly::ui
