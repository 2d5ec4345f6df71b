// Decoding an article's stored pictures, several at once: decoding is most
// of what showing an article with pictures costs. Safe on any thread.
#pragma once

#include <QImage>
#include <string>
#include <vector>

namespace wrenly::ui {

// The picture in file, at most `room` pixels wide: a wider one is decoded
// at the smaller size directly, which costs less than decoding it whole and
// scaling it afterwards. Null when the file is missing or holds no picture.
QImage ReadStoredPicture(const std::string& file, int room);

// ReadStoredPicture of each file, in order, on up to as many threads as
// there are cores.
std::vector<QImage> ReadStoredPictures(const std::vector<std::string>& files, int room);

}  // namespace wrenly::ui
