// Moving the whole data root (the catalog, every channel's files, the
// downloaded templates and sample list) to another folder, as the storage
// option does when the person picks another card. All or nothing: a move
// that cannot finish puts back what it moved. Holds the old root's lock for
// the whole move, so no other process changes the data meanwhile.
#pragma once

#include <string>
#include <vector>

namespace wrenly::reader {

// Moves everything `from` holds into `to` (made when missing); lock files
// stay. Returns the paths, relative to `from`, that could not be moved; the
// moved files are then back where they were.
std::vector<std::string> MoveDataRoot(const std::string& from, const std::string& to);

}  // namespace wrenly::reader
