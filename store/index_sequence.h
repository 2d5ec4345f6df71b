// Sequence numbers of new URL-index records. A record's stamp (the second it
// was added) and sequence name the full-text and picture files of its
// address, so no two records of one index may share both. A new record takes
// one more than the highest sequence the index file already holds for its
// stamp, so the numbers come from the file, not from a process's memory:
// appended under the data root's lock, two processes adding to one index in
// the same second still give distinct names. Not synchronized.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

namespace wrenly {

class SequenceTable {
 public:
  // Takes note of a record on file, live or deleted.
  void Note(uint32_t stamp, uint32_t sequence);
  // The sequence for a new record of this stamp, noted as used.
  uint32_t Next(uint32_t stamp);

 private:
  std::unordered_map<uint32_t, uint32_t> highest_;
};

// The table of every record in the file (empty when it cannot be read).
SequenceTable ReadSequenceTable(const std::string& indexPath);

}  // namespace wrenly
