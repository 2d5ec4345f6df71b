#include "store/feed_document.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace wrenly {
namespace {

constexpr size_t kHeadBytes = 127;
constexpr size_t kChunkBytes = 64 * 1024;
// The tree parser refuses a document once this many elements are open.
constexpr size_t kMaxOpenElements = 99;
// Names are compared by length and hash; only this much of one is kept to
// tell feeds, channels and items.
constexpr size_t kKeptNameBytes = 64;
constexpr size_t kComparedAttributes = 32;
// Estimated tree cost of an element (with its text) and of an attribute.
constexpr size_t kElementCost = 128;
constexpr size_t kAttributeCost = 64;

bool IsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsNameStart(unsigned char c) {
  return c >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ':' || c == '_';
}
bool IsNameChar(unsigned char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

// A name read a piece at a time.
struct Name {
  std::uint64_t hash = 14695981039346656037ull;
  size_t length = 0;
  std::string start;  // the first kKeptNameBytes

  void Add(std::string_view bytes) {
    for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    if (start.size() < kKeptNameBytes) start.append(bytes.substr(0, kKeptNameBytes - start.size()));
    length += bytes.size();
  }
  bool Is(std::string_view text) const { return length == text.size() && start == text; }
  bool operator==(const Name& other) const { return hash == other.hash && length == other.length; }
};

struct OpenElement {
  Name name;
  bool rss = false;      // a top-level "rss", whose "channel" holds items
  std::string itemName;  // the name of the items it holds; empty when none
  size_t items = 0;      // items kept so far
};

class Scanner {
 public:
  Scanner(size_t maxItems, size_t maxCost) : maxItems_(maxItems), maxCost_(maxCost) {}

  // Scans the next piece; false once the document is known to be broken.
  bool Feed(std::string_view piece) {
    if (ended_ || !error_.empty()) return error_.empty();
    if (head_.size() < kHeadBytes) head_.append(piece.substr(0, kHeadBytes - head_.size()));
    offset_ += chunk_.size();
    const size_t nul = piece.find('\0');
    if (nul != std::string_view::npos) {
      piece = piece.substr(0, nul);
      ended_ = true;
    }
    chunk_ = piece;
    keepFrom_ = 0;
    for (size_t i = 0; i < chunk_.size() && error_.empty();) i = Step(i);
    if (!error_.empty()) return false;
    Flush(chunk_.size());
    return CheckCost();
  }

  std::optional<BoundedFeedDocument> Finish(std::string* error) {
    if (error_.empty() && (state_ != State::kText || !open_.empty()))
      error_ = "the document ends inside " + std::string(state_ == State::kText ? "an element" : "markup");
    if (!error_.empty()) {
      if (error) *error = "not well-formed XML: " + error_;
      return std::nullopt;
    }
    return BoundedFeedDocument{std::move(head_), std::move(out_)};
  }

 private:
  enum class State {
    kText, kLess, kBang, kBangDash, kCdataOpen, kComment, kCdata, kUnknown, kDeclaration,
    kLessSpace, kNameStart, kName, kTagSpace, kAttributeName, kAfterAttributeName, kAfterEquals,
    kValue, kSlash,
  };

  // Handles the byte at i (and maybe more); the index to go on from.
  size_t Step(size_t i) {
    at_ = i;
    const auto c = static_cast<unsigned char>(chunk_[i]);
    switch (state_) {
      case State::kText: return AfterText(i);
      case State::kLess: return AfterLess(i, c);
      case State::kBang:
        if (c == '-') return Go(State::kBangDash, i + 1);
        if (c == '[') {
          matched_ = 0;
          return Go(State::kCdataOpen, i + 1);
        }
        return Go(State::kUnknown, i);
      case State::kBangDash:
        if (c != '-') return Go(State::kUnknown, i);
        run_ = 0;
        return Go(State::kComment, i + 1);
      case State::kCdataOpen:
        if (c != static_cast<unsigned char>("CDATA["[matched_])) return Go(State::kUnknown, i);
        if (++matched_ < 6) return i + 1;
        run_ = 0;
        return Go(State::kCdata, i + 1);
      case State::kComment: return Until(i, '-', 2);
      case State::kCdata: return Until(i, ']', 2);
      case State::kDeclaration: return Until(i, '?', 1);
      case State::kUnknown: return Until(i, '>', 0);
      case State::kLessSpace: return AfterLessSpace(i, c);
      case State::kNameStart:
        if (!IsNameStart(c)) return Fail("'</' not followed by a name");
        name_ = Name();
        return Go(State::kName, i);
      case State::kName: return InName(i);
      case State::kTagSpace: return InTag(i, c);
      case State::kAttributeName: {
        const size_t from = i;
        while (i < chunk_.size() && IsNameChar(static_cast<unsigned char>(chunk_[i]))) ++i;
        attribute_.Add(chunk_.substr(from, i - from));
        if (i == chunk_.size()) return i;
        if (NamedBefore(attribute_)) return Fail("an attribute named twice");
        return Go(State::kAfterAttributeName, i);
      }
      case State::kAfterAttributeName:
        if (IsSpace(c)) return i + 1;
        return c == '=' ? Go(State::kAfterEquals, i + 1) : Fail("an attribute without a value");
      case State::kAfterEquals:
        if (IsSpace(c)) return i + 1;
        if (c != '"' && c != '\'') return Fail("an attribute value without quotes");
        quote_ = static_cast<char>(c);
        return Go(State::kValue, i + 1);
      case State::kValue: {
        const size_t end = Find(i, quote_);
        return end == chunk_.size() ? end : Go(State::kTagSpace, end + 1);
      }
      case State::kSlash:
        if (c != '>') return Fail("'/' not followed by '>' in a tag");
        // The tree parser takes "</name/>" as an empty element.
        if (closing_)
          EmptyElementFromEndTag(i);
        else
          EndStartTag(i, true);
        return Go(State::kText, i + 1);
    }
    return i + 1;
  }

  size_t Go(State state, size_t i) {
    state_ = state;
    return i;
  }
  size_t Fail(const char* what) {
    error_ = std::string(what) + " at byte " + std::to_string(offset_ + at_);
    return chunk_.size();
  }

  // The index of the first `c` from i on, or the chunk's size.
  size_t Find(size_t i, char c) const {
    const void* found = std::memchr(chunk_.data() + i, c, chunk_.size() - i);
    return found == nullptr ? chunk_.size() : static_cast<size_t>(static_cast<const char*>(found) - chunk_.data());
  }

  size_t AfterText(size_t i) {
    const size_t at = Find(i, '<');
    if (InFullFeed()) {
      Flush(i);
      keepFrom_ = at;
    }
    if (at == chunk_.size()) return at;
    tagOut_ = keeping_ ? out_.size() + (at - keepFrom_) : 0;
    return Go(State::kLess, at + 1);
  }

  // Whether the bytes being kept are directly inside a feed that keeps no
  // more items: its own text, comments and the like are read by nobody and
  // left out, so that what stands between left-out items costs nothing.
  bool InFullFeed() const {
    if (!keeping_ || open_.empty()) return false;
    const OpenElement& feed = open_.back();
    return !feed.itemName.empty() && feed.items >= maxItems_;
  }

  // At the "<!" that starts a comment, CDATA section or other markup.
  size_t StartMarkup(size_t i) {
    if (InFullFeed()) {
      Flush(i);
      out_.resize(tagOut_);
      keeping_ = false;
      markupLeftOut_ = true;
    }
    return Go(State::kBang, i);
  }

  size_t AfterLess(size_t i, unsigned char c) {
    if (c == '!') return StartMarkup(i + 1);
    if (c == '?') {
      // The tree parser takes a declaration only outside the elements.
      if (!open_.empty()) return Fail("a declaration inside an element");
      run_ = 0;
      return Go(State::kDeclaration, i + 1);
    }
    return AfterLessSpace(i, c);
  }

  // The tree parser refuses an attribute named twice in one tag. Only the
  // first attributes of a tag are compared, so that a tag with very many
  // costs neither memory nor time.
  bool NamedBefore(const Name& attribute) {
    for (const Name& earlier : attributes_)
      if (earlier == attribute) return true;
    if (attributes_.size() < kComparedAttributes) attributes_.push_back(attribute);
    return false;
  }

  // The tree parser allows blanks between '<' and a tag's name or its '/'.
  size_t AfterLessSpace(size_t i, unsigned char c) {
    attributes_.clear();
    closing_ = c == '/';
    if (closing_) return Go(State::kNameStart, i + 1);
    if (IsSpace(c)) return Go(State::kLessSpace, i + 1);
    if (!IsNameStart(c)) return Fail("'<' not followed by a name");
    name_ = Name();
    return Go(State::kName, i);
  }

  // Skips to the end of a comment, CDATA section, declaration or other
  // markup: the first '>' after `needed` copies of `mark`.
  size_t Until(size_t i, char mark, size_t needed) {
    const size_t end = Find(i, '>');
    size_t marks = 0;
    while (marks < end - i && chunk_[end - 1 - marks] == mark) ++marks;
    if (marks == end - i) marks += run_;
    if (end == chunk_.size()) {
      run_ = marks;
      return end;
    }
    if (marks >= needed) {
      if (markupLeftOut_) {
        markupLeftOut_ = false;
        Resume(end + 1);
      }
      return Go(State::kText, end + 1);
    }
    run_ = 0;
    return end + 1;
  }

  size_t InName(size_t i) {
    const size_t from = i;
    while (i < chunk_.size() && IsNameChar(static_cast<unsigned char>(chunk_[i]))) ++i;
    name_.Add(chunk_.substr(from, i - from));
    if (i == chunk_.size()) return i;
    if (!closing_) StartName(i);
    return Go(State::kTagSpace, i);
  }

  size_t InTag(size_t i, unsigned char c) {
    if (IsSpace(c)) return i + 1;
    if (c == '>') {
      if (!closing_) {
        EndStartTag(i, false);
        return Go(State::kText, i + 1);
      }
      EndTag(i);
      return Go(State::kText, closedEarly_ ? chunk_.size() : i + 1);
    }
    if (c == '/') return Go(State::kSlash, i + 1);
    if (!IsNameStart(c)) return Fail("a tag with a stray character");
    if (keeping_) nodeCost_ += kAttributeCost;
    attribute_ = Name();
    return Go(State::kAttributeName, i);
  }

  // The name of a start tag is read; the tag's '<' is at tagOut_ in the
  // output when it is kept.
  void StartName(size_t i) {
    pending_ = OpenElement();
    pending_.name = name_;
    const size_t depth = open_.size();
    if (depth == 0 && name_.Is("rss")) pending_.rss = true;
    if (depth == 0 && name_.Is("rdf:RDF")) pending_.itemName = "item";
    if (depth == 1 && open_[0].rss && name_.Is("channel")) pending_.itemName = "item";
    if (depth == 0) {
      const size_t colon = name_.start.find(':');
      const std::string prefix = colon == std::string::npos ? "" : name_.start.substr(0, colon + 1);
      if (name_.Is(prefix + "feed")) pending_.itemName = prefix + "entry";
    }
    const size_t tagCost = nodeCost_;
    if (keeping_) nodeCost_ += kElementCost;
    if (depth == 0 || !keeping_) return;
    OpenElement& parent = open_.back();
    if (parent.itemName.empty() || !name_.Is(parent.itemName)) return;
    if (parent.items >= maxItems_) {
      Flush(i);
      out_.resize(tagOut_);
      nodeCost_ = tagCost;
      keeping_ = false;
      elidedDepth_ = depth + 1;
      return;
    }
    ++parent.items;
    item_ = {depth + 1, tagOut_, tagCost};
  }

  void EndStartTag(size_t i, bool selfClosing) {
    if (!selfClosing) {
      open_.push_back(std::move(pending_));
      if (open_.size() >= kMaxOpenElements) Fail("elements nested too deep");
      return;
    }
    EndElement(i);
  }

  // An element written "</name/>" at i, with its '<' at tagOut_.
  void EmptyElementFromEndTag(size_t i) {
    if (!keeping_ || open_.empty()) return;
    nodeCost_ += kElementCost;
    OpenElement& parent = open_.back();
    if (parent.itemName.empty() || !name_.Is(parent.itemName)) return;
    if (parent.items >= maxItems_) {
      Flush(i + 1);
      out_.resize(tagOut_);
      return;
    }
    ++parent.items;
  }

  void EndTag(size_t i) {
    if (open_.empty()) {
      // The tree parser takes an end tag outside the elements as the end of
      // the document and ignores what follows.
      Flush(i + 1);
      keeping_ = false;
      ended_ = true;
      closedEarly_ = true;
      return;
    }
    if (!(open_.back().name == name_)) {
      Fail("an end tag that does not match its start tag");
      return;
    }
    open_.pop_back();
    EndElement(i);
  }

  // After the '>' at i that closed an element at depth open_.size() + 1.
  void EndElement(size_t i) {
    const size_t depth = open_.size() + 1;
    if (elidedDepth_ == depth) Resume(i + 1);
    if (item_.depth != depth) return;
    Flush(i + 1);
    if (Cost() > maxCost_) DropItem();
    item_ = {};
  }

  void Resume(size_t from) {
    keeping_ = true;
    keepFrom_ = from;
    elidedDepth_ = 0;
  }

  // Appends the kept bytes of the chunk before `end`.
  void Flush(size_t end) {
    if (keeping_ && end > keepFrom_) out_.append(chunk_.substr(keepFrom_, end - keepFrom_));
    keepFrom_ = end;
  }

  // Over the limit, the item being kept is left out; without one, the
  // document is refused.
  bool CheckCost() {
    if (Cost() <= maxCost_) return true;
    if (item_.depth == 0) {
      error_ = "the document holds more than " + std::to_string(maxCost_ >> 10) + " KB besides its items";
      return false;
    }
    DropItem();
    keeping_ = false;
    elidedDepth_ = item_.depth;
    item_ = {};
    return true;
  }

  size_t Cost() const { return out_.size() + nodeCost_; }

  // Takes the item being kept out of the output; it does not count as kept.
  void DropItem() {
    out_.resize(item_.out);
    nodeCost_ = item_.cost;
    --open_[item_.depth - 2].items;
  }

  struct KeptItem {
    size_t depth = 0;  // the item's depth when open; 0 when none
    size_t out = 0;    // where its start tag is in the output
    size_t cost = 0;   // the node cost before it
  };

  const size_t maxItems_;
  const size_t maxCost_;
  std::string head_;
  std::string out_;
  size_t nodeCost_ = 0;  // the estimated tree nodes of the output
  std::string_view chunk_;
  size_t offset_ = 0;  // of the chunk in the document
  size_t at_ = 0;      // in the chunk, of the byte being scanned
  bool ended_ = false;        // no more input is read
  bool closedEarly_ = false;  // by an end tag outside the elements
  std::string error_;
  State state_ = State::kText;
  size_t run_ = 0;      // marks seen at the end of the last chunk
  size_t matched_ = 0;  // of "CDATA["
  char quote_ = '"';
  Name name_;
  bool closing_ = false;  // the tag started "</"
  Name attribute_;
  std::vector<Name> attributes_;  // the first ones of the tag being read
  OpenElement pending_;
  std::vector<OpenElement> open_;
  bool keeping_ = true;
  size_t keepFrom_ = 0;
  size_t tagOut_ = 0;
  bool markupLeftOut_ = false;
  size_t elidedDepth_ = 0;  // the depth of the item being left out; 0 when none
  KeptItem item_;
};

}  // namespace

std::optional<BoundedFeedDocument> ReadBoundedFeedDocument(const std::string& path, size_t maxItems,
                                                           std::string* error, size_t maxCost) {
  const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) {
    if (error) *error = "cannot open " + path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  Scanner scanner(maxItems, maxCost);
  const std::unique_ptr<char[]> buffer(new char[kChunkBytes]);
  for (;;) {
    const size_t got = std::fread(buffer.get(), 1, kChunkBytes, file.get());
    if (got == 0) break;
    if (!scanner.Feed(std::string_view(buffer.get(), got))) break;
  }
  if (std::ferror(file.get())) {
    if (error) *error = "cannot read " + path;
    return std::nullopt;
  }
  return scanner.Finish(error);
}

std::optional<BoundedFeedDocument> BoundFeedDocument(std::string_view bytes, size_t maxItems,
                                                     std::string* error, size_t maxCost) {
  Scanner scanner(maxItems, maxCost);
  for (size_t at = 0; at < bytes.size(); at += kChunkBytes)
    if (!scanner.Feed(bytes.substr(at, kChunkBytes))) break;
  return scanner.Finish(error);
}

}  // namespace wrenly
