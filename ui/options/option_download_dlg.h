// COptionDownloadDlg, the "Content" page: pictures, full texts, and the most
// articles a channel keeps (1 to 100; the field takes digits only, so no
// other value can be stored).
#pragma once

#include <QCheckBox>
#include <QSpinBox>

#include "ui/options/option_page.h"

namespace wrenly::ui {

class COptionDownloadDlg : public COptionPage {
  Q_OBJECT

 public:
  COptionDownloadDlg();

 protected:
  std::u16string_view HeadingText() const override { return u"Content"; }
  void RetranslateForm() override;
  bool Save() override;

 private:
  QCheckBox* images_;
  QCheckBox* fullText_;
  QLabel* limitLabel_;
  QSpinBox* limit_;
  int limitSet_;
};

}  // namespace wrenly::ui
