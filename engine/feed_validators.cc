#include "engine/feed_validators.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string_view>

#include "platform/atomic_file.h"

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

bool WriteFeedValidators(const std::string& path, const HttpValidators& validators, Flush flush) {
  if (validators.etag.empty() && validators.lastModified.empty()) return std::remove(path.c_str()) == 0 || errno == ENOENT;
  std::string text;
  if (!validators.etag.empty()) text += std::string(kEtag) + validators.etag + "\n";
  if (!validators.lastModified.empty()) text += std::string(kLastModified) + validators.lastModified + "\n";
  return WriteFileAtomically(path, text, nullptr, flush);
}

}  // namespace wrenly
