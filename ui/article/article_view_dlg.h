// The article view: one headline's article as a page, with the channel's
// logo or name, the title with its read mark, the body with its stored
// pictures, a "Read More Online" link and the date. Steps to the previous or
// next headline (Left and Right keys, greyed menu items at the ends),
// deletes the headline (the list does it once the view has closed), sets the
// application-wide font size (0 to 4, "HtmlFontSize"; Ctrl+plus and
// Ctrl+minus) and opens links in the desktop's browser. The headline list
// hands it each article with its stored files named; it reads no other file
// of the reader's data. GUI thread only.
#pragma once

#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <map>

#include "ui/article/article_info.h"
#include "ui/article/html_view_dlg.h"

namespace wrenly::ui {

class CArticleViewDlg : public CHtmlViewDlg {
  Q_OBJECT

 public:
  // The source is a QObject (the headline list); once it is gone the view
  // no longer steps.
  CArticleViewDlg(IArticleSource& source, ArticleInfo article, QWidget* parent = nullptr);

  const ArticleInfo& article() const { return article_; }
  // The user deleted the article here; the headline list deletes it.
  bool deleteRequested() const { return deleteRequested_; }
  // The page last shown (empty until the first composition).
  const std::u16string& page() const { return page_; }
  // Steps by -1 or +1 when a headline lies there.
  void Move(int direction);

  bool OnCommand(int command) override;
  std::vector<MenuEntry> MenuEntries() const override;
  void PrepareAction(QAction& action, int command) override;
  void Retranslate() override;
  int DeleteCommand() const override;
  int PaneSlot() const override { return 2; }
  void OnLinkClicked(const QString& url) override;

 signals:
  // Space was pressed with the article scrolled to its end.
  void spacePastEnd();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Compose();
  void RegisterFixedImages();
  bool LoadStoredPicture(const std::u16string& address, int slot);
  void DecodeStoredPictures();
  int PictureRoom();
  void SetFontSize(int level);
  void ApplyFontSize();
  void ShowLoading(bool loading);

  // The source while it exists, else null.
  IArticleSource* Source() const { return sourceObject_ != nullptr ? &source_ : nullptr; }

  IArticleSource& source_;
  QPointer<QObject> sourceObject_;
  ArticleInfo article_;
  QLabel* loading_;
  QTimer composeTimer_;
  bool hasLogo_ = false;
  bool imagesRegistered_ = false;
  bool deleteRequested_ = false;
  std::u16string page_;
  std::map<std::u16string, QImage> decoded_;  // during a composition
};

// The application-wide font size level of article pages (0 to 4).
int HtmlFontSize();

}  // namespace wrenly::ui
