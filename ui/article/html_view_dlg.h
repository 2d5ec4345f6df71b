// A page that shows HTML in a QTextBrowser. Pictures come only from the
// page's own table of named images: the viewer never reads the network nor
// a file the HTML names (neither as a resource nor as a picture to draw),
// and it runs no scripts. A tapped link goes to
// OnLinkClicked instead of being followed. GUI thread only.
#pragma once

#include <QHash>
#include <QImage>
#include <QTextBrowser>
#include <string>

#include "ui/frame/page.h"

namespace wrenly::ui {

// The viewer control: answers image requests from its owner's table. On a
// wide window the text keeps to a column, centred unless told otherwise, so
// that its lines stay short enough to read.
class CHtmlViewer : public QTextBrowser {
  Q_OBJECT

 public:
  explicit CHtmlViewer(const QHash<QString, QImage>& images, QWidget* parent = nullptr);
  QVariant loadResource(int type, const QUrl& name) override;

  // The widest the text column gets, in pixels, for the current font.
  int MaxColumnWidth() const;
  // Places the column in the viewer (centred, or at the left edge); after
  // new content or a new font.
  void FitColumn();
  void SetColumnCentred(bool centred);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  const QHash<QString, QImage>& images_;
  bool centred_ = true;
};

class CHtmlViewDlg : public CPage {
  Q_OBJECT

 public:
  explicit CHtmlViewDlg(QWidget* parent = nullptr);
  ~CHtmlViewDlg() override;

  // Enters or replaces a picture the page can name in an <img src>.
  void RegisterImage(const QString& name, const QImage& image);
  bool HasImage(const QString& name) const { return images_.contains(name); }
  // Replaces the viewer's content with this page.
  void ShowHtml(std::u16string_view html);
  CHtmlViewer& viewer() { return *viewer_; }

  // A link in the page was tapped; this base only says so.
  virtual void OnLinkClicked(const QString& url);

 private:
  QHash<QString, QImage> images_;
  CHtmlViewer* viewer_;
};

}  // namespace wrenly::ui
