#include "store/item_record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace wrenly {
namespace {

constexpr size_t kBufferSize = 64 * 1024;

void PutWord(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(value >> shift));
}

uint32_t TextSize(const std::u16string& text) {
  return static_cast<uint32_t>(2 * (text.size() + 1));
}

// The units go out little-endian into space made once, not byte by byte.
void PutText(std::string& out, const std::u16string& text) {
  PutWord(out, TextSize(text));
  const size_t at = out.size();
  out.resize(at + 2 * (text.size() + 1));
  char* bytes = out.data() + at;
  for (char16_t c : text) {
    *bytes++ = static_cast<char>(c & 0xFF);
    *bytes++ = static_cast<char>(c >> 8);
  }
  bytes[0] = bytes[1] = '\0';
}

}  // namespace

std::string EncodeItemRecord(const ItemRecord& r) {
  const uint32_t length =
      24 + TextSize(r.title) + TextSize(r.link) + TextSize(r.date) + TextSize(r.description);
  std::string out;
  out.reserve(4 + length);
  PutWord(out, length);
  PutText(out, r.title);
  PutText(out, r.link);
  PutText(out, r.date);
  PutWord(out, r.flag);
  PutWord(out, r.type);
  PutText(out, r.description);
  return out;
}

RecordReader::RecordReader(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  TakeSize();
}

RecordReader::RecordReader(int fd, Borrowed) : fd_(fd), owned_(false) { TakeSize(); }

void RecordReader::TakeSize() {
  struct stat info {};
  if (fd_ >= 0 && fstat(fd_, &info) == 0 && S_ISREG(info.st_mode)) {
    size_ = static_cast<uint64_t>(info.st_size);
    buffer_.resize(kBufferSize);
  } else {
    if (fd_ >= 0 && owned_) ::close(fd_);
    fd_ = -1;
  }
}

RecordReader::~RecordReader() {
  if (fd_ >= 0 && owned_) ::close(fd_);
}

bool RecordReader::Fill() {
  bufferStart_ += filled_;
  pos_ = 0;
  filled_ = 0;
  const ssize_t got = ::pread(fd_, buffer_.data(), buffer_.size(), static_cast<off_t>(bufferStart_));
  if (got <= 0) return false;
  filled_ = static_cast<size_t>(got);
  return true;
}

bool RecordReader::ReadBytes(char* out, size_t count) {
  while (count > 0) {
    if (pos_ == filled_ && !Fill()) return false;
    const size_t n = std::min(count, filled_ - pos_);
    std::memcpy(out, buffer_.data() + pos_, n);
    pos_ += n;
    out += n;
    count -= n;
  }
  return true;
}

bool RecordReader::Skip(uint64_t count) {
  if (count > size_ - std::min(size_, Tell())) return false;
  if (count <= filled_ - pos_) {
    pos_ += static_cast<size_t>(count);
    return true;
  }
  bufferStart_ = Tell() + count;
  pos_ = 0;
  filled_ = 0;
  return true;
}

void RecordReader::SeekTo(uint64_t offset) {
  if (offset >= bufferStart_ && offset <= bufferStart_ + filled_) {
    pos_ = static_cast<size_t>(offset - bufferStart_);
    return;
  }
  bufferStart_ = offset;
  pos_ = 0;
  filled_ = 0;
}

bool RecordReader::ReadWord(uint32_t& value) {
  unsigned char bytes[4];
  if (!ReadBytes(reinterpret_cast<char*>(bytes), 4)) return false;
  value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
  return true;
}

// A size larger than what is left of the file is a record cut short; it is
// refused before anything is allocated for it. The text ends at its first NUL.
bool RecordReader::ReadText(std::u16string* text) {
  uint32_t size = 0;
  if (!ReadWord(size)) return false;
  if (text == nullptr) return Skip(size);
  if (size > size_ - std::min(size_, Tell())) return false;
  std::string bytes(size, '\0');
  if (!ReadBytes(bytes.data(), size)) return false;
  text->clear();
  text->reserve(size / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            (static_cast<unsigned char>(bytes[i + 1]) << 8));
    if (unit == 0) break;
    text->push_back(unit);
  }
  return true;
}

bool RecordReader::Next(ItemRecord& record, unsigned texts) {
  if (fd_ < 0) return false;
  record = ItemRecord{};
  uint32_t length = 0;
  const bool whole = ReadWord(length) && ReadText(texts & kTitle ? &record.title : nullptr) &&
                     ReadText(texts & kLink ? &record.link : nullptr) &&
                     ReadText(texts & kDate ? &record.date : nullptr);
  const uint64_t flagAt = Tell();
  if (!whole || !ReadWord(record.flag) || !ReadWord(record.type) ||
      !ReadText(texts & kDescription ? &record.description : nullptr)) {
    record = ItemRecord{};
    return false;
  }
  flagOffset_ = flagAt;
  wholeEnd_ = Tell();
  return true;
}

}  // namespace wrenly
