#include "store/channel_counts.h"

#include <tinyxml2.h>

#include <vector>

#include "platform/text.h"

namespace wrenly {
namespace {

std::vector<tinyxml2::XMLElement*> Outlines(tinyxml2::XMLElement* parent) {
  std::vector<tinyxml2::XMLElement*> found;
  for (auto* e = parent->FirstChildElement(); e != nullptr; e = e->NextSiblingElement())
    if (AsciiLower(std::string_view(e->Name())) == "outline") found.push_back(e);
  return found;
}

}  // namespace

bool StoreChannelCounts(CChannelCatalog& catalog,
                        const std::map<std::u16string, ChannelCountValues>& countsByUrl) {
  tinyxml2::XMLElement* root = catalog.Document() != nullptr ? catalog.Document()->RootElement() : nullptr;
  tinyxml2::XMLElement* body = root != nullptr ? root->FirstChildElement("body") : nullptr;
  if (body == nullptr) return false;
  std::map<std::u16string, ChannelCountValues> pending = countsByUrl;
  bool changed = false;
  const auto store = [&](tinyxml2::XMLElement* outline) {
    const std::optional<std::u16string> url = catalog.Attribute(outline, "xmlUrl");
    const auto it = url ? pending.find(*url) : pending.end();
    if (it == pending.end()) return;
    for (const auto& [name, value] :
         {std::pair{"itemCount", it->second.total}, std::pair{"newItemCount", it->second.unread}}) {
      const std::u16string text = Utf8ToUtf16(std::to_string(value));
      if (catalog.Attribute(outline, name) == text) continue;
      catalog.SetAttribute(outline, name, text);
      changed = true;
    }
    pending.erase(it);
  };
  // The catalog's search order: a category, then the channels in it.
  for (tinyxml2::XMLElement* top : Outlines(body)) {
    store(top);
    for (tinyxml2::XMLElement* child : Outlines(top)) store(child);
  }
  return !changed || catalog.SaveFile() == 1;
}

}  // namespace wrenly
