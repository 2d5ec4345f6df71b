// Where the programs keep their data, and the small file helpers every part
// of the store uses. The data root is computed afresh on every call, so a
// change of the storage settings takes effect at once. Safe for concurrent use.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wrenly {

// "$XDG_DATA_HOME/Wrenly Mobile" (default "~/.local/share/Wrenly Mobile"),
// created when missing; or, with "UseStorageCard" set and a non-empty
// "StorageCardName" (the card's mount point), "<card>/Program Files/Wrenly
// Mobile", creating it and its "ChannelData" folder. A card that is gone still
// gives its path; file operations there then fail. No trailing "/".
std::string GetDataRoot();

// GetDataRoot() + "/ChannelData" (not created here; see CreateFolder).
std::string ChannelDataFolder();
// ChannelDataFolder() + "/" + name, for names such as "Channels.opml".
std::string ChannelDataPath(std::string_view name);

// Creates one folder level; true when it exists afterwards.
bool CreateFolder(const std::string& path);
// True when an entry of that name exists and is not a folder.
bool FileExists(const std::string& path);

struct FoundFile {
  std::string name;  // the entry's name within its folder
  bool isFolder = false;
};
// The entries matching pattern: a folder followed by "/" and a wildcard
// ("*" and "?"; "*.*" matches every name, as on the device), or a folder
// alone, which means every entry. Sorted by name; "." and ".." never appear;
// empty when the folder cannot be read.
std::vector<FoundFile> FindFiles(const std::string& pattern);

struct MoveResult {
  int moved = 0;
  int failed = 0;  // entries that stayed in the source folder
};
// Moves every entry of source into target (created when missing) under the
// same name. An entry whose name already exists in target is not moved
// (nothing is overwritten). Across file systems an entry is copied, checked,
// and only then removed from the source; when that fails the entry stays
// where it was and the partial copy is removed.
MoveResult MoveFolderFiles(const std::string& source, const std::string& target);

// The same with the rename step replaced (for tests that need rename to fail
// as it does across file systems, or the copy to fail): rename returns 0 or
// an errno value; copy returns true when target holds a complete copy.
struct FileMoveOps {
  std::function<int(const std::string& from, const std::string& to)> rename;
  std::function<bool(const std::string& from, const std::string& to)> copy;
};
FileMoveOps SystemFileMoveOps();
MoveResult MoveFolderFiles(const std::string& source, const std::string& target,
                           const FileMoveOps& ops);

}  // namespace wrenly
