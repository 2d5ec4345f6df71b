#include "ui/frame/pictures.h"

#include <QHash>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>
#include <QWidget>

// The pictures live in a static library, so their resource is registered by hand.
static void RegisterPictures() { Q_INIT_RESOURCE(pictures); }

namespace wrenly::ui {
namespace {

const char* const kListFiles[kListImageCount] = {
    "list-00-folder",      "list-01-feed",       "list-02-waiting",         "list-03-square",
    "list-04-unread",      "list-05-read",       "list-06-error",           "list-07-warning",
    "list-08-downloading", "list-09-failed",     "list-10-unread-fulltext", "list-11-read-fulltext",
    "list-12-queued"};

QPixmap Render(const QString& name, int size, qreal pixelRatio) {
  [[maybe_unused]] static const bool registered = (RegisterPictures(), true);
  static QHash<QString, QPixmap> cache;
  const QString key = QStringLiteral("%1@%2x%3").arg(name).arg(size).arg(pixelRatio);
  if (const auto it = cache.constFind(key); it != cache.constEnd()) return *it;
  QPixmap pixmap(QSize(size, size) * pixelRatio);
  pixmap.fill(Qt::transparent);
  QSvgRenderer renderer(QStringLiteral(":/pictures/%1.svg").arg(name));
  QPainter painter(&pixmap);
  renderer.render(&painter);
  painter.end();
  pixmap.setDevicePixelRatio(pixelRatio);
  cache.insert(key, pixmap);
  return pixmap;
}

QIcon IconFrom(const QString& name) {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(Render(name, size, 1.0));
  return icon;
}

}  // namespace

double Density(const QWidget* widget) {
  const QScreen* screen = widget != nullptr ? widget->screen() : nullptr;
  const double dpi = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
  return dpi > 0 ? dpi / 96.0 : 1.0;
}

int ListImageSize(const QWidget* widget) { return Density(widget) > 1.2 ? 32 : 16; }

QPixmap ListImagePixmap(int index, int size, qreal pixelRatio) {
  if (index < 0 || index >= kListImageCount) index = kImageFeed;
  return Render(QString::fromLatin1(kListFiles[index]), size, pixelRatio);
}

QIcon CategoryIconFor(CategoryIcon icon) {
  switch (icon) {
    case CategoryIcon::kAll: return IconFrom("category-all");
    case CategoryIcon::kChosen: return IconFrom("category-chosen");
    case CategoryIcon::kAddDelete: return IconFrom("category-add-delete");
    case CategoryIcon::kCategory: break;
  }
  return IconFrom("category");
}

QIcon ProgramIcon() { return IconFrom("wrenly"); }

QImage ArticleMarkImage(ArticleMark mark, qreal pixelRatio) {
  switch (mark) {
    case ArticleMark::kRead: return Render("article-read", 16, pixelRatio).toImage();
    case ArticleMark::kUnread: return Render("article-unread", 16, pixelRatio).toImage();
    case ArticleMark::kError: return Render("article-error", 16, pixelRatio).toImage();
    case ArticleMark::kFiller: break;
  }
  return Render("article-filler", 1, 1.0).toImage();
}

}  // namespace wrenly::ui
