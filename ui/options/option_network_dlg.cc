#include "ui/options/option_network_dlg.h"

#include "reader/settings.h"
#include "ui/channels/refusal_box.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {

COptionNetworkDlg::COptionNetworkDlg()
    : COptionPage("networkPage"),
      useProxy_(new QCheckBox(this)),
      proxyLabel_(new QLabel(this)),
      proxy_(new QLineEdit(this)) {
  useProxy_->setObjectName("useProxy");
  proxy_->setObjectName("proxyAddress");
  proxyLabel_->setWordWrap(true);
  useProxy_->setChecked(reader::SettingNumber(setting::kUseNetAgency) != 0);
  proxy_->setText(ToQString(reader::SettingText(setting::kNetAgencyIP)));
  proxy_->setEnabled(useProxy_->isChecked());
  connect(useProxy_, &QCheckBox::toggled, proxy_, &QWidget::setEnabled);
  form().addWidget(useProxy_);
  form().addWidget(proxyLabel_);
  form().addWidget(proxy_);
  Retranslate();
  useProxy_->setFocus();
}

void COptionNetworkDlg::RetranslateForm() {
  useProxy_->setText(Tr(u"Wrenly uses a proxy server to connect to the Internet"));
  proxyLabel_->setText(Tr(u"Proxy server (host:port), for example: proxy.example.com:80"));
}

bool COptionNetworkDlg::Save() {
  reader::Result stored = reader::StoreSetting(setting::kUseNetAgency, useProxy_->isChecked() ? 1 : 0);
  if (stored.done()) stored = reader::StoreSetting(setting::kNetAgencyIP, ToU16(proxy_->text().trimmed()));
  return !ShowIfRefused(this, stored);
}

}  // namespace wrenly::ui
