#include "ui/options/option_download_dlg.h"

#include <algorithm>

#include "reader/settings.h"
#include "ui/channels/refusal_box.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {

COptionDownloadDlg::COptionDownloadDlg()
    : COptionPage("contentPage"),
      images_(new QCheckBox(this)),
      fullText_(new QCheckBox(this)),
      limitLabel_(new QLabel(this)),
      limit_(new QSpinBox(this)),
      limitSet_(reader::SettingNumber(setting::kArticlesNumberSet)) {
  images_->setObjectName("downloadImages");
  fullText_->setObjectName("downloadFullText");
  limit_->setObjectName("articleLimit");
  limitLabel_->setWordWrap(true);
  limit_->setRange(1, kMaxArticlesNumber);
  limit_->setValue(std::clamp(reader::SettingNumber(setting::kArticlesNumber), 1, kMaxArticlesNumber));
  images_->setChecked(reader::SettingNumber(setting::kDownloadImage) != 0);
  fullText_->setChecked(reader::SettingNumber(setting::kDownloadFulltext) != 0);
  form().addWidget(images_);
  form().addWidget(fullText_);
  form().addWidget(limitLabel_);
  form().addWidget(limit_, 0, Qt::AlignLeft);
  Retranslate();
  images_->setFocus();
}

void COptionDownloadDlg::RetranslateForm() {
  images_->setText(Tr(u"Download/show images if possible"));
  fullText_->setText(Tr(u"Download fulltext articles if having template"));
  limitLabel_->setText(Tr(u"Limit the number of articles in a channel to"));
}

bool COptionDownloadDlg::Save() {
  // The spin box's own text may still be half-typed; take what it makes of it.
  limit_->interpretText();
  reader::Result stored = reader::StoreSetting(setting::kDownloadImage, images_->isChecked() ? 1 : 0);
  if (stored.done()) stored = reader::StoreSetting(setting::kDownloadFulltext, fullText_->isChecked() ? 1 : 0);
  if (stored.done()) stored = reader::StoreSetting(setting::kArticlesNumberSet, limitSet_);
  if (stored.done()) stored = reader::StoreSetting(setting::kArticlesNumber, limit_->value());
  return !ShowIfRefused(this, stored);
}

}  // namespace wrenly::ui
