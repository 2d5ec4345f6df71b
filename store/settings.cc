// The parsed file is cached together with the file's identity (device, inode,
// size, modification time), so a read costs one stat() unless the file was
// replaced, by this process or another. A write takes an exclusive flock on
// the file's folder (the file itself is replaced, so its own lock would not
// outlive the first write) and reads the file afresh under it.
#include "store/settings.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/text.h"
#include "platform/trace.h"
#include "platform/atomic_file.h"
#include "store/folder_lock.h"
#include "store/ini_document.h"
#include "store/system_language.h"

namespace wrenly {
namespace {

constexpr std::string_view kGroup = "Settings";
constexpr const char* kSupportWebsiteDefault = "https://support.dalwick.example/wrenly";

struct NumberDefault {
  std::string_view name;
  int value;
};

constexpr NumberDefault kNumberDefaults[] = {
    {setting::kArticlesNumber, 50},   {setting::kArticlesNumberSet, 1},
    {setting::kDownloadImage, 0},     {setting::kDownloadFulltext, 1},
    {setting::kAutoUpdateMode, 0},    {setting::kAutoUpdateTimeNum, 19},
    {setting::kAutoUpdateTimeUnit, 0}, {setting::kUseNetAgency, 0},
    {setting::kUseStorageCard, 0},    {setting::kStorageCardNo, 0},
    {setting::kHtmlFontSize, 2},
    {setting::kNewHeadlinesNotice, 1},
};

int NumberDefaultFor(std::string_view name) {
  for (const auto& d : kNumberDefaults)
    if (AsciiLower(d.name) == AsciiLower(name)) return d.value;
  return 0;
}

std::u16string TextDefaultFor(std::string_view name) {
  const std::string lower = AsciiLower(name);
  if (lower == AsciiLower(setting::kLanguage)) return Utf8ToUtf16(SystemLanguageAbbreviation());
  if (lower == AsciiLower(setting::kSupportWebsite)) return Utf8ToUtf16(kSupportWebsiteDefault);
  return {};
}

struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = -1;
  timespec mtime{};
  bool operator==(const FileIdentity& o) const {
    return device == o.device && inode == o.inode && size == o.size &&
           mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
  }
};

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class SettingsFile {
 public:
  std::optional<std::string> Get(std::string_view name) {
    std::lock_guard lock(mutex_);
    return CurrentLocked().Get(kGroup, name);
  }

  bool Set(std::string_view name, std::string_view value, std::string* errorOut) {
    std::lock_guard lock(mutex_);
    const std::string path = SettingsFilePath();
    const std::string folder = std::filesystem::path(path).parent_path().string();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    // Read-modify-write under the folder's lock: what another process wrote
    // a moment ago is read, not a cached copy, and kept.
    const FolderLock folderLock(folder);
    cachedPath_.clear();
    IniDocument doc = CurrentLocked();
    doc.Set(kGroup, name, value);
    std::string error;
    if (!WriteFileAtomically(path, doc.Serialize(), &error)) {
      TraceF("Settings: cannot write %s: %s\n", path.c_str(), error.c_str());
      if (errorOut != nullptr) *errorOut = error;
      return false;
    }
    return true;
  }

 private:
  const IniDocument& CurrentLocked() {
    const std::string path = SettingsFilePath();
    const std::optional<FileIdentity> identity = IdentityOf(path);
    if (path != cachedPath_ || identity != cachedIdentity_) {
      cached_ = IniDocument::Parse(identity ? ReadWholeFile(path) : std::string());
      cachedPath_ = path;
      cachedIdentity_ = identity;
    }
    return cached_;
  }

  std::mutex mutex_;
  std::string cachedPath_;
  std::optional<FileIdentity> cachedIdentity_;
  IniDocument cached_;
};

SettingsFile& File() {
  static SettingsFile file;
  return file;
}

std::optional<int> ParseNumber(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string SettingsFilePath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config != nullptr && *config == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home != nullptr ? home : "") + "/.config";
  }
  return base + "/Dalwick Software Lab/Wrenly Mobile.conf";
}

int GetSettingInt(std::string_view name) {
  const std::optional<std::string> stored = File().Get(name);
  if (stored) {
    if (const std::optional<int> number = ParseNumber(*stored)) return *number;
  }
  return NumberDefaultFor(name);
}

std::u16string GetSettingString(std::string_view name) {
  const std::optional<std::string> stored = File().Get(name);
  return stored ? Utf8ToUtf16(*stored) : TextDefaultFor(name);
}

std::optional<std::u16string> ReadStoredSetting(std::string_view name) {
  const std::optional<std::string> stored = File().Get(name);
  if (!stored) return std::nullopt;
  return Utf8ToUtf16(*stored);
}

bool SetSettingInt(std::string_view name, int value, std::string* error) {
  return File().Set(name, std::to_string(value), error);
}

bool SetSettingString(std::string_view name, std::u16string_view value, std::string* error) {
  return File().Set(name, Utf16ToUtf8(value), error);
}

int GetArticleLimit() {
  return std::min(GetSettingInt(setting::kArticlesNumber), kMaxArticlesNumber);
}

}  // namespace wrenly
