// The part of an XML feed document (RSS, RDF, Atom) that the feed parser
// reads, taken from the file a piece at a time: everything except the items
// after a feed's first ones, so a parse costs as much memory as those items,
// whatever the file holds. A small scanner checks on the way that the whole
// document is well-formed as the tree parser would (tags, comments, CDATA,
// declarations, quoted attribute values, nesting depth), so a truncated or
// broken file fails as it would whole. Pure functions; safe anywhere.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace wrenly {

// What the kept part of a document may cost: its bytes plus an estimate of
// the parsed tree's nodes. An item that would pass it is left out (and a
// later one that fits is kept); anything else that passes it fails the
// document.
constexpr size_t kMaxFeedDocumentCost = 8u * 1024 * 1024;

struct BoundedFeedDocument {
  std::string head;  // the file's first 127 bytes, where the encoding is declared
  std::string text;  // the kept document
};

// The kept document of a file: the children named "item" of the first
// "channel" of an "rss" element and of an "rdf:RDF" element, and the "entry"
// children of an Atom "feed" root (with its namespace prefix), after the
// first `maxItems` of each, are left out whole. A NUL byte ends the
// document. Nothing when the file cannot be read or is not well-formed XML,
// with `error` saying why.
std::optional<BoundedFeedDocument> ReadBoundedFeedDocument(const std::string& path, size_t maxItems,
                                                           std::string* error,
                                                           size_t maxCost = kMaxFeedDocumentCost);

// The same over bytes in memory.
std::optional<BoundedFeedDocument> BoundFeedDocument(std::string_view bytes, size_t maxItems,
                                                     std::string* error,
                                                     size_t maxCost = kMaxFeedDocumentCost);

}  // namespace wrenly
