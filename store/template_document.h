// CTemplateDocument: one channel template file. The root "template" names a
// group of channels; each "channel" child gives a name and a feed address,
// and each "parse_article" child holds the extraction script for the
// channels before it (back to the previous "parse_article"). Element and
// attribute names are compared without regard to ASCII case. The document
// only reports what it finds; the template chooser decides what it means.
// Not synchronized.
#pragma once

#include <functional>
#include <string>

#include "store/cexml.h"

namespace wrenly {

// (element name, first value, second value):
//   ("template", "name", group name)
//   ("channel", channel name, feed address)
//   ("parse_article", the element's name as written, the script)
using TemplateReport = std::function<void(const std::u16string& element, const std::u16string& first,
                                          const std::u16string& second)>;

class CTemplateDocument : public CEXML {
 public:
  explicit CTemplateDocument(TemplateReport report) : report_(std::move(report)) {}

  // Reports the root's "name" attribute when the element is a "template".
  void Visit(const tinyxml2::XMLElement* parent, const tinyxml2::XMLElement* element) override;
  // Visits the element, then reports its "channel" and "parse_article"
  // children in document order; deeper elements are not visited.
  void Traverse(const tinyxml2::XMLElement* parent, const tinyxml2::XMLElement* element) override;

  // Loads the file and traverses it from its root. 1 when it loaded.
  int LoadAndReport(const std::string& path);

 private:
  std::u16string LowerName(const tinyxml2::XMLElement* element) const;

  TemplateReport report_;
};

}  // namespace wrenly
