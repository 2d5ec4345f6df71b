#include "engine/feed_validators.h"

#include <cstdio>
#include <fstream>
#include <string_view>

namespace wrenly {
namespace {

constexpr std::string_view kEtag = "ETag: ";
constexpr std::string_view kLastModified = "Last-Modified: ";

bool Printable(std::string_view value) {
  for (char c : value)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  return true;
}

}  // namespace

HttpValidators ReadFeedValidators(const std::string& path) {
  HttpValidators validators;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    const std::string_view text = line;
    if (text.starts_with(kEtag) && Printable(text.substr(kEtag.size())))
      validators.etag = text.substr(kEtag.size());
    else if (text.starts_with(kLastModified) && Printable(text.substr(kLastModified.size())))
      validators.lastModified = text.substr(kLastModified.size());
  }
  return validators;
}

bool WriteFeedValidators(const std::string& path, const HttpValidators& validators) {
  if (validators.etag.empty() && validators.lastModified.empty()) {
    std::remove(path.c_str());
    return true;
  }
  std::string text;
  if (!validators.etag.empty()) text += std::string(kEtag) + validators.etag + "\n";
  if (!validators.lastModified.empty()) text += std::string(kLastModified) + validators.lastModified + "\n";
  // A temporary file renamed over the old one, without waiting for the disk:
  // losing the file in a crash costs one unconditional download, no data.
  const std::string temp = path + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) {
      std::remove(temp.c_str());
      return false;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) == 0) return true;
  std::remove(temp.c_str());
  return false;
}

}  // namespace wrenly
