#include "reader/data_root_move.h"

#include <cstdio>
#include <filesystem>
#include <set>

#include "store/data_root_lock.h"
#include "store/paths.h"

namespace wrenly::reader {
namespace {

// Every file under a folder, by its path relative to it; lock files are
// left out: they belong to the running programs, not to the data.
std::set<std::string> Files(const std::string& folder, const std::string& prefix = {}) {
  std::set<std::string> files;
  for (const FoundFile& entry : FindFiles(folder)) {
    const std::string relative = prefix + entry.name;
    if (entry.isFolder) {
      files.merge(Files(folder + "/" + entry.name, relative + "/"));
    } else if (!prefix.empty() || !entry.name.ends_with(".lock")) {
      files.insert(relative);
    }
  }
  return files;
}

// Moves each entry of the root: whole, or entry by entry for a folder that
// the target has already (a card's root comes with its ChannelData).
void MoveRootEntries(const std::string& from, const std::string& to) {
  for (const FoundFile& entry : FindFiles(from)) {
    if (!entry.isFolder && entry.name.ends_with(".lock")) continue;
    const std::string source = from + "/" + entry.name, target = to + "/" + entry.name;
    if (entry.isFolder && std::filesystem::is_directory(target)) {
      MoveFolderFiles(source, target);
      std::error_code ec;
      std::filesystem::remove(source, ec);  // only when it was emptied
    } else {
      const FileMoveOps ops = SystemFileMoveOps();
      if (ops.rename(source, target) != 0 && ops.copy(source, target)) std::filesystem::remove_all(source);
    }
  }
}

// Moves everything the data root holds; on a partial move puts the moved
// files back and returns the paths that could not be moved.
std::vector<std::string> MoveUnlocked(const std::string& from, const std::string& to) {
  const std::set<std::string> before = Files(from);
  std::error_code made;
  std::filesystem::create_directories(to, made);
  MoveRootEntries(from, to);
  const std::set<std::string> left = Files(from);
  if (left.empty()) return {};
  const FileMoveOps ops = SystemFileMoveOps();
  for (const std::string& name : before) {
    if (left.count(name)) continue;
    const std::string there = to + "/" + name, here = from + "/" + name;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(here).parent_path(), ec);
    if (ops.rename(there, here) != 0 && ops.copy(there, here)) std::remove(there.c_str());
  }
  return {left.begin(), left.end()};
}

}  // namespace

std::vector<std::string> MoveDataRoot(const std::string& from, const std::string& to) {
  const DataRootLock lock(from, LockMode::kExclusive);
  return MoveUnlocked(from, to);
}

}  // namespace wrenly::reader
