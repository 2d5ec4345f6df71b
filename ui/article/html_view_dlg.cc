#include "ui/article/html_view_dlg.h"

#include <QFontMetrics>
#include <QTextDocument>
#include <QTextFrame>
#include <algorithm>

#include "ui/frame/dialogs.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {

CHtmlViewer::CHtmlViewer(const QHash<QString, QImage>& images, QWidget* parent)
    : QTextBrowser(parent), images_(images) {
  setObjectName("htmlViewer");
  setOpenLinks(false);
  setOpenExternalLinks(false);
  setFrameShape(QFrame::NoFrame);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
}

QVariant CHtmlViewer::loadResource(int type, const QUrl& name) {
  if (type != QTextDocument::ImageResource) return {};
  const auto it = images_.constFind(name.toString());
  return it != images_.constEnd() ? QVariant(*it) : QVariant();
}

int CHtmlViewer::MaxColumnWidth() const {
  constexpr int kCharactersPerLine = 80;
  return QFontMetrics(document()->defaultFont()).averageCharWidth() * kCharactersPerLine;
}

void CHtmlViewer::FitColumn() {
  constexpr int kEdge = 4;  // the document's own margin on a narrow screen
  const int side = std::max(kEdge, (viewport()->width() - MaxColumnWidth()) / 2);
  QTextFrameFormat format = document()->rootFrame()->frameFormat();
  if (format.leftMargin() == side && format.rightMargin() == side) return;
  format.setLeftMargin(side);
  format.setRightMargin(side);
  document()->rootFrame()->setFrameFormat(format);
}

void CHtmlViewer::resizeEvent(QResizeEvent* event) {
  QTextBrowser::resizeEvent(event);
  FitColumn();
}

CHtmlViewDlg::CHtmlViewDlg(QWidget* parent) : CPage(parent), viewer_(new CHtmlViewer(images_, this)) {
  body().addWidget(viewer_, 1);
  connect(viewer_, &QTextBrowser::anchorClicked, this,
          [this](const QUrl& url) { OnLinkClicked(url.toString(QUrl::FullyEncoded)); });
}

void CHtmlViewDlg::RegisterImage(const QString& name, const QImage& image) { images_.insert(name, image); }

void CHtmlViewDlg::ShowHtml(std::u16string_view html) {
  viewer_->clear();
  viewer_->setHtml(ToQString(html));
  viewer_->FitColumn();
}

void CHtmlViewDlg::OnLinkClicked(const QString& url) {
  Dialogs().Inform(this, Tr(u"Link is clicked"), url, QMessageBox::Information);
}

}  // namespace wrenly::ui
