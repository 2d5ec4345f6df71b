#include "ui/article/html_view_dlg.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetrics>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextObjectInterface>
#include <algorithm>

#include "ui/frame/dialogs.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {
namespace {

QVariant TableImage(const QHash<QString, QImage>& images, int type, const QUrl& name) {
  if (type != QTextDocument::ImageResource) return {};
  const auto it = images.constFind(name.toString());
  return it != images.constEnd() ? QVariant(*it) : QVariant();
}

// The viewer's document. A plain QTextDocument reads any local file (and
// decodes any data: address) the page names when the viewer itself has no
// answer; this one answers from the picture table only.
class CTableDocument : public QTextDocument {
 public:
  CTableDocument(const QHash<QString, QImage>& images, QObject* parent) : QTextDocument(parent), images_(images) {}

 protected:
  QVariant loadResource(int type, const QUrl& name) override { return TableImage(images_, type, name); }

 private:
  const QHash<QString, QImage>& images_;
};

}  // namespace

// Draws the pictures of <img> tags from the picture table only. Qt's own
// handler, which it asks for the rest, reads the file a name gives when the
// document has no picture of that name; a name the table lacks gets no room
// and draws nothing.
class CTableImageHandler : public QObject, public QTextObjectInterface {
  Q_OBJECT
  Q_INTERFACES(QTextObjectInterface)

 public:
  CTableImageHandler(const QHash<QString, QImage>& images, QAbstractTextDocumentLayout* layout)
      : QObject(layout), images_(images), qtHandler_(layout->handlerForObject(QTextFormat::ImageObject)) {
    layout->registerHandler(QTextFormat::ImageObject, this);
  }

  QSizeF intrinsicSize(QTextDocument* doc, int pos, const QTextFormat& format) override {
    return Known(format) ? qtHandler_->intrinsicSize(doc, pos, format) : QSizeF();
  }
  void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* doc, int pos,
                  const QTextFormat& format) override {
    if (Known(format)) qtHandler_->drawObject(painter, rect, doc, pos, format);
  }

 private:
  bool Known(const QTextFormat& format) const {
    const auto it = images_.constFind(format.toImageFormat().name());
    return qtHandler_ != nullptr && it != images_.constEnd() && !it->isNull();
  }

  const QHash<QString, QImage>& images_;
  QTextObjectInterface* const qtHandler_;
};

CHtmlViewer::CHtmlViewer(const QHash<QString, QImage>& images, QWidget* parent)
    : QTextBrowser(parent), images_(images) {
  setObjectName("htmlViewer");
  setDocument(new CTableDocument(images_, this));
  new CTableImageHandler(images_, document()->documentLayout());
  setOpenLinks(false);
  setOpenExternalLinks(false);
  setFrameShape(QFrame::NoFrame);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
}

QVariant CHtmlViewer::loadResource(int type, const QUrl& name) { return TableImage(images_, type, name); }

int CHtmlViewer::MaxColumnWidth() const {
  constexpr int kCharactersPerLine = 80;
  return QFontMetrics(document()->defaultFont()).averageCharWidth() * kCharactersPerLine;
}

void CHtmlViewer::FitColumn() {
  constexpr int kEdge = 4;  // the document's own margin on a narrow screen
  const int room = std::max(0, viewport()->width() - MaxColumnWidth());
  const int left = std::max(kEdge, centred_ ? room / 2 : 0);
  const int right = std::max(kEdge, centred_ ? room / 2 : room);
  QTextFrameFormat format = document()->rootFrame()->frameFormat();
  if (format.leftMargin() == left && format.rightMargin() == right) return;
  format.setLeftMargin(left);
  format.setRightMargin(right);
  document()->rootFrame()->setFrameFormat(format);
}

void CHtmlViewer::SetColumnCentred(bool centred) {
  centred_ = centred;
  FitColumn();
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

// The viewer, its document and its picture handler read the picture table,
// so they go first: closing a shown page lays its text out once more while
// QWidget's destructor runs, after the members are gone.
CHtmlViewDlg::~CHtmlViewDlg() { delete viewer_; }

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

#include "html_view_dlg.moc"
