#include "store/index_sequence.h"

#include <algorithm>

#include "store/item_record.h"

namespace wrenly {

void SequenceTable::Note(uint32_t stamp, uint32_t sequence) {
  uint32_t& highest = highest_[stamp];
  highest = std::max(highest, sequence);
}

uint32_t SequenceTable::Next(uint32_t stamp) { return ++highest_[stamp]; }

SequenceTable ReadSequenceTable(const std::string& indexPath) {
  SequenceTable table;
  RecordReader reader(indexPath);
  ItemRecord record;
  while (reader.Next(record, RecordReader::kNoTexts)) table.Note(record.flag, record.type);
  return table;
}

}  // namespace wrenly
