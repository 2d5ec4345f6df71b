// The binary record of the item file (Ch%03d.bin) and the URL index
// (Ch%03d.iid): u32 little-endian words and UTF-16LE texts with their NUL,
// records back to back with no header. Encoding, and a reader that walks a
// file record by record, field by field. A reader is used by one thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wrenly {

// Values of the type word.
constexpr uint32_t kItemTypeOrdinary = 0;
constexpr uint32_t kItemTypeError = 0x00010000;
constexpr uint32_t kItemTypeDeleted = 0x80000000;

// Read flag values: bit 1 read, bit 0 full text fetched.
constexpr uint32_t kFlagUnread = 0;
constexpr uint32_t kFlagUnreadFullText = 1;
constexpr uint32_t kFlagRead = 2;
constexpr uint32_t kFlagReadFullText = 3;

// The link of the error record that stands for a failed download.
inline constexpr char16_t kErrorMarkerLink[] = u"http://127.0.0.1/lasterror";

// In the item file: title, link (the key), date, flag, type, description.
// In the URL index: the key in `link`, the stamp in `flag`, the sequence in
// `type`, the other texts empty.
struct ItemRecord {
  std::u16string title;
  std::u16string link;
  std::u16string date;
  uint32_t flag = 0;
  uint32_t type = 0;
  std::u16string description;
};

inline bool IsLive(const ItemRecord& record) { return record.type != kItemTypeDeleted; }

// The bytes of one record: length, size1, text1, size2, text2, size3, text3,
// flag, type, size4, text4.
std::string EncodeItemRecord(const ItemRecord& record);

// Walks a record file from its start. Texts not asked for are skipped
// unread. A record cut short at the end of the file ends the walk.
class RecordReader {
 public:
  enum Texts : unsigned {
    kNoTexts = 0,
    kTitle = 1,
    kLink = 2,
    kDate = 4,
    kDescription = 8,
    kAllTexts = 15,
  };

  explicit RecordReader(const std::string& path);
  // Walks a file the caller holds open (and closes); reads go by offset, so
  // the descriptor's own position is left alone.
  enum Borrowed { kBorrowed };
  RecordReader(int fd, Borrowed);
  ~RecordReader();
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  bool is_open() const { return fd_ >= 0; }

  // Reads the next whole record into `record` (texts outside `texts` come
  // back empty). False at the end of the file, at a record cut short, or when
  // the file is not open.
  bool Next(ItemRecord& record, unsigned texts);

  // Goes back (or forward) to a record's start, e.g. a wholeEnd() noted
  // before an earlier Next(), to read that record again with other texts.
  void SeekTo(uint64_t offset);

  // File offset just after the last whole record read.
  uint64_t wholeEnd() const { return wholeEnd_; }
  // File offsets of the flag and type words of the last whole record.
  uint64_t flagOffset() const { return flagOffset_; }
  uint64_t typeOffset() const { return flagOffset_ + 4; }
  // The file's size when it was opened.
  uint64_t fileSize() const { return size_; }

 private:
  bool Fill();
  bool ReadBytes(char* out, size_t count);
  bool Skip(uint64_t count);
  bool ReadWord(uint32_t& value);
  bool ReadText(std::u16string* text);
  uint64_t Tell() const { return bufferStart_ + pos_; }

  void TakeSize();

  int fd_ = -1;
  bool owned_ = true;
  uint64_t size_ = 0;
  std::vector<char> buffer_;
  uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
  size_t pos_ = 0;            // read position within buffer_
  size_t filled_ = 0;         // valid bytes in buffer_
  uint64_t wholeEnd_ = 0;
  uint64_t flagOffset_ = 0;
};

}  // namespace wrenly
