#include "store/feed_items.h"

#include <strings.h>

#include "platform/text.h"
#include "store/html_entities.h"

namespace wrenly {
namespace {

using tinyxml2::XMLElement;
using tinyxml2::XMLNode;

bool Aborted(const AbortCallback& abort) { return abort && abort(); }

// Element names matched here are ASCII, which every supported document
// encoding spells with the same bytes, so the raw name is compared.
bool NameIs(const XMLElement* element, const char* name) {
  return strcasecmp(element->Name(), name) == 0;
}

std::u16string TrimSpaces(std::u16string_view text) { return std::u16string(Trim(text, kSpaceChars16)); }

std::string TypeOf(const XMLElement* element) {
  const char* type = element->Attribute("type");
  return type == nullptr ? "text" : AsciiLower(type);
}

bool IsAtomName(const XMLElement* element, std::string_view prefix, std::string_view localName) {
  const std::string_view name = element->Name();
  return name.size() == prefix.size() + localName.size() && name.starts_with(prefix) &&
         name.ends_with(localName);
}

// The markup inside an element, as the document spells it.
std::u16string InnerMarkup(const CEXML& xml, const XMLElement* element) {
  tinyxml2::XMLPrinter printer(nullptr, true);
  for (const XMLNode* child = element->FirstChild(); child != nullptr; child = child->NextSibling())
    child->Accept(&printer);
  return xml.DecodeText(std::string_view(printer.CStr(), printer.CStrSize() - 1));
}

void AppendAllText(const CEXML& xml, const XMLNode* node, std::u16string& out) {
  for (const XMLNode* child = node->FirstChild(); child != nullptr; child = child->NextSibling()) {
    if (child->ToText() != nullptr)
      out += xml.DecodeText(child->Value());
    else if (child->ToElement() != nullptr)
      AppendAllText(xml, child, out);
  }
}

// An Atom content or summary as HTML.
std::u16string AtomHtml(const CEXML& xml, const XMLElement* element) {
  const std::string type = TypeOf(element);
  if (type == "html") return UnescapeHtmlEntities(xml.ElementText(element));
  if (type == "xhtml") {
    const XMLElement* div = element->FirstChildElement();
    const bool wrapped = div != nullptr && std::string_view(div->Name()).ends_with("div");
    return InnerMarkup(xml, wrapped ? div : element);
  }
  std::u16string text;
  AppendAllText(xml, element, text);
  return EscapeHtmlText(text);
}

}  // namespace

bool ReadRssItem(const CEXML& xml, const XMLElement* item, const AbortCallback& abort,
                 FeedItem& out) {
  out = FeedItem{};
  // The guid is read only when no link names the item.
  const XMLElement* guid = nullptr;
  for (const XMLElement* child = item->FirstChildElement(); child != nullptr;
       child = child->NextSiblingElement()) {
    if (Aborted(abort)) return false;
    if (NameIs(child, "title"))
      out.title = UnescapeHtmlEntities(xml.ElementText(child));
    else if (NameIs(child, "link"))
      out.link = TrimSpaces(xml.ElementText(child));
    else if (NameIs(child, "pubDate") || NameIs(child, "dc:date"))
      out.date = xml.ElementText(child);
    else if (NameIs(child, "description"))
      out.description = UnescapeHtmlEntities(xml.ElementText(child));
    else if (NameIs(child, "guid"))
      guid = child;
  }
  if (out.link.empty() && guid != nullptr) out.link = TrimSpaces(xml.ElementText(guid));
  return true;
}

const XMLElement* AtomChild(const XMLElement* parent, std::string_view prefix,
                            std::string_view localName) {
  for (const XMLElement* child = parent->FirstChildElement(); child != nullptr;
       child = child->NextSiblingElement()) {
    if (IsAtomName(child, prefix, localName)) return child;
  }
  return nullptr;
}

std::u16string AtomAlternateLink(const CEXML& xml, const XMLElement* parent,
                                 std::string_view prefix) {
  for (const XMLElement* child = parent->FirstChildElement(); child != nullptr;
       child = child->NextSiblingElement()) {
    if (!IsAtomName(child, prefix, "link")) continue;
    const char* rel = child->Attribute("rel");
    const char* href = child->Attribute("href");
    if ((rel == nullptr || AsciiLower(rel) == "alternate") && href != nullptr)
      return TrimSpaces(xml.DecodeText(href));
  }
  return {};
}

std::u16string AtomPlainText(const CEXML& xml, const XMLElement* element) {
  const std::string type = TypeOf(element);
  if (type == "html") return UnescapeHtmlEntities(xml.ElementText(element));
  std::u16string text;
  AppendAllText(xml, element, text);
  return type == "xhtml" ? TrimSpaces(text) : text;
}

bool ReadAtomEntry(const CEXML& xml, const XMLElement* entry, std::string_view prefix,
                   const AbortCallback& abort, FeedItem& out) {
  out = FeedItem{};
  const XMLElement* published = nullptr;
  const XMLElement* updated = nullptr;
  const XMLElement* content = nullptr;
  const XMLElement* summary = nullptr;
  std::u16string id;
  for (const XMLElement* child = entry->FirstChildElement(); child != nullptr;
       child = child->NextSiblingElement()) {
    if (Aborted(abort)) return false;
    if (IsAtomName(child, prefix, "title"))
      out.title = AtomPlainText(xml, child);
    else if (IsAtomName(child, prefix, "id"))
      id = TrimSpaces(xml.ElementText(child));
    else if (IsAtomName(child, prefix, "published"))
      published = child;
    else if (IsAtomName(child, prefix, "updated"))
      updated = child;
    else if (IsAtomName(child, prefix, "content") && child->Attribute("src") == nullptr)
      content = child;
    else if (IsAtomName(child, prefix, "summary"))
      summary = child;
  }
  out.link = AtomAlternateLink(xml, entry, prefix);
  if (out.link.empty()) out.link = id;
  if (const XMLElement* date = published != nullptr ? published : updated)
    out.date = TrimSpaces(xml.ElementText(date));
  if (const XMLElement* body = content != nullptr ? content : summary)
    out.description = AtomHtml(xml, body);
  return true;
}

}  // namespace wrenly
