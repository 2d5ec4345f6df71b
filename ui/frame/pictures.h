// The program's own pictures: the 13 images of the channel and headline
// lists, the category icons and the program icon, drawn as SVG and built into
// the program as Qt resources. They are rendered at the size and pixel ratio
// asked for, so they stay sharp at 16 and 32 pixels and on dense screens.
// GUI thread only.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

class QWidget;

namespace wrenly::ui {

// The list images by their index.
enum ListImage {
  kImageFolder = 0,
  kImageFeed = 1,
  kImageWaiting = 2,
  kImageSquare = 3,
  kImageUnread = 4,
  kImageRead = 5,
  kImageError = 6,
  kImageWarning = 7,
  kImageDownloading = 8,
  kImageFailed = 9,
  kImageUnreadFullText = 10,
  kImageReadFullText = 11,
  kImageQueued = 12,
  kListImageCount = 13,
};

enum class CategoryIcon { kAll, kChosen, kCategory, kAddDelete };

// The article view's marks beside the title (16 pixels) and the 1x1 filler
// shown for pictures that are not stored.
enum class ArticleMark { kRead, kUnread, kError, kFiller };

// Dots per inch divided by 96 for the widget's screen.
double Density(const QWidget* widget);
// The list image edge: 16 pixels at 96 dots per inch, 32 on denser screens.
int ListImageSize(const QWidget* widget);

QPixmap ListImagePixmap(int index, int size, qreal pixelRatio);
QIcon CategoryIconFor(CategoryIcon icon);
QIcon ProgramIcon();
QImage ArticleMarkImage(ArticleMark mark, qreal pixelRatio);

}  // namespace wrenly::ui
