#include "fetcher/article_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <mutex>

#include "platform/text.h"
#include "platform/trace.h"

namespace wrenly {
namespace {

std::mutex& OutputMutex() {
  static std::mutex mutex;
  return mutex;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Writes bytes to a temporary file beside path and renames it over path.
bool ReplaceFile(const std::string& path, std::string_view bytes) {
  const std::string temp = path + ".part";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (written && closed && std::rename(temp.c_str(), path.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

}  // namespace

std::string ArticlePathFor(const std::string& outputPath) {
  std::string path = outputPath;
  for (size_t at = path.find(".sft"); at != std::string::npos; at = path.find(".sft", at + 4)) {
    path.replace(at, 4, ".htm");
  }
  return path;
}

void DeleteFileIfPresent(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_regular_file(path, error)) std::filesystem::remove(path, error);
}

bool StoreArticleBody(const std::string& outputPath, std::u16string_view text) {
  return StoreArticleUtf8(outputPath, Utf16ToUtf8(text));
}

bool StoreArticleUtf8(const std::string& outputPath, std::string_view utf8) {
  std::lock_guard lock(OutputMutex());
  DeleteFileIfPresent(outputPath);
  if (utf8.empty()) return true;
  const std::string path = ArticlePathFor(outputPath);
  const bool stored = ReplaceFile(path, "\xEF\xBB\xBF" + std::string(utf8));
  if (!stored) TraceF("Cannot write the article to %s.\n", path.c_str());
  return stored;
}

void BlockArticleOutput() { OutputMutex().lock(); }

}  // namespace wrenly
