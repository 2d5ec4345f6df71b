#include "store/channel_catalog.h"

#include <algorithm>
#include <charconv>

#include "platform/text.h"

namespace wrenly {
namespace {

using tinyxml2::XMLElement;

bool IsOutline(const XMLElement* e) {
  return e != nullptr && AsciiLower(std::string_view(e->Name())) == "outline";
}

XMLElement* FirstOutline(XMLElement* parent) {
  XMLElement* e = parent->FirstChildElement();
  while (e != nullptr && !IsOutline(e)) e = e->NextSiblingElement();
  return e;
}

XMLElement* NextOutline(XMLElement* e) {
  do e = e->NextSiblingElement();
  while (e != nullptr && !IsOutline(e));
  return e;
}

// A positive decimal attribute, nothing otherwise.
std::optional<int> PositiveNumber(const XMLElement* e, const char* name) {
  const char* text = e->Attribute(name);
  if (text == nullptr) return std::nullopt;
  const std::string_view s(text);
  int value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size() || value <= 0) return std::nullopt;
  return value;
}

bool IsRss(const std::u16string& value) { return AsciiLower(value) == u"rss"; }

}  // namespace

const char kEmptyCatalogText[] =
    "<?xml version=\"1.0\" ?><opml version=\"1.0\"><head>   <title>Channels</title>   "
    "<options />   <keywordList />   <updated /></head><body></body></opml>";

CChannelCatalog::CChannelCatalog(CatalogReport report) : report_(std::move(report)) {}

void CChannelCatalog::Visit(const XMLElement* parent, const XMLElement* element) {
  if (!IsOutline(element)) return;
  std::u16string category;
  if (IsOutline(parent)) {
    bool parentIsRss = false;
    for (const auto& [name, value] : Attributes(parent)) {
      if (name == u"text") category = value;
      if (name == u"type") {
        if (!IsRss(value)) return;
        parentIsRss = true;
      }
    }
    if (!parentIsRss) category.clear();
  }
  bool isRss = false;
  int reports = 0;
  for (const auto& [name, value] : Attributes(element)) {
    if (name == u"type") {
      if (!IsRss(value)) return;
      isRss = true;
    }
    if (report_) report_(category, name, value);
    ++reports;
  }
  if (isRss && reports > 0 && report_) report_(category, u"", u"");
}

int CChannelCatalog::CreateEmpty() {
  ParseText(kEmptyCatalogText);
  return 1;
}

int CChannelCatalog::LoadAndReport(const std::string& path) { return LoadFile(path, true); }

XMLElement* CChannelCatalog::Body() {
  XMLElement* root = Document() != nullptr ? Document()->RootElement() : nullptr;
  return root != nullptr ? root->FirstChildElement("body") : nullptr;
}

const XMLElement* CChannelCatalog::Body() const {
  return const_cast<CChannelCatalog*>(this)->Body();
}

template <typename Match>
XMLElement* CChannelCatalog::Find(Match match) {
  XMLElement* body = Body();
  if (body == nullptr) return nullptr;
  for (XMLElement* top = FirstOutline(body); top != nullptr; top = NextOutline(top)) {
    if (match(top)) return top;
    for (XMLElement* child = FirstOutline(top); child != nullptr; child = NextOutline(child))
      if (match(child)) return child;
  }
  return nullptr;
}

bool CChannelCatalog::HasValue(const XMLElement* outline, const char* name,
                               std::u16string_view value) const {
  const std::optional<std::u16string> stored = Attribute(outline, name);
  return stored && *stored == value;
}

XMLElement* CChannelCatalog::FindByUrl(std::u16string_view url) {
  if (url.empty()) return nullptr;
  return Find([&](const XMLElement* e) { return HasValue(e, "xmlUrl", url); });
}

XMLElement* CChannelCatalog::FindCategory(std::u16string_view name) {
  XMLElement* body = Body();
  if (body == nullptr) return nullptr;
  for (XMLElement* top = FirstOutline(body); top != nullptr; top = NextOutline(top))
    if (HasValue(top, "text", name)) return top;
  return nullptr;
}

bool CChannelCatalog::HasCategory(std::u16string_view name) const {
  return const_cast<CChannelCatalog*>(this)->FindCategory(name) != nullptr;
}

void CChannelCatalog::Save() {
  if (deferred_ > 0) {
    savePending_ = true;
    return;
  }
  savePending_ = false;
  lastSaveOk_ = SaveFile() == 1;
}

CChannelCatalog::DeferredSave::~DeferredSave() {
  if (--catalog_.deferred_ == 0 && catalog_.savePending_) catalog_.Save();
}

int CChannelCatalog::GetOutlineAttribute(std::u16string_view url, std::string_view name,
                                         std::u16string* value) {
  const XMLElement* outline = FindByUrl(url);
  if (outline == nullptr) return 0;
  if (value != nullptr) *value = Attribute(outline, name).value_or(u"");
  return 1;
}

int CChannelCatalog::SetOutlineAttribute(std::u16string_view url, std::string_view name,
                                         std::u16string_view value) {
  XMLElement* outline = FindByUrl(url);
  if (outline == nullptr) return 0;
  SetAttribute(outline, name, value);
  Save();
  return 1;
}

int CChannelCatalog::DeleteByUrl(std::u16string_view url) {
  XMLElement* outline = FindByUrl(url);
  if (outline == nullptr) return 0;
  outline->Parent()->DeleteChild(outline);
  Save();
  return 1;
}

int CChannelCatalog::MoveToCategory(std::u16string_view url, std::u16string_view category) {
  XMLElement* body = Body();
  if (body == nullptr || url.empty()) return 0;
  XMLElement* target = nullptr;
  XMLElement* channel = nullptr;
  for (XMLElement* top = FirstOutline(body); top != nullptr && !(target && channel);
       top = NextOutline(top)) {
    if (target == nullptr && HasValue(top, "text", category)) target = top;
    if (channel != nullptr) continue;
    if (HasValue(top, "xmlUrl", url)) {
      channel = top;
      continue;
    }
    for (XMLElement* child = FirstOutline(top); child != nullptr; child = NextOutline(child)) {
      if (HasValue(child, "xmlUrl", url)) {
        channel = child;
        break;
      }
    }
  }
  // A top-level channel named like the category cannot move into itself.
  if (target == nullptr || channel == nullptr || target == channel) return 0;
  XMLElement* copy = channel->DeepClone(Document())->ToElement();
  channel->Parent()->DeleteChild(channel);
  target->InsertEndChild(copy);
  Save();
  return 1;
}

int CChannelCatalog::DeleteByText(std::u16string_view text) {
  XMLElement* outline = Find([&](const XMLElement* e) { return HasValue(e, "text", text); });
  if (outline == nullptr) return 0;
  outline->Parent()->DeleteChild(outline);
  Save();
  return 1;
}

int CChannelCatalog::RenameByText(std::u16string_view oldText, std::u16string_view newText) {
  XMLElement* outline = Find([&](const XMLElement* e) { return HasValue(e, "text", oldText); });
  if (outline == nullptr) return 0;
  SetAttribute(outline, "text", newText);
  Save();
  return 1;
}

int CChannelCatalog::DeleteCategory(std::u16string_view name) {
  XMLElement* category = FindCategory(name);
  if (category == nullptr) return 0;
  category->Parent()->DeleteChild(category);
  Save();
  return 1;
}

int CChannelCatalog::RenameCategory(std::u16string_view oldName, std::u16string_view newName) {
  XMLElement* category = FindCategory(oldName);
  if (category == nullptr) return 0;
  SetAttribute(category, "text", newName);
  Save();
  return 1;
}

// "nextID", or 100 when absent; never at or below a number already in the
// catalog, so a hand-edited or foreign file cannot make two channels share
// their files.
int CChannelCatalog::NextNumber(XMLElement* body) const {
  int next = PositiveNumber(body, "nextID").value_or(kFirstChannelNumber);
  for (XMLElement* top = FirstOutline(body); top != nullptr; top = NextOutline(top)) {
    next = std::max(next, PositiveNumber(top, "uniqueID").value_or(0) + 1);
    for (XMLElement* child = FirstOutline(top); child != nullptr; child = NextOutline(child))
      next = std::max(next, PositiveNumber(child, "uniqueID").value_or(0) + 1);
  }
  return next;
}

XMLElement* CChannelCatalog::NewOutline(std::u16string_view text, int number) {
  XMLElement* outline = Document()->NewElement("outline");
  outline->SetAttribute("type", "rss");
  SetAttribute(outline, "text", text);
  outline->SetAttribute("uniqueID", number);
  return outline;
}

int CChannelCatalog::AddChannel(std::u16string_view category,
                                std::optional<std::u16string_view> title,
                                std::optional<std::u16string_view> url) {
  XMLElement* body = Body();
  if (body == nullptr) return 0;
  const int number = NextNumber(body);
  body->SetAttribute("nextID", number + 1);

  XMLElement* parent = category.empty() ? body : FindCategory(category);
  if (parent == nullptr) {
    parent = body->InsertEndChild(NewOutline(category, number))->ToElement();
    Save();
  }
  if (!title || !url) return 0;
  const std::u16string lowerTitle = AsciiLower(*title);
  for (XMLElement* child = FirstOutline(parent); child != nullptr; child = NextOutline(child)) {
    const std::optional<std::u16string> text = Attribute(child, "text");
    if (text && AsciiLower(*text) == lowerTitle) return 0;
  }
  XMLElement* channel = NewOutline(*title, number);
  SetAttribute(channel, "xmlUrl", *url);
  parent->InsertEndChild(channel);
  Save();
  return number;
}

int CChannelCatalog::AddCategory(std::u16string_view name) {
  AddChannel(name, std::nullopt, std::nullopt);
  return 0;
}

}  // namespace wrenly
