#include "store/json_feed.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "store/html_entities.h"
#include "store/picture_addresses.h"

namespace wrenly {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
// Keys longer than this cannot be one the reader looks for.
constexpr size_t kMaxKeyUnits = 16;
constexpr size_t kFilePieceBytes = 64 * 1024;

bool IsBlank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsScalarByte(int c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '+' || c == '-' ||
         c == '.';
}

std::string_view WithoutMark(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  return bytes;
}

enum class Token { kEnd, kBeginObject, kEndObject, kBeginArray, kEndArray, kColon, kComma, kString, kScalar, kBad };

bool Opens(Token t) { return t == Token::kBeginObject || t == Token::kBeginArray; }
bool Closes(Token t) { return t == Token::kEndObject || t == Token::kEndArray; }

// The tokens of a document read a piece at a time. Strings are decoded only
// when asked for, and then only up to a length.
class Lexer {
 public:
  explicit Lexer(const ByteSource& source) : source_(source) {}

  // The next token; a string's text goes to `text` (cut at `cap` units)
  // when it is given.
  Token Next(std::u16string* text = nullptr, size_t cap = 0) {
    int c = Get();
    while (IsBlank(c)) c = Get();
    switch (c) {
      case -1: return Token::kEnd;
      case '{': return Token::kBeginObject;
      case '}': return Token::kEndObject;
      case '[': return Token::kBeginArray;
      case ']': return Token::kEndArray;
      case ':': return Token::kColon;
      case ',': return Token::kComma;
      case '"':
        if (text != nullptr) text->clear();
        out_ = text;
        cap_ = cap;
        ReadString();
        return Token::kString;
      default:
        if (!IsScalarByte(c)) return Token::kBad;
        while (IsScalarByte(Peek())) ++at_;
        return Token::kScalar;
    }
  }

  // Skips the byte-order mark at the start; false when the document starts
  // with part of one, which no JSON text does.
  bool SkipMark() {
    if (Peek() != 0xEF) return true;
    for (const int c : {0xEF, 0xBB, 0xBF})
      if (Get() != c) return false;
    return true;
  }

 private:
  int Peek() {
    if (at_ == piece_.size()) {
      if (ended_) return -1;
      piece_ = source_();
      at_ = 0;
      if (piece_.empty()) {
        ended_ = true;
        return -1;
      }
    }
    return static_cast<unsigned char>(piece_[at_]);
  }
  int Get() {
    const int c = Peek();
    if (c >= 0) ++at_;
    return c;
  }

  void Put(char32_t c) {
    if (out_ == nullptr) return;
    if (c < 0x10000) {
      if (out_->size() < cap_) out_->push_back(static_cast<char16_t>(c));
    } else if (out_->size() + 1 < cap_) {
      c -= 0x10000;
      out_->push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out_->push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
  }

  // To the closing quote or the end of the document.
  void ReadString() {
    for (int c = Get(); c >= 0 && c != '"'; c = Get()) {
      if (c == '\\')
        Escape();
      else if (c < 0x80)
        Put(static_cast<char32_t>(c));
      else
        Utf8Sequence(c);
    }
  }

  // A character of two to four bytes after its lead byte `c`. A sequence
  // that breaks off becomes U+FFFD; the byte that broke it is read anew.
  void Utf8Sequence(int c) {
    int more = 0;
    char32_t code = 0;
    int low = 0x80, high = 0xBF;  // the range of the first continuation byte
    if (c >= 0xC2 && c <= 0xDF) {
      more = 1, code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2, code = c & 0x0F;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3, code = c & 0x07;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      Put(kReplacement);
      return;
    }
    for (int i = 0; i < more; ++i) {
      const int next = Peek();
      if (next < low || next > high) {
        Put(kReplacement);
        return;
      }
      ++at_;
      code = code << 6 | (next & 0x3F);
      low = 0x80, high = 0xBF;
    }
    Put(code);
  }

  // Four hex digits as a number; -1 when they are not there (the byte that
  // is no digit stays unread).
  int Hex4() {
    int value = 0;
    for (int i = 0; i < 4; ++i) {
      const int c = Peek();
      int digit = -1;
      if (c >= '0' && c <= '9') digit = c - '0';
      if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      if (digit < 0) return -1;
      ++at_;
      value = value * 16 + digit;
    }
    return value;
  }

  static char32_t Simple(int c) {
    switch (c) {
      case '"': case '\\': case '/': return static_cast<char32_t>(c);
      case 'b': return '\b';
      case 'f': return '\f';
      case 'n': return '\n';
      case 'r': return '\r';
      case 't': return '\t';
      default: return kReplacement;
    }
  }

  // After a backslash. A surrogate escape counts only as half of a pair.
  void Escape() {
    int c = Get();
    if (c != 'u') {
      Put(Simple(c));
      return;
    }
    for (int unit = Hex4();;) {
      if (unit < 0 || (unit >= 0xDC00 && unit <= 0xDFFF)) {
        Put(kReplacement);
        return;
      }
      if (unit < 0xD800 || unit > 0xDFFF) {
        Put(static_cast<char32_t>(unit));
        return;
      }
      // A high surrogate wants "\u" and a low one.
      if (Peek() != '\\') {
        Put(kReplacement);
        return;
      }
      ++at_;
      c = Get();
      if (c != 'u') {
        Put(kReplacement);
        Put(Simple(c));
        return;
      }
      const int second = Hex4();
      if (second >= 0xDC00 && second <= 0xDFFF) {
        Put(0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (static_cast<char32_t>(second) - 0xDC00));
        return;
      }
      Put(kReplacement);
      unit = second;
    }
  }

  const ByteSource& source_;
  std::string_view piece_;
  size_t at_ = 0;
  bool ended_ = false;
  std::u16string* out_ = nullptr;
  size_t cap_ = 0;
};

bool IsJsonFeedVersion(std::u16string_view v) {
  for (std::u16string_view prefix : {u"https://jsonfeed.org/version/", u"http://jsonfeed.org/version/", u""}) {
    if (!v.starts_with(prefix)) continue;
    const std::u16string_view number = v.substr(prefix.size());
    if (number == u"1" || number == u"1.1" || (prefix.empty() && number == u"1.0")) return true;
  }
  return false;
}

bool ShowsPicture(std::u16string_view html, std::u16string_view address) {
  for (const std::u16string& shown : PictureAddresses(html))
    if (shown == address) return true;
  return false;
}

// The members of an item the reader keeps; a member written again replaces
// the earlier value, and a value that is no text (or an empty one) counts
// as missing.
struct ItemMembers {
  static constexpr const char16_t* kNames[] = {u"title",          u"url",           u"external_url",
                                               u"id",             u"date_published", u"date_modified",
                                               u"content_html",   u"content_text",  u"summary",
                                               u"image"};
  enum { kTitle, kUrl, kExternalUrl, kId, kPublished, kModified, kHtml, kText, kSummary, kImage, kCount };
  std::optional<std::u16string> values[kCount];

  static int Find(std::u16string_view key) {
    for (int i = 0; i < kCount; ++i)
      if (key == kNames[i]) return i;
    return -1;
  }
  static size_t Cap(int member) {
    return member == kHtml || member == kText || member == kSummary ? kMaxJsonBodyUnits : kMaxJsonTextUnits;
  }
  std::u16string FirstOf(std::initializer_list<int> members) const {
    for (int m : members)
      if (values[m]) return *values[m];
    return {};
  }

  FeedItem ToItem() const {
    FeedItem out;
    out.title = FirstOf({kTitle});
    out.link = FirstOf({kUrl, kExternalUrl, kId});
    out.date = FirstOf({kPublished, kModified});
    if (values[kHtml])
      out.description = *values[kHtml];
    else if (values[kText])
      out.description = EscapeHtmlText(*values[kText]);
    else
      out.description = FirstOf({kSummary});
    // The item's picture goes in front of the body, so it is downloaded,
    // shown and deleted with the item like any picture the body names. A
    // quote in the address would end the attribute early; it is written as %22.
    if (const auto& image = values[kImage]; image && !ShowsPicture(out.description, *image)) {
      std::u16string address;
      for (char16_t c : *image) address += c == u'"' ? std::u16string(u"%22") : std::u16string(1, c);
      out.description = u"<p><img src=\"" + address + u"\"></p>" + out.description;
    }
    return out;
  }
};

// One reading of a document, without recursion: nested values are skipped
// by counting brackets.
class FeedReader {
 public:
  FeedReader(const ByteSource& source, const JsonItemVisitor& visit) : lexer_(source), visit_(visit) {}

  std::optional<JsonFeedChannel> Read() {
    if (lexer_.SkipMark() && lexer_.Next() == Token::kBeginObject) ReadTopLevel();
    if (!versionOk_ || !itemsFound_) return std::nullopt;
    return channel_;
  }

 private:
  // Skips the rest of a value `depth` brackets deep.
  void SkipNested(int depth) {
    while (depth > 0) {
      const Token t = lexer_.Next();
      if (t == Token::kEnd) return;
      if (Opens(t)) ++depth;
      if (Closes(t)) --depth;
    }
  }
  void SkipValue(Token first) {
    if (Opens(first)) SkipNested(1);
  }

  // A member's value as text: nothing when it is no text or empty.
  std::optional<std::u16string> TextValue(size_t cap) {
    std::u16string text;
    const Token t = lexer_.Next(&text, cap);
    SkipValue(t);
    if (t != Token::kString || text.empty()) return std::nullopt;
    return text;
  }

  // The members of the document object; a break in its structure ends the
  // reading with what was read.
  void ReadTopLevel() {
    std::u16string key;
    for (Token t = lexer_.Next(&key, kMaxKeyUnits); t != Token::kEndObject; t = lexer_.Next(&key, kMaxKeyUnits)) {
      if (t != Token::kString || lexer_.Next() != Token::kColon) return;
      if (key == u"items" && !itemsFound_) {
        t = lexer_.Next();
        if (t == Token::kBeginArray) {
          itemsFound_ = true;
          if (!ReadItems()) return;
        } else {
          SkipValue(t);
        }
      } else if (key == u"version") {
        const std::optional<std::u16string> version = TextValue(kMaxKeyUnits * 4);
        versionOk_ = version && IsJsonFeedVersion(*version);
      } else if (key == u"title") {
        channel_.title = TextValue(kMaxJsonTextUnits);
      } else if (key == u"home_page_url") {
        channel_.homePageUrl = TextValue(kMaxJsonTextUnits);
      } else if (key == u"icon") {
        channel_.icon = TextValue(kMaxJsonTextUnits);
      } else if (key == u"favicon") {
        channel_.favicon = TextValue(kMaxJsonTextUnits);
      } else {
        SkipValue(lexer_.Next());
      }
      if (lexer_.Next() != Token::kComma) return;
    }
  }

  // The elements of "items" up to its closing bracket. False when the
  // reading ends here (the document ended, or the visitor stopped it).
  bool ReadItems() {
    for (;;) {
      const Token t = lexer_.Next();
      if (t == Token::kEnd) return false;
      if (t == Token::kEndArray) return true;
      if (t == Token::kBeginArray) SkipNested(1);
      if (t == Token::kBeginObject && !ReadItem()) return false;
    }
  }

  // One item after its "{". False when the visitor ends the reading.
  bool ReadItem() {
    if (!visit_ || stopped_) {
      SkipNested(1);
      return true;
    }
    ItemMembers members;
    std::u16string key;
    for (Token t = lexer_.Next(&key, kMaxKeyUnits); t != Token::kEndObject; t = lexer_.Next(&key, kMaxKeyUnits)) {
      if (t != Token::kString) return DropBrokenItem(t);
      if ((t = lexer_.Next()) != Token::kColon) return DropBrokenItem(t);
      const int member = ItemMembers::Find(key);
      std::u16string text;
      t = lexer_.Next(member >= 0 ? &text : nullptr, ItemMembers::Cap(member));
      if (t == Token::kEnd || Closes(t) || t == Token::kColon || t == Token::kComma || t == Token::kBad)
        return DropBrokenItem(t);
      SkipValue(t);
      if (member >= 0) {
        members.values[member].reset();
        if (t == Token::kString && !text.empty()) members.values[member] = std::move(text);
      }
      if ((t = lexer_.Next()) == Token::kEndObject) break;
      if (t != Token::kComma) return DropBrokenItem(t);
    }
    stopped_ = !visit_(members.ToItem());
    return !stopped_;
  }

  // An item whose structure broke at token `t` is skipped to its end.
  bool DropBrokenItem(Token t) {
    int depth = 1;
    if (Opens(t)) ++depth;
    if (Closes(t)) --depth;
    if (t != Token::kEnd) SkipNested(depth);
    return true;
  }

  Lexer lexer_;
  const JsonItemVisitor& visit_;
  JsonFeedChannel channel_;
  bool versionOk_ = false;
  bool itemsFound_ = false;
  bool stopped_ = false;
};

}  // namespace

bool LooksLikeJson(std::string_view bytes) {
  bytes = WithoutMark(bytes);
  while (!bytes.empty() && IsBlank(bytes.front())) bytes.remove_prefix(1);
  return bytes.starts_with('{');
}

std::optional<JsonFeedChannel> ReadJsonFeed(const ByteSource& source, const JsonItemVisitor& visit) {
  FeedReader reader(source, visit);
  return reader.Read();
}

std::optional<JsonFeedChannel> ReadJsonFeedFile(const std::string& path, const JsonItemVisitor& visit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  const auto buffer = std::make_unique<char[]>(kFilePieceBytes);
  const ByteSource source = [&]() -> std::string_view {
    ssize_t n;
    do n = ::read(fd, buffer.get(), kFilePieceBytes);
    while (n < 0 && errno == EINTR);
    return std::string_view(buffer.get(), n > 0 ? static_cast<size_t>(n) : 0);
  };
  std::optional<JsonFeedChannel> channel = ReadJsonFeed(source, visit);
  ::close(fd);
  return channel;
}

std::optional<JsonFeed> ParseJsonFeed(std::string_view bytes, size_t maxItems) {
  const auto whole = [bytes] {
    return ByteSource([bytes, given = false]() mutable {
      const std::string_view piece = given ? std::string_view() : bytes;
      given = true;
      return piece;
    });
  };
  JsonFeed feed;
  bool stopped = maxItems == 0;
  std::optional<JsonFeedChannel> channel;
  if (!stopped)
    channel = ReadJsonFeed(whole(), [&](FeedItem&& item) {
      feed.items.push_back(std::move(item));
      stopped = feed.items.size() >= maxItems;
      return !stopped;
    });
  // The channel's own members may follow the last item taken.
  if (stopped) channel = ReadJsonFeed(whole());
  if (!channel) return std::nullopt;
  static_cast<JsonFeedChannel&>(feed) = std::move(*channel);
  return feed;
}

}  // namespace wrenly
