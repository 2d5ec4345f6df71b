#include "store/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/text.h"
#include "platform/trace.h"
#include "store/settings.h"

namespace wrenly {
namespace {

namespace fs = std::filesystem;

std::string StripTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string XdgDataHome() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && *data == '/') return StripTrailingSlashes(data);
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.local/share";
}

std::string CardDataRoot(const std::string& card) {
  // A bare name is a folder under the file-system root, as card names were.
  std::string mount = StripTrailingSlashes(card.front() == '/' ? card : "/" + card);
  if (mount == "/") mount.clear();
  const std::string programFiles = mount + "/Program Files";
  const std::string root = programFiles + "/Wrenly Mobile";
  CreateFolder(programFiles);
  CreateFolder(root);
  CreateFolder(root + "/ChannelData");
  return root;
}

// The directory part and the wildcard of a search pattern.
std::pair<std::string, std::string> SplitPattern(const std::string& pattern) {
  struct stat st;
  if (stat(pattern.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return {pattern, "*"};
  const size_t slash = pattern.rfind('/');
  if (slash == std::string::npos) return {".", pattern};
  std::string wildcard = pattern.substr(slash + 1);
  if (wildcard.empty() || wildcard == "*.*") wildcard = "*";
  return {slash == 0 ? "/" : pattern.substr(0, slash), wildcard};
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL) return errno;
  // A file system without RENAME_NOREPLACE: check, then rename.
  struct stat st;
  if (lstat(to.c_str(), &st) == 0) return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

bool SizesMatch(const fs::path& a, const fs::path& b) {
  std::error_code ec1, ec2;
  const auto sizeA = fs::file_size(a, ec1);
  const auto sizeB = fs::file_size(b, ec2);
  return !ec1 && !ec2 && sizeA == sizeB;
}

// Copies a file (keeping its modification time) or a folder tree, and checks
// that every file arrived whole.
bool CopyChecked(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  if (ec) return false;
  if (!fs::is_directory(from, ec)) {
    if (!SizesMatch(from, to)) return false;
    fs::last_write_time(to, fs::last_write_time(from, ec), ec);
    return true;
  }
  for (auto it = fs::recursive_directory_iterator(from, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    if (it->is_regular_file(ec) && !SizesMatch(it->path(), fs::path(to) / fs::relative(it->path(), from)))
      return false;
  }
  return !ec;
}

bool MoveOne(const std::string& from, const std::string& to, const FileMoveOps& ops) {
  const int rc = ops.rename(from, to);
  if (rc == 0) return true;
  if (rc != EXDEV) return false;
  std::error_code ec;
  if (fs::symlink_status(to, ec).type() != fs::file_type::not_found) return false;
  if (!ops.copy(from, to)) {
    fs::remove_all(to, ec);
    return false;
  }
  fs::remove_all(from, ec);
  return !ec;
}

}  // namespace

std::string GetDataRoot() {
  const std::u16string card = GetSettingString(setting::kStorageCardName);
  if (GetSettingInt(setting::kUseStorageCard) != 0 && !card.empty())
    return CardDataRoot(Utf16ToUtf8(card));
  const std::string root = XdgDataHome() + "/Wrenly Mobile";
  std::error_code ec;
  fs::create_directories(root, ec);
  return root;
}

std::string ChannelDataFolder() { return GetDataRoot() + "/ChannelData"; }

std::string ChannelDataPath(std::string_view name) {
  return ChannelDataFolder() + "/" + std::string(name);
}

bool CreateFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0777) == 0) return true;
  return errno == EEXIST && IsFolder(path);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::vector<FoundFile> FindFiles(const std::string& pattern) {
  const auto [folder, wildcard] = SplitPattern(pattern);
  std::vector<FoundFile> found;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return found;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || fnmatch(wildcard.c_str(), name.c_str(), 0) != 0)
      continue;
    found.push_back({name, IsFolder(folder + "/" + name)});
  }
  closedir(dir);
  std::sort(found.begin(), found.end(),
            [](const FoundFile& a, const FoundFile& b) { return a.name < b.name; });
  return found;
}

FileMoveOps SystemFileMoveOps() { return {RenameNoReplace, CopyChecked}; }

MoveResult MoveFolderFiles(const std::string& source, const std::string& target) {
  return MoveFolderFiles(source, target, SystemFileMoveOps());
}

MoveResult MoveFolderFiles(const std::string& source, const std::string& target,
                           const FileMoveOps& ops) {
  MoveResult result;
  const std::vector<FoundFile> entries = FindFiles(source);
  // The new root may never have had a ChannelData folder.
  if (!entries.empty()) CreateFolder(target);
  for (const FoundFile& entry : entries) {
    if (MoveOne(source + "/" + entry.name, target + "/" + entry.name, ops)) {
      ++result.moved;
    } else {
      ++result.failed;
      TraceF("MoveFolderFiles: %s stays in %s\n", entry.name.c_str(), source.c_str());
    }
  }
  return result;
}

}  // namespace wrenly
