#include "fetcher/article_output.h"

#include <filesystem>
#include <mutex>

#include "platform/atomic_file.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace wrenly {
namespace {

std::mutex& OutputMutex() {
  static std::mutex mutex;
  return mutex;
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
  const bool stored = WriteFileAtomically(path, "\xEF\xBB\xBF" + std::string(utf8));
  if (!stored) TraceF("Cannot write the article to %s.\n", path.c_str());
  return stored;
}

bool WriteEmptyArticle(const std::string& outputPath) {
  std::lock_guard lock(OutputMutex());
  DeleteFileIfPresent(outputPath);
  return WriteFileAtomically(ArticlePathFor(outputPath), "");
}

void BlockArticleOutput() { OutputMutex().lock(); }

}  // namespace wrenly
