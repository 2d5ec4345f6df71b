// COptionNetworkDlg, the "Network" page: whether to use a proxy server, and
// its address as host:port. The field is usable only while the box is ticked.
#pragma once

#include <QCheckBox>
#include <QLineEdit>

#include "ui/options/option_page.h"

namespace wrenly::ui {

class COptionNetworkDlg : public COptionPage {
  Q_OBJECT

 public:
  COptionNetworkDlg();

 protected:
  std::u16string_view HeadingText() const override { return u"Network"; }
  void RetranslateForm() override;
  bool Save() override;

 private:
  QCheckBox* useProxy_;
  QLabel* proxyLabel_;
  QLineEdit* proxy_;
};

}  // namespace wrenly::ui
