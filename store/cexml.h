// CEXML: the one XML document class of the store, over tinyxml2. tinyxml2
// keeps a document's bytes as they are in the file; CEXML decides once per
// load whether those bytes are UTF-8 (mode 1) or another encoding (mode 2)
// and converts names, values and texts between them and UTF-16. Subclasses
// (catalog, feed parser, template files) say what Visit does with one element.
// Not synchronized: one object belongs to one thread at a time.
#pragma once

#include <tinyxml2.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wrenly {

class CEXML {
 public:
  static constexpr int kModeUtf8 = 1;
  static constexpr int kModeCodePage = 2;

  CEXML();
  virtual ~CEXML();
  CEXML(const CEXML&) = delete;
  CEXML& operator=(const CEXML&) = delete;

  // What a subclass does with one element; parent is null for the root.
  virtual void Visit(const tinyxml2::XMLElement* parent, const tinyxml2::XMLElement* element) = 0;
  // Visit(parent, element), then Traverse(element, child) for each child
  // element in document order: depth first, parents before children.
  virtual void Traverse(const tinyxml2::XMLElement* parent, const tinyxml2::XMLElement* element);

  void SetPath(std::string path) { path_ = std::move(path); }
  const std::string& GetPath() const { return path_; }

  // Replaces the document by the file's content and sets the path; 1 when it
  // loaded and has a root element (then, with traverse, the whole tree is
  // visited), 0 otherwise, with LastError() saying why and an empty document
  // left in place. The encoding is taken from "encoding=" within the file's
  // first 127 bytes; without it the previous load's encoding stays.
  int LoadFile(const std::string& path, bool traverse);
  // The same with the file's bytes, or the part of them to parse, read by
  // the caller: `head` is the file's first 127 bytes.
  int LoadDocument(const std::string& path, std::string_view head, std::string_view bytes);
  // Parses built-in text into the document (made when there is none); the
  // encoding is not touched. 1 when it parsed.
  int ParseText(std::string_view text);
  // Writes the document to the path through a temporary file and a rename, so
  // the old file stays whole when writing fails. 1 when written. A byte-order
  // mark that the loaded file had is written again.
  int SaveFile();
  const std::string& LastError() const { return lastError_; }

  tinyxml2::XMLDocument* Document() { return doc_.get(); }
  const tinyxml2::XMLDocument* Document() const { return doc_.get(); }
  // Makes an empty document when there is none.
  tinyxml2::XMLDocument& EnsureDocument();

  int EncodingMode() const { return mode_; }
  // The charset used in mode 2: the declared one when iconv can convert it,
  // otherwise empty, meaning the system code page.
  const std::string& Charset() const { return charset_; }
  // Sets the encoding as a declaration value would ("UTF-8", "gb2312", ...).
  void SetEncodingFromDeclaration(std::string_view declared);

  std::u16string DecodeText(std::string_view bytes) const;
  std::u16string DecodeText(const char* bytes) const;
  std::string EncodeText(std::u16string_view text) const;

  // The element's tag, decoded.
  std::u16string ElementName(const tinyxml2::XMLElement* element) const;
  // The first child's text when that child is a text node (plain or CDATA).
  std::u16string ElementText(const tinyxml2::XMLElement* element) const;
  // All attributes in document order, decoded.
  std::vector<std::pair<std::u16string, std::u16string>> Attributes(
      const tinyxml2::XMLElement* element) const;
  // One attribute by its name (compared as stored), decoded; nothing when absent.
  std::optional<std::u16string> Attribute(const tinyxml2::XMLElement* element,
                                          std::string_view name) const;
  void SetAttribute(tinyxml2::XMLElement* element, std::string_view name,
                    std::u16string_view value) const;

 protected:
  // Drops the document (for subclasses that start over).
  void ResetDocument() { doc_.reset(); }
  // For subclasses that read other formats into the same object.
  void SetLastError(std::string text) { lastError_ = std::move(text); }

 private:
  // Finishes a load whose parse returned rc.
  int Loaded(tinyxml2::XMLError rc, const std::string& path, std::string_view head, bool traverse);

  std::string path_;
  std::unique_ptr<tinyxml2::XMLDocument> doc_;
  int mode_ = kModeUtf8;
  std::string charset_;
  std::string lastError_;
};

// The lenient UTF-8 decoder of mode 1: 2- to 6-byte lead bytes, continuation
// bytes taken as they come, a 4-byte sequence above U+FFFF as a surrogate
// pair, otherwise the low 16 bits; decoding stops at a byte that cannot start
// a character or at a sequence cut off by the end.
std::u16string DecodeUtf8Lenient(std::string_view bytes);
// Mode 1's encoder: 1, 2 or 3 bytes per unit, a surrogate pair as one 4-byte
// sequence, a lone surrogate as its own 3 bytes.
std::string EncodeUtf8Lenient(std::u16string_view text);

}  // namespace wrenly
