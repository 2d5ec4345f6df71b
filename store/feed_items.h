// Reading the fields of one feed item: an RSS/RDF "item" element or an Atom
// "entry" element, into title, link (the item's identity), date text and
// description (HTML). No store is touched. Not synchronized.
#pragma once

#include <tinyxml2.h>

#include <functional>
#include <string>
#include <string_view>

#include "store/cexml.h"

namespace wrenly {

// Non-zero (true) means: stop.
using AbortCallback = std::function<bool()>;

struct FeedItem {
  std::u16string title;
  std::u16string link;
  std::u16string date;         // as the feed wrote it
  std::u16string description;  // HTML
};

// An RSS or RDF item. Children compared ignoring case: "title" and
// "description" with entities resolved, "link" as written, "pubDate" or
// "dc:date"; a later child of the same name overwrites an earlier one. An
// item without a link is known by its "guid". False when the abort callback
// stopped the walk (the item is then abandoned).
bool ReadRssItem(const CEXML& xml, const tinyxml2::XMLElement* item, const AbortCallback& abort,
                 FeedItem& out);

// An Atom entry; `prefix` is the namespace prefix of the feed's elements
// ("" or e.g. "atom:"). Title as text (html resolved like RSS), link = href of
// the first alternate link, else the entry's id; date = published, else
// updated; description = content, else summary ("html" like an RSS
// description, "xhtml" its inner markup, "text" escaped to show as text).
bool ReadAtomEntry(const CEXML& xml, const tinyxml2::XMLElement* entry, std::string_view prefix,
                   const AbortCallback& abort, FeedItem& out);

// The child element of an Atom element with this local name (prefixed as
// the feed's elements are), or null.
const tinyxml2::XMLElement* AtomChild(const tinyxml2::XMLElement* parent, std::string_view prefix,
                                      std::string_view localName);
// The href of the first "link" child with rel="alternate" or without rel.
std::u16string AtomAlternateLink(const CEXML& xml, const tinyxml2::XMLElement* parent,
                                 std::string_view prefix);
// An Atom text construct ("text", "html" or "xhtml") as plain text.
std::u16string AtomPlainText(const CEXML& xml, const tinyxml2::XMLElement* element);

}  // namespace wrenly
