#include "store/opml_import.h"

#include "store/full_text_mode.h"

namespace wrenly {
namespace {

bool IsOutline(const tinyxml2::XMLElement* element) {
  return std::string_view(element->Name()) == "outline";
}

OpmlEntry EntryOf(const CEXML& doc, const tinyxml2::XMLElement* outline) {
  OpmlEntry entry;
  entry.url = doc.Attribute(outline, "xmlUrl").value_or(u"");
  entry.fullText = doc.Attribute(outline, kFullTextAttribute).value_or(u"");
  entry.text = doc.Attribute(outline, "text").value_or(u"");
  if (entry.text.empty()) entry.text = doc.Attribute(outline, "title").value_or(u"");
  if (entry.text.empty()) entry.text = entry.url;
  return entry;
}

// Every feed outline below parent, at any depth, in document order.
void CollectFeeds(const CEXML& doc, const tinyxml2::XMLElement* parent, std::vector<OpmlEntry>& out) {
  for (auto* child = parent->FirstChildElement(); child; child = child->NextSiblingElement()) {
    if (!IsOutline(child)) continue;
    OpmlEntry entry = EntryOf(doc, child);
    if (!entry.url.empty()) out.push_back(std::move(entry));
    CollectFeeds(doc, child, out);
  }
}

}  // namespace

std::optional<std::vector<OpmlEntry>> ReadOpmlEntries(const std::string& path, std::string* error) {
  CChannelCatalog reader;
  if (reader.LoadFile(path, false) != 1) {
    if (error) *error = reader.LastError();
    return std::nullopt;
  }
  const tinyxml2::XMLElement* root = reader.Document()->RootElement();
  const tinyxml2::XMLElement* body = root ? root->FirstChildElement("body") : nullptr;
  if (!body) {
    if (error) *error = "the file has no <body> element, so it holds no outlines";
    return std::nullopt;
  }
  std::vector<OpmlEntry> entries;
  for (auto* outline = body->FirstChildElement(); outline; outline = outline->NextSiblingElement()) {
    if (!IsOutline(outline)) continue;
    OpmlEntry entry = EntryOf(reader, outline);
    CollectFeeds(reader, outline, entry.children);
    entries.push_back(std::move(entry));
  }
  return entries;
}

ImportCounts AddOpmlEntries(CChannelCatalog& catalog, const std::vector<OpmlEntry>& entries,
                            std::u16string_view others) {
  ImportCounts counts;
  const CChannelCatalog::DeferredSave oneSave(catalog);
  const auto addChannel = [&](std::u16string_view category, const OpmlEntry& channel) {
    // An outline without a feed address is no channel to subscribe to.
    if (channel.url.empty() || catalog.AddChannel(category, channel.text, channel.url) == 0) {
      ++counts.channelsRefused;
      return;
    }
    ++counts.channelsAdded;
    if (const std::optional<FullTextMode> mode = ParseFullTextMode(channel.fullText))
      SetFullTextMode(catalog, channel.url, *mode);
  };
  for (const OpmlEntry& top : entries) {
    if (top.url.empty()) {
      if (catalog.AddChannel(u"", top.text, u"") > 0) ++counts.categoriesAdded;
    } else {
      addChannel(others, top);
    }
    for (const OpmlEntry& child : top.children) addChannel(top.text, child);
  }
  return counts;
}

}  // namespace wrenly
