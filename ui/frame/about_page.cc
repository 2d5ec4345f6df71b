#include "ui/frame/about_page.h"

#include <QLabel>

#include "ui/frame/commands.h"
#include "ui/frame/pictures.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {

CAboutPage::CAboutPage() : heading_(new QLabel(this)), text_(new QLabel(this)) {
  setObjectName("aboutPage");
  auto* icon = new QLabel(this);
  const int size = static_cast<int>(64 * Density(this));
  icon->setPixmap(ProgramIcon().pixmap(size, size));
  icon->setAlignment(Qt::AlignHCenter);
  heading_->setObjectName("aboutHeading");
  heading_->setAlignment(Qt::AlignHCenter);
  heading_->setWordWrap(true);
  QFont font = heading_->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.3);
  heading_->setFont(font);
  text_->setObjectName("aboutText");
  text_->setAlignment(Qt::AlignHCenter);
  text_->setWordWrap(true);
  body().setContentsMargins(16, 24, 16, 16);
  body().setSpacing(12);
  body().addWidget(icon);
  body().addWidget(heading_);
  body().addWidget(text_);
  body().addStretch(1);
  Retranslate();
}

void CAboutPage::Retranslate() {
  heading_->setText(Tr(u"Dalwick Software Wrenly Mobile"));
  text_->setText(Tr(u"for Linux") + "\n" + Tr(u"Version") + " " + QStringLiteral(WRENLY_VERSION));
  softKeys().SetLeft(Tr(u"OK"), cmd::kBack);
  softKeys().SetRight(QString(), 0);
}

bool CAboutPage::OnCommand(int command) {
  if (command != cmd::kBack) return false;
  Close(kResultOk);
  return true;
}

}  // namespace wrenly::ui
