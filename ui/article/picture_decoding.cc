#include "ui/article/picture_decoding.h"

#include <QImageReader>
#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

namespace wrenly::ui {

QImage ReadStoredPicture(const std::string& file, int room) {
  QImageReader reader(QString::fromStdString(file));
  const QSize size = reader.size();
  if (size.isValid() && size.width() > room)
    reader.setScaledSize(QSize(room, std::max(1, static_cast<int>(qint64{size.height()} * room / size.width()))));
  QImage image = reader.read();
  if (!image.isNull() && image.width() > room) image = image.scaledToWidth(room, Qt::SmoothTransformation);
  return image;
}

std::vector<QImage> ReadStoredPictures(const std::vector<std::string>& files, int room) {
  std::vector<QImage> images(files.size());
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i; (i = next++) < files.size();) images[i] = ReadStoredPicture(files[i], room);
  };
  const std::size_t helpers = std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), files.size());
  {
    // A helper that cannot be started leaves its pictures to the others; this
    // thread always works too. The helpers are joined at the end of the block.
    std::vector<std::jthread> threads;
    try {
      for (std::size_t i = 1; i < helpers; ++i) threads.emplace_back(work);
    } catch (const std::system_error&) {
    }
    work();
  }
  return images;
}

}  // namespace wrenly::ui
