#include "store/template_document.h"

#include "platform/text.h"

namespace wrenly {

std::u16string CTemplateDocument::LowerName(const tinyxml2::XMLElement* element) const {
  return AsciiLower(ElementName(element));
}

void CTemplateDocument::Visit(const tinyxml2::XMLElement*, const tinyxml2::XMLElement* element) {
  if (LowerName(element) != u"template") return;
  for (const auto& [name, value] : Attributes(element)) {
    if (AsciiLower(name) == u"name") report_(u"template", u"name", value);
  }
}

void CTemplateDocument::Traverse(const tinyxml2::XMLElement* parent, const tinyxml2::XMLElement* element) {
  Visit(parent, element);
  for (auto* child = element->FirstChildElement(); child; child = child->NextSiblingElement()) {
    const std::u16string name = LowerName(child);
    if (name == u"channel") {
      std::u16string title, url;
      for (auto* field = child->FirstChildElement(); field; field = field->NextSiblingElement()) {
        const std::u16string fieldName = LowerName(field);
        if (fieldName == u"name") title = ElementText(field);
        if (fieldName == u"url") url = ElementText(field);
      }
      report_(u"channel", title, url);
    } else if (name == u"parse_article") {
      report_(u"parse_article", ElementName(child), ElementText(child));
    }
  }
}

int CTemplateDocument::LoadAndReport(const std::string& path) {
  if (LoadFile(path, false) != 1) return 0;
  Traverse(nullptr, Document()->RootElement());
  return 1;
}

}  // namespace wrenly
